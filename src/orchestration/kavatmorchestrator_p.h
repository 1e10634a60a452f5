#ifndef KAVATMORCHESTRATOR_P_H
#define KAVATMORCHESTRATOR_P_H

#include "kavatmconfiguration.h"
#include "kavatmexecutorbase.h"
#include "kavatmorchestrator.h"

#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QSet>

class KAVAtmOrchestratorClient;
class QProcess;
class QTcpServer;

struct ClientLaunchInfo {
    QPointer<KAVAtmOrchestratorClient> client;
    QList<KAVAtmTestProcedureResult *> procedures;
    KAVAtmEnums::PlatformMode mode = KAVAtmEnums::Batch;
    qint64 pid = 0;
    // Its outstanding actions have been failed already.
    bool aborted = false;
};

class KAVAtmOrchestratorPrivate : public QObject, public KAVAtmExecutorBase {
    Q_OBJECT
public:
    explicit KAVAtmOrchestratorPrivate(KAVAtmOrchestrator *owner);
    ~KAVAtmOrchestratorPrivate() override;

    bool StartServer(KAVAtmConfiguration &configuration);
    KAVAtmOrchestratorClient *FindClient(qint64 pid) const;
    void SaveActionResult(const KAVAtmTestActionResult *action);
    QString ResultFileName(const QString &folder, const KAVAtmTestActionResult *action);
    void OnProcessStarted(QProcess *process, const QList<KAVAtmTestProcedureDef *> &procedures,
                          KAVAtmEnums::PlatformMode mode);
    void OnProcessFinished(QProcess *process, int exitCode, int exitStatus);
    void FinishProcess(QProcess *process, const QString &reason);
    void ForwardOutput(QProcess *process, bool standardError);
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
    QList<KAVAtmOrchestratorClient *> clients;
    QList<KAVAtmTestProcedureDef *> procedures;
    QHash<QProcess *, ClientLaunchInfo> launches;
    QString outputPath;
    KAVAtmTestActionResult *pendingControl = nullptr;
    KAVAtmTestActionDef *pendingControlDef = nullptr;
    // Every procedure result made, freed with the orchestrator.
    QList<KAVAtmTestProcedureResult *> results;
    // Result file names written per folder (in lower case), so no file replaces another.
    QHash<QString, QSet<QString>> resultFiles;
    bool forwardClientOutput = true;
};

#endif // KAVATMORCHESTRATOR_P_H
