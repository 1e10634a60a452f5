#ifndef KAVATMWIDGETREPLAYACTIONDEF_H
#define KAVATMWIDGETREPLAYACTIONDEF_H

#include "kavatmtestactiondef.h"

#include <QtCore/QJsonArray>

class KAVAtmWidgetReplayActionDefPrivate;

// Replays recorded widget events on the dialog of the running command.
class KAVAUTOMATION_EXPORT KAVAtmWidgetReplayActionDef : public KAVAtmTestActionDef {
    Q_OBJECT
    Q_CLASSINFO("actionType", "WidgetReplay")
public:
    KAVAtmWidgetReplayActionDef();
    ~KAVAtmWidgetReplayActionDef() override;

    static QByteArray GetActionName();

    void FromJson(const QJsonObject &json) override;
    QJsonObject ToJson() const override;

    QJsonArray GetRecordedEvents() const;
    void SetRecordedEvents(const QJsonArray &events);
    float GetReplaySpeed() const;
    void SetReplaySpeed(float speed);

private:
    const std::unique_ptr<KAVAtmWidgetReplayActionDefPrivate> d;
};

#endif // KAVATMWIDGETREPLAYACTIONDEF_H
