#include "kavatmwaitprocessoractionbase.h"
#include "kavatmlogging_p.h"
#include "kavatmprocessormonitor.h"
#include "kavatmstatushistory_p.h"
#include "kavfeatupdatemanager.h"
#include "kavnestsavemanager.h"

#include <QtCore/QPointer>

namespace {
int s_startTimeout = KAVAtmWaitProcessorActionBase::DefaultStartTimeout;
} // namespace

KAVAtmWaitProcessorActionBase::KAVAtmWaitProcessorActionBase(KAVAtmActivityWaitBasePrivate &dd,
                                                             KAVAtmPlatform &platform,
                                                             const QUuid &id,
                                                             const QJsonValue &data)
    : KAVAtmActivityWaitBase(dd, platform, id, data)
{
}

KAVAtmWaitProcessorActionBase::~KAVAtmWaitProcessorActionBase() = default;

int KAVAtmWaitProcessorActionBase::GetStartTimeout()
{
    return s_startTimeout;
}

void KAVAtmWaitProcessorActionBase::SetStartTimeout(int milliseconds)
{
    s_startTimeout = milliseconds;
}

bool KAVAtmWaitProcessorActionBase::IsProcessorAlreadyFinished(KAVAtmProcessorMonitor *monitor)
{
    if (!monitor)
        return true;
    const QList<KAVNestProcessorBase::ProcessorStatus> history = monitor->GetStatusHistory();
    qCDebug(lcActions) << "Processor status history:" << history;
    return KAVAtmStatusHistory::HasFinishedRun(history, {KAVNestProcessorBase::Running},
                                               KAVNestProcessorBase::Idle);
}

void KAVAtmWaitProcessorActionBase::WaitProcessorFinished(KAVNestProcessorBase *processor,
                                                          KAVAtmProcessorMonitor *monitorPointer)
{
    // The monitor goes with its environment, which may close during the wait.
    const QPointer<KAVAtmProcessorMonitor> monitor(monitorPointer);
    StartStartTimer(s_startTimeout, [] { return true; });

    QMetaObject::Connection statusConnection;
    QMetaObject::Connection progressConnection;
    bool progressed = false;
    if (processor) {
        statusConnection = connect(
            processor, &KAVNestProcessorBase::StatusChanged, this,
            [this, monitor](KAVNestProcessorBase::ProcessorStatus) {
                // The monitor, connected first, has already recorded it.
                if (!monitor
                    || !monitor->GetStatusHistory().contains(KAVNestProcessorBase::Running))
                    return;
                StopStartTimer();
                if (IsProcessorAlreadyFinished(monitor))
                    FinishWait();
            });
        progressConnection = connect(processor, &KAVNestProcessorBase::ProgressChanged, this,
                                     [this, &progressed](double progress) {
                                         if (progress > 0.0) {
                                             progressed = true;
                                             StopStartTimer();
                                         }
                                     });
    }
    // The saved results are in the model once the update that follows is done.
    QMetaObject::Connection updateConnection;
    const QMetaObject::Connection saveConnection = connect(
        KAVNestSaveManager::GetManager(), &KAVNestSaveManager::SaveFinished, this, [&, this] {
            // Another processor's save (the translation's, before the nesting has started) is
            // not this processor's result.
            if (monitor && !progressed
                && !monitor->GetStatusHistory().contains(KAVNestProcessorBase::Running))
                return;
            SetFinished();
            if (!updateConnection) {
                updateConnection = connect(KAVFeatUpdateManager::GetManager(),
                                           &KAVFeatUpdateManager::UpdateFinished, this,
                                           [this] { FinishWait(); });
            }
        });

    if (IsProcessorAlreadyFinished(monitor)) {
        SetFinished();
    } else if (monitor && !monitor->GetStatusHistory().isEmpty()
               && monitor->GetStatusHistory().constLast() == KAVNestProcessorBase::Running) {
        // Started already: only its end is awaited.
        StopStartTimer();
    }
    WaitAndReport(
        [&] {
            disconnect(statusConnection);
            disconnect(progressConnection);
            disconnect(saveConnection);
            disconnect(updateConnection);
            if (monitor)
                monitor->ClearStatusHistory();
        },
        tr("Expected to wait processor finished but it is not started."));
    disconnect(statusConnection);
    disconnect(progressConnection);
    disconnect(saveConnection);
    disconnect(updateConnection);
}
