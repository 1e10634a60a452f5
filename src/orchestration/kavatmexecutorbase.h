#ifndef KAVATMEXECUTORBASE_H
#define KAVATMEXECUTORBASE_H

#include "kavautomation_export.h"

class KAVAtmTestActionResult;

// Baseline capture: the data a finished script or assertion action reported becomes its
// baseline file when none exists yet.
class KAVAUTOMATION_EXPORT KAVAtmExecutorBase {
public:
    KAVAtmExecutorBase(const KAVAtmExecutorBase &) = default;
    KAVAtmExecutorBase &operator=(const KAVAtmExecutorBase &) = default;
    virtual ~KAVAtmExecutorBase();

protected:
    KAVAtmExecutorBase() = default;

    // Writes the baseline named by the action's "baseline" when the file is missing. An
    // existing file is never replaced, and empty data writes no file. A failure turns a
    // result that is not Fail into Warning, with a line appended to its details.
    void SaveActionBaseline(KAVAtmTestActionResult *result);
};

#endif // KAVATMEXECUTORBASE_H
