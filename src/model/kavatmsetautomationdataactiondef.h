#ifndef KAVATMSETAUTOMATIONDATAACTIONDEF_H
#define KAVATMSETAUTOMATIONDATAACTIONDEF_H

#include "kavatmtestactiondef.h"

#include <QtCore/QVariantMap>

class KAVAtmSetAutomationDataActionDefPrivate;

// Values to put into the dialog of the running command.
class KAVAUTOMATION_EXPORT KAVAtmSetAutomationDataActionDef : public KAVAtmTestActionDef {
    Q_OBJECT
    Q_CLASSINFO("actionType", "SetAutomationData")
public:
    Q_INVOKABLE KAVAtmSetAutomationDataActionDef();
    ~KAVAtmSetAutomationDataActionDef() override;

    static QByteArray GetActionName();

    void FromJson(const QJsonObject &json) override;
    QJsonObject ToJson() const override;

    QVariantMap GetMap() const;
    void SetMap(const QVariantMap &map);
    void InsertKeyValue(const QString &key, const QVariant &value);
    bool IsClearFirst() const;
    void SetClearFirst(bool clearFirst);

private:
    const std::unique_ptr<KAVAtmSetAutomationDataActionDefPrivate> d;
};

#endif // KAVATMSETAUTOMATIONDATAACTIONDEF_H
