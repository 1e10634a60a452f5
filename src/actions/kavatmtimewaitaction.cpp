#include "kavatmtimewaitaction.h"
#include "kavatmexecutorregistry_p.h"

#include <QtCore/QEventLoop>
#include <QtCore/QTimer>

KAVATM_REGISTER_EXECUTOR(KAVAtmTimeWaitAction)

class KAVAtmTimeWaitActionPrivate {
public:
    KAVAtmTimeWaitActionDef def;
};

KAVAtmTimeWaitAction::KAVAtmTimeWaitAction(KAVAtmPlatform &platform, const QUuid &id,
                                           const QJsonValue &data)
    : KAVAtmTestActionBase(platform, id, data), d(new KAVAtmTimeWaitActionPrivate)
{
    d->def.FromJson(data.toObject());
}

KAVAtmTimeWaitAction::~KAVAtmTimeWaitAction() = default;

QByteArray KAVAtmTimeWaitAction::GetActionName()
{
    return KAVAtmTimeWaitActionDef::GetActionName();
}

KAVAtmTimeWaitActionDef *KAVAtmTimeWaitAction::GetActionDef() const
{
    return &d->def;
}

void KAVAtmTimeWaitAction::Execute()
{
    KAVAtmTestActionBase::Execute();
    QEventLoop loop;
    // A negative wait time waits no time at all. Precise: a wait is never shorter than stated.
    QTimer::singleShot(qMax(0, d->def.GetWaitTime()), Qt::PreciseTimer, &loop,
                       [this, &loop] { QuitLoop(loop); });
    if (ExecLoop(loop))
        ReportResult(KAVAtmEnums::Pass, QString(), QString());
}
