#ifndef KAVATMACTIVITYWAITBASE_H
#define KAVATMACTIVITYWAITBASE_H

#include "kavatmtestactionbase.h"

#include <functional>

class KAVAtmActivityWaitBasePrivate;

// What the waits for background work share. The wait runs a nested loop until the work is
// seen to finish; a start timer gives up on work that never shows. The verdict is Pass, or
// Warning when nothing was seen to finish while feature objects are stale.
class KAVAUTOMATION_EXPORT KAVAtmActivityWaitBase : public KAVAtmTestActionBase {
    Q_OBJECT
public:
    ~KAVAtmActivityWaitBase() override;

protected:
    KAVAtmActivityWaitBase(KAVAtmActivityWaitBasePrivate &dd, KAVAtmPlatform &platform,
                           const QUuid &id, const QJsonValue &data);

    // A new single-shot start timer, replacing the one of an earlier wait. When it runs out
    // and mayGiveUp() agrees, the loop is left without the work having finished.
    void StartStartTimer(int milliseconds, const std::function<bool()> &mayGiveUp);
    void StopStartTimer();
    bool IsStartTimerActive() const;

    bool IsFinished() const;
    // The end of the work was seen; the loop goes on until LeaveWait() or FinishWait().
    void SetFinished();
    // The end of the work was seen and the verdict follows: the time-out is stopped.
    void FinishWait();
    // Leaves the loop; the verdict then depends on whether the end of the work was seen.
    void LeaveWait();

    // Fails the action when no document is open: there would be nothing to wait for, and
    // the wait would pass after its start time-out having checked nothing.
    bool RefuseWithoutDocument();

    // Runs the loop unless the end of the work was already seen, then reports the verdict
    // (nothing when the action ended meanwhile). clearHistory runs before the report.
    void WaitAndReport(const std::function<void()> &clearHistory, const QString &notStarted);

private:
    Q_DECLARE_PRIVATE(KAVAtmActivityWaitBase)
};

#endif // KAVATMACTIVITYWAITBASE_H
