#include "kavatmprocessormonitor.h"
#include "kavatmstatushistory_p.h"
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
    if (KAVAtmStatusHistory::Record(d->history, status, KAVNestProcessorBase::Running,
                                    KAVNestProcessorBase::Idle)) {
        connect(KAVNestSaveManager::GetManager(), &KAVNestSaveManager::SaveFinished, this,
                &KAVAtmProcessorMonitor::OnSaveFinished, Qt::UniqueConnection);
    }
}

void KAVAtmProcessorMonitor::OnSaveFinished()
{
    disconnect(KAVNestSaveManager::GetManager(), &KAVNestSaveManager::SaveFinished, this,
               &KAVAtmProcessorMonitor::OnSaveFinished);
    Q_EMIT SaveFinished();
}
