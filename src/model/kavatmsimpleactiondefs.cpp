#include "kavatmmodelutils_p.h"
#include "kavatmresetusersettingactiondef.h"
#include "kavatmwaitnestingactiondef.h"
#include "kavatmwaittranslationactiondef.h"
#include "kavatmwaitupdateactiondef.h"

using KAVAtmModelUtils::ActionTypeOf;

KAVAtmResetUserSettingActionDef::KAVAtmResetUserSettingActionDef() = default;
KAVAtmResetUserSettingActionDef::~KAVAtmResetUserSettingActionDef() = default;

QByteArray KAVAtmResetUserSettingActionDef::GetActionName()
{
    return ActionTypeOf(staticMetaObject);
}

KAVAtmWaitNestingActionDef::KAVAtmWaitNestingActionDef() = default;
KAVAtmWaitNestingActionDef::~KAVAtmWaitNestingActionDef() = default;

QByteArray KAVAtmWaitNestingActionDef::GetActionName()
{
    return ActionTypeOf(staticMetaObject);
}

KAVAtmWaitTranslationActionDef::KAVAtmWaitTranslationActionDef() = default;
KAVAtmWaitTranslationActionDef::~KAVAtmWaitTranslationActionDef() = default;

QByteArray KAVAtmWaitTranslationActionDef::GetActionName()
{
    return ActionTypeOf(staticMetaObject);
}

KAVAtmWaitUpdateActionDef::KAVAtmWaitUpdateActionDef() = default;
KAVAtmWaitUpdateActionDef::~KAVAtmWaitUpdateActionDef() = default;

QByteArray KAVAtmWaitUpdateActionDef::GetActionName()
{
    return ActionTypeOf(staticMetaObject);
}
