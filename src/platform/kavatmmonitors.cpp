#include "kavatmprocessormonitor.h"
#include "kavatmupdatemonitor.h"
#include "kavnestsavemanager.h"

class KAVAtmProcessorMonitorPrivate {
public:
    QList<KAVNestProcessorBase::ProcessorStatus> history;
};

KAVAtmProcessorMonitor::KAVAtmProcessorMonitor(QObject *parent, KAVNestProcessorBase *processor)
    : QObject(parent), d(new KAVAtmProcessorMonitorPrivate)
{
    if (processor) {
        connect(processor, &KAVNestProcessorBase::StatusChanged, this,
                &KAVAtmProcessorMonitor::OnProcessorStatusChanged, Qt::UniqueConnection);
    }
}

KAVAtmProcessorMonitor::~KAVAtmProcessorMonitor() = default;

QList<KAVNestProcessorBase::ProcessorStatus> KAVAtmProcessorMonitor::GetStatusHistory() const
{
    return d->history;
}

void KAVAtmProcessorMonitor::ClearStatusHistory()
{
    d->history.clear();
}

void KAVAtmProcessorMonitor::OnProcessorStatusChanged(KAVNestProcessorBase::ProcessorStatus status)
{
    // Once the processor has run, the next save is its result being stored.
    if (d->history.contains(KAVNestProcessorBase::Running)
        || status != KAVNestProcessorBase::Idle) {
        connect(KAVNestSaveManager::GetManager(), &KAVNestSaveManager::SaveFinished, this,
                &KAVAtmProcessorMonitor::OnSaveFinished, Qt::UniqueConnection);
    }
    d->history.append(status);
}

void KAVAtmProcessorMonitor::OnSaveFinished()
{
    disconnect(KAVNestSaveManager::GetManager(), &KAVNestSaveManager::SaveFinished, this,
               &KAVAtmProcessorMonitor::OnSaveFinished);
    Q_EMIT SaveFinished();
}

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
    if (d->history.contains(KAVFeatUpdateManager::Updating)
        || status != KAVFeatUpdateManager::Idle) {
        connect(KAVFeatUpdateManager::GetManager(), &KAVFeatUpdateManager::UpdateFinished, this,
                &KAVAtmUpdateMonitor::OnUpdateFinished, Qt::UniqueConnection);
    }
    d->history.append(status);
}

void KAVAtmUpdateMonitor::OnUpdateFinished()
{
    disconnect(KAVFeatUpdateManager::GetManager(), &KAVFeatUpdateManager::UpdateFinished, this,
               &KAVAtmUpdateMonitor::OnUpdateFinished);
    Q_EMIT UpdateFinished();
}
