#ifndef KAVATMORCHESTRATOR_H
#define KAVATMORCHESTRATOR_H

#include "kavatmenums.h"
#include "kavatmexecutorbase.h"
#include "kavatmorchestratorconfiguration.h"

#include <QtCore/QHash>
#include <QtCore/QJsonValue>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPair>

#include <memory>

class KAVAtmOrchestratorPrivate;
class KAVAtmTestActionDef;
class KAVAtmTestActionResult;
class KAVAtmTestProcedureDef;
class KAVAtmTestProcedureResult;

// The runner's entry point: listens for clients, loads procedures, launches host programs as
// clients, runs procedures on them, writes result files and captures baselines.
class KAVAUTOMATION_EXPORT KAVAtmOrchestrator : public QObject {
    Q_OBJECT
public:
    // Milliseconds an authenticated client has to register before it is disconnected.
    static constexpr int DefaultRegistrationTimeout = 10000;
    // Connections that have not registered yet, at most; further ones are closed at once.
    static constexpr int MaximumUnregisteredClients = 64;
    // The largest message a client may send before it has registered.
    static constexpr qint32 UnregisteredFrameSize = 64 * 1024;

    // Created on first use; destroyed with the application object.
    static KAVAtmOrchestrator *GetInstance();
    ~KAVAtmOrchestrator() override;

    // Starts listening on the address and port of the environment (any free port by default).
    // Returns false, after a critical log line, when that is not possible.
    bool Initialize();
    quint16 GetListeningPort() const;

    // Keeps the files that are valid, have a label and at least one action; returns the
    // others, each with the reason, in the order given.
    QList<QPair<QString, QString>> LoadProcedures(const QList<QString> &filePaths);
    QList<KAVAtmTestProcedureDef *> GetLoadedProcedures() const;

    // Launches the client named platformName (or the first one) to run the procedures (all
    // loaded ones when the list is empty); pid, when given, receives its process id.
    bool StartPlatform(const QString &platformName,
                       const QList<KAVAtmTestProcedureDef *> &procedures,
                       KAVAtmEnums::PlatformMode mode,
                       KAVAtmOrchestratorConfiguration configuration, qint64 *pid = nullptr);
    // On a client that is still running, the procedures queue behind its current ones.
    // Returns false, taking nothing, when the client is unknown, aborted or disconnected.
    bool Execute(qint64 pid, const QList<KAVAtmTestProcedureDef *> &procedures);
    void ExecuteAll(qint64 pid);
    void StopPlatform(qint64 pid);
    // Completes every action the client has not completed as failed with the reason, then
    // kills its process if it is still running.
    void AbortClient(qint64 pid, const QString &reason);
    // AbortClient for every launched client, registered or not.
    void AbortAll(const QString &reason);

    void StartRecording(qint64 pid);
    void PauseRecording(qint64 pid);
    void ResumeRecording(qint64 pid);
    void StopRecording(qint64 pid);

    QHash<qint64, QString> GetClientDescriptions() const;
    // Where the files of a procedure run go (its results, screenshots, trace); it may not exist.
    QString GetProcedureFolder(const KAVAtmTestProcedureResult *procedure) const;
    QString GetOutputPath() const;
    void SetOutputPath(const QString &path);
    // Which baselines the data of finished script and assertion actions writes (by default
    // the missing ones only).
    void SetBaselineUpdate(KAVAtmExecutorBase::BaselineUpdate update);
    // Which finished actions keep a screenshot of the host: "off", "failures" (the default) or
    // "all"; any other text is "failures". For the clients launched from now on.
    void SetScreenshots(const QString &mode);
    // Whether each procedure attempt keeps a step trace: "off" (the default), "on", or
    // "retain-on-failure" (only the attempts that failed keep theirs).
    void SetTrace(const QString &mode);
    // Client programs' output goes to this process's standard error, each line prefixed with
    // the program's name and process id; off, it is read and dropped.
    void SetClientOutputForwarded(bool forwarded);

    // Every client launched proves the secret it was given. Hosts started without one prove the
    // built-in key, which anybody can; such clients are accepted only when this is on (off by
    // default), and tied to a launched process by its process id alone.
    bool IsBuiltInKeyAccepted() const;
    void SetBuiltInKeyAccepted(bool accepted);
    int GetRegistrationTimeout() const;
    void SetRegistrationTimeout(int milliseconds);

Q_SIGNALS:
    void TestClientConnected(qlonglong clientPid);
    void TestClientDisconnected(qlonglong clientPid);
    void TestProceduresLoaded();
    void ExecutionStarted();
    void ExecutionCompleted();
    void TestProcedureExecutionStarted(KAVAtmTestProcedureDef *procedure);
    void TestProcedureExecutionFinished(KAVAtmTestProcedureDef *procedure);
    void TestActionExecutionStarted(KAVAtmTestActionDef *action);
    void TestActionExecutionFinished(KAVAtmTestActionDef *action);
    void RecordingDataReceived(QJsonValue data);
    // A finished action's data was written as its baseline, before the action is announced.
    void BaselineWritten(QString path);
    // A launched client in recording mode started (1), paused (2) or stopped (0) recording.
    void RecordingStatusChanged(qlonglong clientPid, int status);

    // Following a run: the result objects as the sessions fill them. A finished action's
    // result already holds what baseline capture added.
    void ProcedureResultStarted(qlonglong clientPid, const KAVAtmTestProcedureResult *procedure);
    void ProcedureResultFinished(qlonglong clientPid, const KAVAtmTestProcedureResult *procedure);
    void ActionResultStarted(qlonglong clientPid, const KAVAtmTestActionResult *action);
    void ActionResultFinished(qlonglong clientPid, const KAVAtmTestActionResult *action);
    // A client program could not be started.
    void TestClientStartFailed(QString program, QString errorString);
    // The connection of a registered client closed while it was running procedures.
    void TestClientConnectionLost(qlonglong clientPid);
    // A launched client crashed or exited with a non-zero code, without the runner stopping it.
    void TestClientExitedUnexpectedly(qlonglong clientPid, QString reason);

private:
    explicit KAVAtmOrchestrator(QObject *parent);
    void StartRecordingControl(qint64 pid, const char *operation, const QString &command);

    friend class KAVAtmOrchestratorPrivate;
    const std::unique_ptr<KAVAtmOrchestratorPrivate> d;
};

#endif // KAVATMORCHESTRATOR_H
