#ifndef KAVATMWAITPROCESSORACTIONBASE_H
#define KAVATMWAITPROCESSORACTIONBASE_H

#include "kavatmactivitywaitbase.h"

class KAVAtmProcessorMonitor;
class KAVNestProcessorBase;

// The wait for a background processor: done at once when the monitor's history shows a
// finished run, otherwise when the processor reports running then idle, or a save is followed
// by an update. When no activity shows within the start time-out, the verdict is Pass for an
// up-to-date model and Warning for a stale one.
class KAVAUTOMATION_EXPORT KAVAtmWaitProcessorActionBase : public KAVAtmActivityWaitBase {
    Q_OBJECT
public:
    static constexpr int DefaultStartTimeout = 120000;

    ~KAVAtmWaitProcessorActionBase() override;

    // Whether the history holds a run (running) followed directly by idle, after its last run.
    static bool IsProcessorAlreadyFinished(KAVAtmProcessorMonitor *monitor);

    // Milliseconds to wait for the processor to show activity. Production keeps the default;
    // tests shorten it.
    static int GetStartTimeout();
    static void SetStartTimeout(int milliseconds);

protected:
    KAVAtmWaitProcessorActionBase(KAVAtmActivityWaitBasePrivate &dd, KAVAtmPlatform &platform,
                                  const QUuid &id, const QJsonValue &data);

    // Either argument may be null. Ends with the action's report.
    void WaitProcessorFinished(KAVNestProcessorBase *processor, KAVAtmProcessorMonitor *monitor);
};

#endif // KAVATMWAITPROCESSORACTIONBASE_H
