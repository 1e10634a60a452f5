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

protected:
    KAVAtmTimeWaitActionDef *GetActionDef() const override;

private:
    const std::unique_ptr<KAVAtmTimeWaitActionPrivate> d;
};

#endif // KAVATMTIMEWAITACTION_H
