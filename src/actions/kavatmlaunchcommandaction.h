#ifndef KAVATMLAUNCHCOMMANDACTION_H
#define KAVATMLAUNCHCOMMANDACTION_H

#include "kavatmlaunchcommandactiondef.h"
#include "kavatmtestactionbase.h"

class KAVAtmLaunchCommandActionPrivate;

// Triggers one of the host's command actions by its id and gives the command three seconds to
// settle. It reports no Executing update; its time-out still holds, so a command whose
// dialog blocks in exec() cannot hold the host forever.
class KAVAUTOMATION_EXPORT KAVAtmLaunchCommandAction : public KAVAtmTestActionBase {
    Q_OBJECT
public:
    Q_INVOKABLE KAVAtmLaunchCommandAction(KAVAtmPlatform &platform, const QUuid &id,
                                          const QJsonValue &data);
    ~KAVAtmLaunchCommandAction() override;

    static QByteArray GetActionName();

    void Execute() override;

protected:
    KAVAtmLaunchCommandActionDef *GetActionDef() const override;

private:
    const std::unique_ptr<KAVAtmLaunchCommandActionPrivate> d;
};

#endif // KAVATMLAUNCHCOMMANDACTION_H
