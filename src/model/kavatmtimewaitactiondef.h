#ifndef KAVATMTIMEWAITACTIONDEF_H
#define KAVATMTIMEWAITACTIONDEF_H

#include "kavatmtestactiondef.h"

class KAVAtmTimeWaitActionDefPrivate;

// Waits a fixed time. Runs on any platform: SetPlatform is ignored.
class KAVAUTOMATION_EXPORT KAVAtmTimeWaitActionDef : public KAVAtmTestActionDef {
    Q_OBJECT
    Q_CLASSINFO("actionType", "TimeWait")
public:
    Q_INVOKABLE KAVAtmTimeWaitActionDef();
    ~KAVAtmTimeWaitActionDef() override;

    static QByteArray GetActionName();

    void FromJson(const QJsonObject &json) override;
    QJsonObject ToJson() const override;
    void SetPlatform(KAVAtmEnums::Platform platform) override;

    // Milliseconds.
    int GetWaitTime() const;
    void SetWaitTime(int milliseconds);

private:
    const std::unique_ptr<KAVAtmTimeWaitActionDefPrivate> d;
};

#endif // KAVATMTIMEWAITACTIONDEF_H
