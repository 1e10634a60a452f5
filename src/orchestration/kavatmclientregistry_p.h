#ifndef KAVATMCLIENTREGISTRY_P_H
#define KAVATMCLIENTREGISTRY_P_H

#include "kavatmenums.h"

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPointer>

#include <functional>

class KAVAtmConfiguration;
class KAVAtmOrchestrator;
class KAVAtmOrchestratorClient;
class KAVAtmTestProcedureDef;
class KAVAtmTestProcedureResult;
class QProcess;
class QTcpServer;

struct ClientLaunchInfo {
    QPointer<KAVAtmOrchestratorClient> client;
    QList<KAVAtmTestProcedureResult *> procedures;
    KAVAtmEnums::PlatformMode mode = KAVAtmEnums::Batch;
    qint64 pid = 0;
    // What the client must prove: only a connection that proved it may speak for the process.
    QByteArray secret;
    // A session registered for it: no other ever will.
    bool registered = false;
    // Its outstanding actions have been failed already, and its end is the runner's doing.
    bool aborted = false;
};

struct PendingLaunch {
    QList<KAVAtmTestProcedureDef *> procedures;
    KAVAtmEnums::PlatformMode mode = KAVAtmEnums::Batch;
    QByteArray secret;
};

// Who speaks for which launched program: the server and the sessions of the peers that
// connect to it, the programs started and the secret each must prove, and which session
// registered for which program. A session speaks for the program whose secret it proved, once,
// and for no other; a peer that does not register in time is disconnected.
class KAVAtmClientRegistry : public QObject {
    Q_OBJECT
public:
    KAVAtmClientRegistry(KAVAtmOrchestrator *orchestrator, QObject *parent);
    ~KAVAtmClientRegistry() override;

    bool Listen(KAVAtmConfiguration &configuration);
    quint16 GetPort() const;

    KAVAtmOrchestratorClient *FindClient(qint64 pid) const;
    QList<KAVAtmOrchestratorClient *> GetClients() const { return m_clients; }
    ClientLaunchInfo *FindLaunch(const KAVAtmOrchestratorClient *client);
    // The launch of a started program; null before it has started and after it has ended.
    const ClientLaunchInfo *FindLaunch(QProcess *process) const;
    QProcess *FindProcess(qint64 pid) const;
    // A program of the runner's, starting or started and not ended yet.
    bool IsLaunched(QProcess *process) const;
    bool HasLaunches() const { return !m_launches.isEmpty(); }
    QList<QProcess *> GetStartingProcesses() const { return m_starting.keys(); }
    QList<QProcess *> GetLaunchedProcesses() const { return m_launches.keys(); }
    // Frees a session whose connection has closed; its results stay with the orchestrator.
    void Release(KAVAtmOrchestratorClient *client);

    // A program is starting, to run what launch says once it has registered.
    void LaunchRequested(QProcess *process, const PendingLaunch &launch);
    // It could not start.
    void LaunchFailed(QProcess *process);
    // It started as process pid: it is to run results, made from what it was to run.
    void LaunchStarted(
        QProcess *process, qint64 pid,
        const std::function<QList<KAVAtmTestProcedureResult *>(const QList<KAVAtmTestProcedureDef *> &)>
            &results);
    // The runner ends the launch: false when there is none. launch is what it was before.
    bool LaunchAborted(QProcess *process, ClientLaunchInfo *launch);
    // The program has ended: its launch is gone, and launch is what it was. False when there
    // was none.
    bool LaunchEnded(QProcess *process, ClientLaunchInfo *launch);
    // Forgets every launch at once (the orchestrator is going).
    void ForgetLaunches() { m_launches.clear(); }

    bool IsBuiltInKeyAccepted() const { return m_builtInKeyAccepted; }
    void SetBuiltInKeyAccepted(bool accepted) { m_builtInKeyAccepted = accepted; }
    int GetRegistrationTimeout() const { return m_registrationTimeout; }
    void SetRegistrationTimeout(int milliseconds) { m_registrationTimeout = qMax(0, milliseconds); }

Q_SIGNALS:
    // A peer connected: its session exists, not yet bound to any program.
    void SessionOpened(KAVAtmOrchestratorClient *client);
    // The session proved the secret of the process's launch and now speaks for it.
    void SessionRegistered(KAVAtmOrchestratorClient *client, QProcess *process);
    // The connection of a registered session closed while it was running procedures.
    void ConnectionLost(qint64 pid);

private Q_SLOTS:
    void OnConnected();
    void OnRegistered(KAVAtmOrchestratorClient *client);

private:
    KAVAtmOrchestrator *const m_orchestrator;
    QTcpServer *m_server = nullptr;
    QList<KAVAtmOrchestratorClient *> m_clients;
    QHash<QProcess *, ClientLaunchInfo> m_launches;
    // What each started program is to run, until it has started.
    QHash<QProcess *, PendingLaunch> m_starting;
    bool m_builtInKeyAccepted = false;
    int m_registrationTimeout;
};

#endif // KAVATMCLIENTREGISTRY_P_H
