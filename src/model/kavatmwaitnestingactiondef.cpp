#include "kavatmwaitnestingactiondef.h"
#include "kavatmmodelutils_p.h"

KAVAtmWaitNestingActionDef::KAVAtmWaitNestingActionDef() = default;
KAVAtmWaitNestingActionDef::~KAVAtmWaitNestingActionDef() = default;

QByteArray KAVAtmWaitNestingActionDef::GetActionName()
{
    return KAVAtmModelUtils::ActionTypeOf(staticMetaObject);
}
