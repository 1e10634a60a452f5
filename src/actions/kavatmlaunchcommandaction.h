#ifndef KAVATMLAUNCHCOMMANDACTION_H
#define KAVATMLAUNCHCOMMANDACTION_H

#include "kavatmlaunchcommandactiondef.h"
#include "kavatmtestactionbase.h"

class KAVAtmLaunchCommandActionPrivate;

// Triggers one of the host's command actions by its id and gives the command three seconds to
// settle. A command that opens a modal dialog passes once the dialog is up, so that the steps
// after it (SetAutomationData, WidgetReplay, a script) can answer it. It reports no Executing
// update; its time-out bounds the trigger, so a command that blocks in some other way cannot
// hold the host forever.
class KAVAUTOMATION_EXPORT KAVAtmLaunchCommandAction : public KAVAtmTestActionBase {
    Q_OBJECT
public:
    Q_INVOKABLE KAVAtmLaunchCommandAction(KAVAtmPlatform &platform, const QUuid &id,
                                          const QJsonValue &data);
    ~KAVAtmLaunchCommandAction() override;

    static QByteArray GetActionName();

    void Execute() override;

private:
    Q_DECLARE_PRIVATE(KAVAtmLaunchCommandAction)
};

#endif // KAVATMLAUNCHCOMMANDACTION_H
