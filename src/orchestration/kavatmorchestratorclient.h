#ifndef KAVATMORCHESTRATORCLIENT_H
#define KAVATMORCHESTRATORCLIENT_H

#include "kavatmenums.h"

#include <QtCore/QJsonValue>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPair>

#include <memory>

class KAVAtmOrchestrator;
class KAVAtmOrchestratorClientConnection;
class KAVAtmOrchestratorClientPrivate;
class KAVAtmTestActionResult;
class KAVAtmTestProcedureResult;

// The runner's session with one connected client: runs queued procedures one action at a
// time, completes the actions after a failure that need not run, and turns the client's
// updates into the results.
class KAVAUTOMATION_EXPORT KAVAtmOrchestratorClient : public QObject {
    Q_OBJECT
public:
    KAVAtmOrchestratorClient(KAVAtmOrchestrator *orchestrator,
                             KAVAtmOrchestratorClientConnection *connection);
    ~KAVAtmOrchestratorClient() override;

    qint64 GetPid() const;
    QString GetName() const;
    QPair<qint64, QString> GetDescription() const;
    KAVAtmEnums::PlatformMode GetPlatformMode() const;
    void SetPlatformMode(KAVAtmEnums::PlatformMode mode);
    bool IsExecuting() const;
    // Something is running, queued, or was handed over at some point.
    bool HasWork() const;
    // False once aborted or without a connection: procedures handed now would never run.
    bool IsAcceptingWork() const;
    const KAVAtmTestActionResult *GetCurrentAction() const;
    KAVAtmOrchestratorClientConnection *GetConnection() const;

    // Puts a reset-user-setting action at the head of each procedure and queues it.
    void AddProcedures(const QList<KAVAtmTestProcedureResult *> &procedures);
    void ExecuteNextProcedure();
    void ExecuteNextAction();
    // Sends one action outside any procedure; throws KAVSysException while another is in flight.
    void ExecuteSingleAction(KAVAtmTestActionResult *action);
    void SendClosePlatform();

    // Completes the current action (unless it has just completed) and every queued one as
    // failed with the reason, without sending anything: the client is gone or will be stopped.
    void Abort(const QString &reason);

Q_SIGNALS:
    void ClientRegistered(KAVAtmOrchestratorClient *client);
    void ClientExecutionStarted();
    void ClientExecutionCompleted();
    void TestProcedureExecutionStarted(KAVAtmTestProcedureResult *procedure);
    void TestProcedureExecutionFinished(KAVAtmTestProcedureResult *procedure);
    void TestActionExecutionStarted(KAVAtmTestActionResult *action);
    // An update before the verdict ("Executing").
    void TestActionStatusUpdated(KAVAtmTestActionResult *action);
    // The results are the orchestrator's, filled here: a handler of a finished action may still
    // add to its verdict (baseline capture does) before the orchestrator announces it.
    void TestActionExecutionFinished(KAVAtmTestActionResult *action);
    void RecordingDataReceived(QJsonValue data);
    // 0 stopped, 1 recording, 2 paused; -1 for a status the client named wrongly.
    void RecordingStatusReceived(int status);

private Q_SLOTS:
    void OnClientRegistered(QJsonValue data);
    void OnActionStatusUpdated(QJsonValue data);
    void OnRecordingDataReceived(QJsonValue data);

private:
    void UpdateCurrentAction(KAVAtmEnums::ExecutionStatus status,
                             KAVAtmEnums::ExecutionResult result, const QString &details,
                             const QString &data);

    const std::unique_ptr<KAVAtmOrchestratorClientPrivate> d;
};

#endif // KAVATMORCHESTRATORCLIENT_H
