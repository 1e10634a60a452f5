#include "kavatmwaitupdateaction.h"
#include "kavatmactivitywaitbase_p.h"
#include "kavatmexecutorregistry_p.h"
#include "kavatmplatform.h"
#include "kavatmstatushistory_p.h"
#include "kavatmupdatemonitor.h"
#include "kavfeatenvironmentmanager.h"

#include <QtCore/QPointer>

KAVATM_REGISTER_EXECUTOR(KAVAtmWaitUpdateAction)

namespace {
int s_startTimeout = KAVAtmWaitUpdateAction::DefaultStartTimeout;
} // namespace

class KAVAtmWaitUpdateActionPrivate
    : public KAVAtmExecutorPrivate<KAVAtmWaitUpdateActionDef, KAVAtmActivityWaitBasePrivate> { };

KAVAtmWaitUpdateAction::KAVAtmWaitUpdateAction(KAVAtmPlatform &platform, const QUuid &id,
                                               const QJsonValue &data)
    : KAVAtmActivityWaitBase(*new KAVAtmWaitUpdateActionPrivate, platform, id, data)
{
}

KAVAtmWaitUpdateAction::~KAVAtmWaitUpdateAction() = default;

QByteArray KAVAtmWaitUpdateAction::GetActionName()
{
    return KAVAtmWaitUpdateActionDef::GetActionName();
}

int KAVAtmWaitUpdateAction::GetStartTimeout()
{
    return s_startTimeout;
}

void KAVAtmWaitUpdateAction::SetStartTimeout(int milliseconds)
{
    s_startTimeout = milliseconds;
}

bool KAVAtmWaitUpdateAction::IsUpdateAlreadyFinished(KAVAtmUpdateMonitor *monitor)
{
    if (!monitor)
        return true;
    return KAVAtmStatusHistory::HasFinishedRun(
        monitor->GetStatusHistory(),
        {KAVFeatUpdateManager::Updating, KAVFeatUpdateManager::Pending},
        KAVFeatUpdateManager::Idle);
}

void KAVAtmWaitUpdateAction::Execute()
{
    KAVAtmTestActionBase::Execute();
    if (RefuseWithoutDocument())
        return;
    KAVFeatUpdateManager *manager = KAVFeatUpdateManager::GetManager();
    const QPointer<KAVAtmUpdateMonitor> monitor(GetPlatform()->GetUpdateMonitor());

    // A manager still busy when the timer runs out is awaited to its end.
    StartStartTimer(s_startTimeout, [] {
        return KAVFeatUpdateManager::GetManager()->GetStatus(
                   KAVFeatEnvironmentManager::GetManager()->GetCurrentEnvironment())
            == KAVFeatUpdateManager::Idle;
    });
    const QMetaObject::Connection statusConnection
        = connect(manager, &KAVFeatUpdateManager::StatusChanged, this,
                  [this, monitor](KAVFeatUpdateManager::Status status) {
                      switch (status) {
                      case KAVFeatUpdateManager::Pending:
                      case KAVFeatUpdateManager::Updating:
                          StopStartTimer();
                          break;
                      case KAVFeatUpdateManager::Idle:
                          StopStartTimer();
                          if (IsUpdateAlreadyFinished(monitor))
                              FinishWait();
                          break;
                      }
                  });

    if (IsUpdateAlreadyFinished(monitor))
        SetFinished();
    WaitAndReport(
        [&] {
            disconnect(statusConnection);
            if (monitor)
                monitor->ClearStatusHistory();
        },
        tr("Expected to wait update finished but it is not started."));
    disconnect(statusConnection);
}
