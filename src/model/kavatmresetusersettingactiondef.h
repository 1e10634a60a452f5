#ifndef KAVATMRESETUSERSETTINGACTIONDEF_H
#define KAVATMRESETUSERSETTINGACTIONDEF_H

#include "kavatmtestactiondef.h"

// Resets the host's user settings; the runner puts one at the head of every procedure run.
class KAVAUTOMATION_EXPORT KAVAtmResetUserSettingActionDef : public KAVAtmTestActionDef {
    Q_OBJECT
    Q_CLASSINFO("actionType", "ResetUserSetting")
public:
    Q_INVOKABLE KAVAtmResetUserSettingActionDef();
    ~KAVAtmResetUserSettingActionDef() override;

    static QByteArray GetActionName();
};

#endif // KAVATMRESETUSERSETTINGACTIONDEF_H
