#ifndef KAVATMORCHESTRATOR_P_H
#define KAVATMORCHESTRATOR_P_H

#include "kavatmclientlauncher_p.h"
#include "kavatmconfiguration.h"
#include "kavatmorchestrator.h"
#include "kavatmresultwriter_p.h"

#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtCore/QPointer>

class KAVAtmOrchestratorClient;
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

// The orchestrator's state: the server and its sessions, the loaded procedures, the launched
// clients and what each is to run. Starting programs belongs to the launcher, result files and
// baselines to the result writer.
class KAVAtmOrchestratorPrivate : public QObject {
    Q_OBJECT
public:
    explicit KAVAtmOrchestratorPrivate(KAVAtmOrchestrator *owner);
    ~KAVAtmOrchestratorPrivate() override;

    bool StartServer(KAVAtmConfiguration &configuration);
    KAVAtmOrchestratorClient *FindClient(qint64 pid) const;
    void OnProcessStarted(QProcess *process);
    ClientLaunchInfo *FindLaunch(const KAVAtmOrchestratorClient *client);
    // Frees a session whose connection has closed; its results stay with the orchestrator.
    void Release(KAVAtmOrchestratorClient *client);
    void Kill(QProcess *process);
    void OnProcessFinished(QProcess *process, int exitCode, bool crashed);
    void FinishProcess(QProcess *process, const QString &reason);
    QProcess *FindProcess(qint64 pid) const;
    // Fails what the launch of the process has outstanding, with or without a session.
    void AbortLaunch(QProcess *process, const QString &reason);
    void FailOutstanding(const ClientLaunchInfo &launch, const QString &reason, bool unstarted);

private Q_SLOTS:
    void OnClientConnected();
    void OnClientRegistered(KAVAtmOrchestratorClient *client);
    void OnClientDestroyed(QObject *object);
    void OnTestActionExecutionFinished(const KAVAtmTestActionResult *action);
    void OnClientExecutionCompleted();

public:
    KAVAtmOrchestrator *const owner;
    QTcpServer *server = nullptr;
    KAVAtmClientLauncher *launcher = nullptr;
    KAVAtmResultWriter writer;
    QList<KAVAtmOrchestratorClient *> clients;
    QList<KAVAtmTestProcedureDef *> procedures;
    QHash<QProcess *, ClientLaunchInfo> launches;
    // What each started program is to run, until it has started.
    QHash<QProcess *, PendingLaunch> starting;
    bool builtInKeyAccepted = false;
    int registrationTimeout = KAVAtmOrchestrator::DefaultRegistrationTimeout;
    KAVAtmTestActionResult *pendingControl = nullptr;
    KAVAtmTestActionDef *pendingControlDef = nullptr;
    // Every procedure result made, freed with the orchestrator.
    QList<KAVAtmTestProcedureResult *> results;
};

#endif // KAVATMORCHESTRATOR_P_H
