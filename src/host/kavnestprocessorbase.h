#ifndef KAVNESTPROCESSORBASE_H
#define KAVNESTPROCESSORBASE_H

#include "kavhost_export.h"

#include <QtCore/QObject>

class KAVFeatEnvironment;

// A background nesting computation of one document environment (a child of it). The host
// reports each status and progress of a run through ReportStatus and ReportProgress.
class KAVHOST_EXPORT KAVNestProcessorBase : public QObject {
    Q_OBJECT
public:
    enum ProcessorStatus {
        Idle = 0,
        Running = 1,
    };
    Q_ENUM(ProcessorStatus)

    ~KAVNestProcessorBase() override;

    KAVFeatEnvironment *GetEnvironment() const;
    ProcessorStatus GetStatus() const;
    double GetProgress() const;

    // Stores and reports the status, also when it did not change.
    void ReportStatus(KAVNestProcessorBase::ProcessorStatus status);
    // Progress in [0, 1]; above 0.0 means the work has begun.
    void ReportProgress(double progress);

Q_SIGNALS:
    void StatusChanged(KAVNestProcessorBase::ProcessorStatus status);
    void ProgressChanged(double progress);

protected:
    explicit KAVNestProcessorBase(KAVFeatEnvironment *environment);

private:
    ProcessorStatus m_status = Idle;
    double m_progress = 0.0;
};

#endif // KAVNESTPROCESSORBASE_H
