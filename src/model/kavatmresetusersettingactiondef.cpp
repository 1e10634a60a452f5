#include "kavatmresetusersettingactiondef.h"
#include "kavatmmodelutils_p.h"

KAVAtmResetUserSettingActionDef::KAVAtmResetUserSettingActionDef() = default;
KAVAtmResetUserSettingActionDef::~KAVAtmResetUserSettingActionDef() = default;

QByteArray KAVAtmResetUserSettingActionDef::GetActionName()
{
    return KAVAtmModelUtils::ActionTypeOf(staticMetaObject);
}
