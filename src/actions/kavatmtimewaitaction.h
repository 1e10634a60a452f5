#ifndef KAVATMTIMEWAITACTION_H
#define KAVATMTIMEWAITACTION_H

#include "kavatmtestactionbase.h"
#include "kavatmtimewaitactiondef.h"

class KAVAtmTimeWaitActionPrivate;

// Waits the definition's wait time, letting the host's events run meanwhile.
class KAVAUTOMATION_EXPORT KAVAtmTimeWaitAction : public KAVAtmTestActionBase {
    Q_OBJECT
public:
    Q_INVOKABLE KAVAtmTimeWaitAction(KAVAtmPlatform &platform, const QUuid &id,
                                     const QJsonValue &data);
    ~KAVAtmTimeWaitAction() override;

    static QByteArray GetActionName();

    void Execute() override;

private:
    Q_DECLARE_PRIVATE(KAVAtmTimeWaitAction)
};

#endif // KAVATMTIMEWAITACTION_H
