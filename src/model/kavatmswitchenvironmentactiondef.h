#ifndef KAVATMSWITCHENVIRONMENTACTIONDEF_H
#define KAVATMSWITCHENVIRONMENTACTIONDEF_H

#include "kavatmtestactiondef.h"

class KAVAtmSwitchEnvironmentActionDefPrivate;

class KAVAUTOMATION_EXPORT KAVAtmSwitchEnvironmentActionDef : public KAVAtmTestActionDef {
    Q_OBJECT
    Q_CLASSINFO("actionType", "SwitchEnvironment")
public:
    Q_INVOKABLE KAVAtmSwitchEnvironmentActionDef();
    ~KAVAtmSwitchEnvironmentActionDef() override;

    static QByteArray GetActionName();

    void FromJson(const QJsonObject &json) override;
    QJsonObject ToJson() const override;

    QString GetEnvironment() const;
    void SetEnvironment(const QString &environment);

private:
    const std::unique_ptr<KAVAtmSwitchEnvironmentActionDefPrivate> d;
};

#endif // KAVATMSWITCHENVIRONMENTACTIONDEF_H
