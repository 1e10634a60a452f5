#ifndef KAVATMLAUNCHCOMMANDACTIONDEF_H
#define KAVATMLAUNCHCOMMANDACTIONDEF_H

#include "kavatmtestactiondef.h"

#include <QtCore/QVariantHash>

class KAVAtmLaunchCommandActionDefPrivate;

// Triggers a host command action by its id.
class KAVAUTOMATION_EXPORT KAVAtmLaunchCommandActionDef : public KAVAtmTestActionDef {
    Q_OBJECT
    Q_CLASSINFO("actionType", "LaunchCommand")
public:
    Q_INVOKABLE KAVAtmLaunchCommandActionDef();
    ~KAVAtmLaunchCommandActionDef() override;

    static QByteArray GetActionName();

    void FromJson(const QJsonObject &json) override;
    QJsonObject ToJson() const override;

    QByteArray GetActionId() const;
    void SetActionId(const QByteArray &actionId);
    QVariantHash GetActionData() const;
    void SetActionData(const QVariantHash &actionData);

private:
    const std::unique_ptr<KAVAtmLaunchCommandActionDefPrivate> d;
};

#endif // KAVATMLAUNCHCOMMANDACTIONDEF_H
