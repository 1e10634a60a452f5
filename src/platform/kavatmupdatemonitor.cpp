#include "kavatmupdatemonitor.h"
#include "kavatmstatushistory_p.h"

class KAVAtmUpdateMonitorPrivate {
public:
    QList<KAVFeatUpdateManager::Status> history;
};

KAVAtmUpdateMonitor::KAVAtmUpdateMonitor(QObject *parent, KAVFeatUpdateManager *manager)
    : QObject(parent), d(new KAVAtmUpdateMonitorPrivate)
{
    if (manager) {
        connect(manager, &KAVFeatUpdateManager::StatusChanged, this,
                &KAVAtmUpdateMonitor::OnStatusChanged, Qt::UniqueConnection);
    }
}

KAVAtmUpdateMonitor::~KAVAtmUpdateMonitor() = default;

QList<KAVFeatUpdateManager::Status> KAVAtmUpdateMonitor::GetStatusHistory() const
{
    return d->history;
}

void KAVAtmUpdateMonitor::ClearStatusHistory()
{
    d->history.clear();
}

void KAVAtmUpdateMonitor::OnStatusChanged(KAVFeatUpdateManager::Status status)
{
    if (KAVAtmStatusHistory::Record(d->history, status, KAVFeatUpdateManager::Updating,
                                    KAVFeatUpdateManager::Idle)) {
        connect(KAVFeatUpdateManager::GetManager(), &KAVFeatUpdateManager::UpdateFinished, this,
                &KAVAtmUpdateMonitor::OnUpdateFinished, Qt::UniqueConnection);
    }
}

void KAVAtmUpdateMonitor::OnUpdateFinished()
{
    disconnect(KAVFeatUpdateManager::GetManager(), &KAVFeatUpdateManager::UpdateFinished, this,
               &KAVAtmUpdateMonitor::OnUpdateFinished);
    Q_EMIT UpdateFinished();
}
