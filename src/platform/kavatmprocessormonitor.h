#ifndef KAVATMPROCESSORMONITOR_H
#define KAVATMPROCESSORMONITOR_H

#include "kavautomation_export.h"
#include "kavnestprocessorbase.h"

#include <QtCore/QList>
#include <QtCore/QObject>

#include <memory>

class KAVAtmProcessorMonitorPrivate;

// Keeps every status a processor reports, so a wait can tell what happened before it began,
// and signals the first save that follows processor activity.
class KAVAUTOMATION_EXPORT KAVAtmProcessorMonitor : public QObject {
    Q_OBJECT
public:
    KAVAtmProcessorMonitor(QObject *parent, KAVNestProcessorBase *processor);
    ~KAVAtmProcessorMonitor() override;

    // Oldest first, since the history was last cleared.
    QList<KAVNestProcessorBase::ProcessorStatus> GetStatusHistory() const;
    void ClearStatusHistory();

Q_SIGNALS:
    void SaveFinished();

private Q_SLOTS:
    void OnProcessorStatusChanged(KAVNestProcessorBase::ProcessorStatus status);
    void OnSaveFinished();

private:
    const std::unique_ptr<KAVAtmProcessorMonitorPrivate> d;
};

#endif // KAVATMPROCESSORMONITOR_H
