#ifndef KAVATMCLIENTREGISTRY_P_H
#define KAVATMCLIENTREGISTRY_P_H

#include "kavatmenums.h"

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPointer>

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
    ClientLaunchInfo *FindLaunch(const KAVAtmOrchestratorClient *client);
    QProcess *FindProcess(qint64 pid) const;
    // Frees a session whose connection has closed; its results stay with the orchestrator.
    void Release(KAVAtmOrchestratorClient *client);

    QList<KAVAtmOrchestratorClient *> clients;
    QHash<QProcess *, ClientLaunchInfo> launches;
    // What each started program is to run, until it has started.
    QHash<QProcess *, PendingLaunch> starting;
    bool builtInKeyAccepted = false;
    int registrationTimeout;

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
};

#endif // KAVATMCLIENTREGISTRY_P_H
