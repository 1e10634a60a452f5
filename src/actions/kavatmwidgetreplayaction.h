#ifndef KAVATMWIDGETREPLAYACTION_H
#define KAVATMWIDGETREPLAYACTION_H

#include "kavatmtestactionbase.h"
#include "kavatmwidgetreplayactiondef.h"

class KAVAtmWidgetReplayActionPrivate;
class QWidget;

// Replays recorded widget input on the dialog of the running command. The replay stops when
// the action ends, by its time-out too, and a dialog destroyed mid-replay ends it at once.
class KAVAUTOMATION_EXPORT KAVAtmWidgetReplayAction : public KAVAtmTestActionBase {
    Q_OBJECT
public:
    Q_INVOKABLE KAVAtmWidgetReplayAction(KAVAtmPlatform &platform, const QUuid &id,
                                         const QJsonValue &data);
    ~KAVAtmWidgetReplayAction() override;

    static QByteArray GetActionName();

    void Execute() override;

protected:
    // The widget to replay on, or null with the reason in error.
    virtual QWidget *GetReplayTarget(QString &error) const;
    void Cleanup() override;

private:
    Q_DECLARE_PRIVATE(KAVAtmWidgetReplayAction)
};

#endif // KAVATMWIDGETREPLAYACTION_H
