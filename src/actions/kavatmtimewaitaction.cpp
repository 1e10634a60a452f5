#include "kavatmtimewaitaction.h"
#include "kavatmexecutorregistry_p.h"
#include "kavatmtestactionbase_p.h"

#include <QtCore/QEventLoop>
#include <QtCore/QTimer>

KAVATM_REGISTER_EXECUTOR(KAVAtmTimeWaitAction)

class KAVAtmTimeWaitActionPrivate : public KAVAtmExecutorPrivate<KAVAtmTimeWaitActionDef> { };

KAVAtmTimeWaitAction::KAVAtmTimeWaitAction(KAVAtmPlatform &platform, const QUuid &id,
                                           const QJsonValue &data)
    : KAVAtmTestActionBase(*new KAVAtmTimeWaitActionPrivate, platform, id, data)
{
}

KAVAtmTimeWaitAction::~KAVAtmTimeWaitAction() = default;

QByteArray KAVAtmTimeWaitAction::GetActionName()
{
    return KAVAtmTimeWaitActionDef::GetActionName();
}

void KAVAtmTimeWaitAction::Execute()
{
    Q_D(KAVAtmTimeWaitAction);
    KAVAtmTestActionBase::Execute();
    QEventLoop loop;
    // A negative wait time waits no time at all. Precise: a wait is never shorter than stated.
    QTimer::singleShot(qMax(0, d->def.GetWaitTime()), Qt::PreciseTimer, &loop,
                       [this, &loop] { QuitLoop(loop); });
    if (ExecLoop(loop))
        ReportResult(KAVAtmEnums::Pass, QString(), QString());
}
