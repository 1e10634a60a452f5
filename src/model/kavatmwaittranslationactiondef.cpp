#include "kavatmwaittranslationactiondef.h"
#include "kavatmmodelutils_p.h"

KAVAtmWaitTranslationActionDef::KAVAtmWaitTranslationActionDef() = default;
KAVAtmWaitTranslationActionDef::~KAVAtmWaitTranslationActionDef() = default;

QByteArray KAVAtmWaitTranslationActionDef::GetActionName()
{
    return KAVAtmModelUtils::ActionTypeOf(staticMetaObject);
}
