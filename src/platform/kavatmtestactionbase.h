#ifndef KAVATMTESTACTIONBASE_H
#define KAVATMTESTACTIONBASE_H

#include "kavatmenums.h"

#include <QtCore/QJsonValue>
#include <QtCore/QObject>
#include <QtCore/QUuid>

#include <memory>

class KAVAtmPlatform;
class KAVAtmTestActionBasePrivate;
class KAVAtmTestActionDef;
class KAVAtmTestActionResult;
class QEventLoop;

// The runtime executor of one action. It reports Executing when it starts, arms the action's
// time-out, and ends with exactly one final result followed by ActionEnded, after which the
// platform deletes it (later, never while its Execute() is still running).
class KAVAUTOMATION_EXPORT KAVAtmTestActionBase : public QObject {
    Q_OBJECT
public:
    ~KAVAtmTestActionBase() override;

    QUuid GetId() const;
    KAVAtmPlatform *GetPlatform() const;
    QJsonValue GetData() const;
    // The final result has been reported (by the executor or by its time-out).
    bool IsEnded() const;

    virtual void Execute();
    virtual QJsonValue GenerateRecordingData() const;

Q_SIGNALS:
    void ActionStarted();
    void ActionEnded();

protected:
    // An executor of its own (a host's) keeps its definition itself and returns it from
    // GetActionDef().
    KAVAtmTestActionBase(KAVAtmPlatform &platform, const QUuid &id, const QJsonValue &data);
    // The library's executors: the private part holds the definition, read here from the data.
    KAVAtmTestActionBase(KAVAtmTestActionBasePrivate &dd, KAVAtmPlatform &platform, const QUuid &id,
                         const QJsonValue &data);

    virtual KAVAtmTestActionDef *GetActionDef() const;
    virtual void Cleanup();

    // Starts the definition's time-out; Execute() does it for executors that call it.
    void ArmTimeout();

    // Sends the one final result and ends the executor; later calls are ignored.
    void ReportResult(KAVAtmEnums::ExecutionResult result, const QString &details,
                      const QString &data);
    // The same with a completed result made elsewhere (a script case's).
    void ReportResult(const KAVAtmTestActionResult &completed);
    // Runs a nested loop until QuitLoop(loop) or the end of the action (its time-out); returns
    // at once when the action has already ended. Returns true when the loop was quit through
    // QuitLoop. A loop ended by anything else (the application quitting ends every nested loop)
    // fails the action: a wait that did not reach its own end never passes.
    bool ExecLoop(QEventLoop &loop);
    void QuitLoop(QEventLoop &loop);
    // The work is done and the verdict follows once the loop returns: a time-out must not
    // overtake it while another loop nested above keeps this one from returning.
    void StopTimeout();

protected Q_SLOTS:
    // Fails the action with "Timeout."; an executor with work of its own to end overrides it.
    virtual void OnTimeout();

protected:
    const std::unique_ptr<KAVAtmTestActionBasePrivate> d_ptr;

private:
    Q_DECLARE_PRIVATE(KAVAtmTestActionBase)
};

#endif // KAVATMTESTACTIONBASE_H
