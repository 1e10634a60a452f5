#ifndef KAVATMEXECUTORBASE_H
#define KAVATMEXECUTORBASE_H

#include "kavautomation_export.h"

class KAVAtmTestActionDef;
class KAVAtmTestActionResult;

#include <QtCore/QString>

// Baseline capture: the data a finished script or assertion action reported becomes its
// baseline file when none exists yet, or replaces it when asked to.
class KAVAUTOMATION_EXPORT KAVAtmExecutorBase {
public:
    // Which baselines are written from an action's data.
    enum class BaselineUpdate {
        None, // nothing is written, and an action whose baseline does not exist fails
        Missing, // only those that do not exist yet (the first run's capture)
        Changed, // also those an action failed against
        All, // every baseline of an action that reported data
    };

    KAVAtmExecutorBase(const KAVAtmExecutorBase &) = default;
    KAVAtmExecutorBase &operator=(const KAVAtmExecutorBase &) = default;
    virtual ~KAVAtmExecutorBase();

    // The file beside a baseline that holds the actual data of a failed comparison:
    // "name.json" gives "name.actual.json".
    static QString ActualDataPath(const QString &baselinePath);

protected:
    KAVAtmExecutorBase() = default;

    // The action's "baseline" against its procedure's folder (else the program's); empty when
    // it names none.
    static QString BaselinePath(const KAVAtmTestActionDef *def);

    // Writes the baseline named by the action's "baseline" as update says; empty data never
    // writes one. A failed action whose baseline is kept gets its data written beside it
    // (ActualDataPath()) so that the two can be compared; a passing one removes that file.
    // Returns the path of the baseline written, or an empty text. A failure to write turns a
    // result that is not Fail into Warning, with a line appended to its details. With None, a
    // baseline that does not exist fails the action instead of being captured.
    QString SaveActionBaseline(KAVAtmTestActionResult *result,
                               BaselineUpdate update = BaselineUpdate::Missing);
};

#endif // KAVATMEXECUTORBASE_H
