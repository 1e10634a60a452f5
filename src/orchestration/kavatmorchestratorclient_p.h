#ifndef KAVATMORCHESTRATORCLIENT_P_H
#define KAVATMORCHESTRATORCLIENT_P_H

#include <QtCore/QList>
#include <QtCore/QString>

#include <functional>

class KAVAtmTestActionResult;
class KAVAtmTestProcedureResult;

// Who hears of results as they are failed.
struct KAVAtmResultEvents {
    std::function<void(KAVAtmTestProcedureResult *)> procedureStarted;
    std::function<void(KAVAtmTestProcedureResult *)> procedureFinished;
    std::function<void(KAVAtmTestActionResult *)> actionStarted;
    std::function<void(KAVAtmTestActionResult *)> actionFinished;
};

// Completes an action that did not reach its own end as failed with the reason, after what it
// said so far.
void KAVAtmFailAction(KAVAtmTestActionResult *action, const QString &reason);

// Completes, as failed with the reason, everything that did not get to run, announcing each
// as a run would: the actions left of the current procedure, the current procedure's end, then
// each queued procedure whole. The lists are taken from as it goes: a handler sees what is left.
void KAVAtmFailOutstanding(QList<KAVAtmTestActionResult *> &actions,
                           KAVAtmTestProcedureResult *&current,
                           QList<KAVAtmTestProcedureResult *> &procedures, const QString &reason,
                           const KAVAtmResultEvents &events);

#endif // KAVATMORCHESTRATORCLIENT_P_H
