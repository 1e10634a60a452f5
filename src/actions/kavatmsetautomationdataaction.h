#ifndef KAVATMSETAUTOMATIONDATAACTION_H
#define KAVATMSETAUTOMATIONDATAACTION_H

#include "kavatmsetautomationdataactiondef.h"
#include "kavatmtestactionbase.h"

class KAVAtmSetAutomationDataActionPrivate;

// Hands values to the host's dialog handler for the dialog of the running command.
class KAVAUTOMATION_EXPORT KAVAtmSetAutomationDataAction : public KAVAtmTestActionBase {
    Q_OBJECT
public:
    Q_INVOKABLE KAVAtmSetAutomationDataAction(KAVAtmPlatform &platform, const QUuid &id,
                                              const QJsonValue &data);
    ~KAVAtmSetAutomationDataAction() override;

    static QByteArray GetActionName();

    void Execute() override;

private:
    Q_DECLARE_PRIVATE(KAVAtmSetAutomationDataAction)
};

#endif // KAVATMSETAUTOMATIONDATAACTION_H
