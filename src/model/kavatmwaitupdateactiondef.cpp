#include "kavatmwaitupdateactiondef.h"
#include "kavatmmodelutils_p.h"

KAVAtmWaitUpdateActionDef::KAVAtmWaitUpdateActionDef() = default;
KAVAtmWaitUpdateActionDef::~KAVAtmWaitUpdateActionDef() = default;

QByteArray KAVAtmWaitUpdateActionDef::GetActionName()
{
    return KAVAtmModelUtils::ActionTypeOf(staticMetaObject);
}
