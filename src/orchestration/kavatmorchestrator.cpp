#include "kavatmorchestrator.h"
#include "kavatmlogging_p.h"
#include "kavatmorchestrator_p.h"
#include "kavatmorchestratorclient.h"
#include "kavatmorchestratorclientconnection.h"
#include "kavatmrecordingactiondef.h"
#include "kavatmtestactiondef.h"
#include "kavatmtestactionresult.h"
#include "kavatmtestproceduredef.h"
#include "kavatmtestprocedureresult.h"
#include "kavsysinitcontext.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QProcess>
#include <QtCore/QTimer>
#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>

#include <memory>

namespace {
KAVAtmOrchestrator *s_instance = nullptr;
} // namespace

// ---- Private

KAVAtmOrchestratorPrivate::KAVAtmOrchestratorPrivate(KAVAtmOrchestrator *owner)
    : owner(owner), launcher(new KAVAtmClientLauncher(this))
{
    KAVSysInitContext init {QList<QString>()};
    connect(launcher, &KAVAtmClientLauncher::Finished, this,
            &KAVAtmOrchestratorPrivate::OnProcessFinished);
    connect(launcher, &KAVAtmClientLauncher::Started, this,
            &KAVAtmOrchestratorPrivate::OnProcessStarted);
    connect(launcher, &KAVAtmClientLauncher::StartFailed, this,
            [this](QProcess *process, const QString &program, const QString &error) {
                starting.remove(process);
                Q_EMIT this->owner->TestClientStartFailed(program, error);
            });
}

KAVAtmOrchestratorPrivate::~KAVAtmOrchestratorPrivate()
{
    for (KAVAtmOrchestratorClient *client : std::exchange(clients, {})) {
        client->disconnect(this);
        delete client;
    }
    qDeleteAll(procedures);
    qDeleteAll(results);
    delete pendingControl;
    delete pendingControlDef;
}

bool KAVAtmOrchestratorPrivate::StartServer(KAVAtmConfiguration &configuration)
{
    if (!server)
        server = new QTcpServer(this);
    if (!server->listen(configuration.GetOrchestratorAddress(),
                        configuration.GetOrchestratorPort())) {
        qCritical().noquote() << "cannot open controller client port:" << server->errorString();
        return false;
    }
    configuration.SetOrchestratorPort(server->serverPort());
    qCDebug(lcOrchestration).noquote()
        << "Server is listening at: " + server->serverAddress().toString() + QLatin1Char(':')
            + QString::number(server->serverPort());
    connect(server, &QTcpServer::newConnection, this, &KAVAtmOrchestratorPrivate::OnClientConnected,
            Qt::UniqueConnection);
    return true;
}

KAVAtmOrchestratorClient *KAVAtmOrchestratorPrivate::FindClient(qint64 pid) const
{
    for (KAVAtmOrchestratorClient *client : clients) {
        if (client->GetPid() == pid)
            return client;
    }
    return nullptr;
}

void KAVAtmOrchestratorPrivate::OnClientConnected()
{
    while (server->hasPendingConnections()) {
        QTcpSocket *socket = server->nextPendingConnection();
        auto *connection = new KAVAtmOrchestratorClientConnection(this, socket);
        auto *client = new KAVAtmOrchestratorClient(owner, connection);
        connection->Authenticate();
        connect(connection, &KAVWorkConnection::AuthenticationFailed, socket,
                &QTcpSocket::disconnectFromHost);
        connect(connection, &KAVWorkConnection::ErrorOccurred, socket,
                &QTcpSocket::disconnectFromHost);
        connect(socket, &QTcpSocket::disconnected, this, [this, client, connection, socket] {
            // A peer that never registered and was given nothing leaves nothing behind.
            if (client->GetPid() == 0 && !client->HasWork()) {
                client->deleteLater();
                connection->deleteLater();
                socket->deleteLater();
                return;
            }
            if (client->GetPid() != 0 && client->IsExecuting())
                Q_EMIT owner->TestClientConnectionLost(client->GetPid());
        });

        connect(client, &QObject::destroyed, this, &KAVAtmOrchestratorPrivate::OnClientDestroyed);
        connect(client, &KAVAtmOrchestratorClient::ClientRegistered, this,
                &KAVAtmOrchestratorPrivate::OnClientRegistered);
        connect(client, &KAVAtmOrchestratorClient::TestActionExecutionFinished, this,
                &KAVAtmOrchestratorPrivate::OnTestActionExecutionFinished);
        connect(client, &KAVAtmOrchestratorClient::ClientExecutionCompleted, this,
                &KAVAtmOrchestratorPrivate::OnClientExecutionCompleted);
        connect(client, &KAVAtmOrchestratorClient::RecordingDataReceived, owner,
                &KAVAtmOrchestrator::RecordingDataReceived);
        connect(client, &KAVAtmOrchestratorClient::TestProcedureExecutionStarted, owner,
                [this, client](const KAVAtmTestProcedureResult *procedure) {
                    Q_EMIT owner->ProcedureResultStarted(client->GetPid(), procedure);
                });
        connect(client, &KAVAtmOrchestratorClient::TestProcedureExecutionFinished, owner,
                [this, client](const KAVAtmTestProcedureResult *procedure) {
                    Q_EMIT owner->ProcedureResultFinished(client->GetPid(), procedure);
                });
        connect(client, &KAVAtmOrchestratorClient::TestActionExecutionStarted, owner,
                [this, client](const KAVAtmTestActionResult *action) {
                    Q_EMIT owner->ActionResultStarted(client->GetPid(), action);
                });
        clients.append(client);
    }
}

void KAVAtmOrchestratorPrivate::OnClientRegistered(KAVAtmOrchestratorClient *client)
{
    QProcess *process = nullptr;
    for (auto it = launches.begin(); it != launches.end(); ++it) {
        if (it->pid == client->GetPid() && !it->client && !it->aborted) {
            process = it.key();
            break;
        }
    }
    if (!process)
        return;
    ClientLaunchInfo &launch = launches[process];
    launch.client = client;
    client->SetPlatformMode(launch.mode);
    const qint64 pid = launch.pid;
    // Handed over before the announcement: a handler that aborts the client or gives it more
    // procedures then finds these in its queue.
    const bool idle = !client->IsExecuting();
    if (idle)
        client->AddProcedures(launch.procedures);
    Q_EMIT owner->TestClientConnected(pid);
    const bool aborted = !launches.contains(process) || launches.value(process).aborted;
    if (idle && !aborted && !client->IsExecuting()) {
        Q_EMIT client->ClientExecutionStarted();
        client->ExecuteNextProcedure();
    }
}

void KAVAtmOrchestratorPrivate::OnClientDestroyed(QObject *object)
{
    // Compared as QObject: the session is already past its own destructor.
    clients.removeIf([object](const QObject *client) { return client == object; });
}

void KAVAtmOrchestratorPrivate::OnTestActionExecutionFinished(const KAVAtmTestActionResult *action)
{
    auto *client = qobject_cast<KAVAtmOrchestratorClient *>(sender());
    if (KAVAtmResultWriter::IsCapturedType(action->GetActionType()))
        writer.Capture(const_cast<KAVAtmTestActionResult *>(action));
    Q_EMIT owner->ActionResultFinished(client ? client->GetPid() : 0, action);
    if (action == pendingControl) {
        delete std::exchange(pendingControl, nullptr);
        delete std::exchange(pendingControlDef, nullptr);
    }
}

void KAVAtmOrchestratorPrivate::OnClientExecutionCompleted()
{
    if (auto *client = qobject_cast<KAVAtmOrchestratorClient *>(sender()))
        client->SendClosePlatform();
}

void KAVAtmOrchestratorPrivate::OnProcessStarted(QProcess *process)
{
    const auto [list, mode] = starting.take(process);
    ClientLaunchInfo launch;
    launch.mode = mode;
    launch.pid = process->processId();
    for (const KAVAtmTestProcedureDef *procedure : list.isEmpty() ? procedures : list) {
        KAVAtmTestProcedureResult *result = procedure->CreateResult();
        results.append(result);
        launch.procedures.append(result);
    }
    launches.insert(process, launch);
}

QProcess *KAVAtmOrchestratorPrivate::FindProcess(qint64 pid) const
{
    for (auto it = launches.cbegin(); it != launches.cend(); ++it) {
        if (it->pid == pid)
            return it.key();
    }
    return nullptr;
}

void KAVAtmOrchestratorPrivate::AbortLaunch(QProcess *process, const QString &reason)
{
    const auto it = launches.find(process);
    if (it == launches.end())
        return;
    const bool unstarted = !it->aborted;
    it->aborted = true;
    // A copy: the handlers of the signals sent meanwhile may change the launch table.
    FailOutstanding(it.value(), reason, unstarted);
}

void KAVAtmOrchestratorPrivate::FailOutstanding(const ClientLaunchInfo &launch,
                                                const QString &reason, bool unstarted)
{
    if (launch.client) {
        launch.client->Abort(reason);
        return;
    }
    if (!unstarted)
        return;
    // The client never registered: its procedures were not handed to any session.
    for (KAVAtmTestProcedureResult *procedure : launch.procedures) {
        procedure->RecordStartTime();
        Q_EMIT owner->ProcedureResultStarted(launch.pid, procedure);
        for (KAVAtmTestActionResult *action : procedure->GetActionResults()) {
            action->RecordStartTime();
            Q_EMIT owner->ActionResultStarted(launch.pid, action);
            action->SetStatus(KAVAtmEnums::Completed);
            action->SetResult(KAVAtmEnums::Fail);
            action->SetDetails(reason);
            action->RecordFinishTime();
            // A failed action's file: no baseline is taken from an action that did not run.
            if (KAVAtmResultWriter::IsCapturedType(action->GetActionType()))
                writer.SaveActionResult(action);
            Q_EMIT owner->ActionResultFinished(launch.pid, action);
        }
        procedure->RecordFinishTime();
        Q_EMIT owner->ProcedureResultFinished(launch.pid, procedure);
    }
}

void KAVAtmOrchestratorPrivate::OnProcessFinished(QProcess *process, int exitCode, bool crashed)
{
    qCDebug(lcOrchestration).noquote()
        << QStringLiteral("Client process ended: the exit code :%1, the exit status: %2")
               .arg(exitCode)
               .arg(crashed ? QStringLiteral("CrashExit") : QStringLiteral("NormalExit"));

    const QString reason
        = KAVAtmOrchestrator::tr("The client exited before completing the action "
                                 "(exit code %1, %2).")
              .arg(exitCode)
              .arg(crashed ? QStringLiteral("crashed") : QStringLiteral("normal exit"));
    // What the client sent just before it exited may still be on its way through the
    // connection: the end waits for the connection to close (or two seconds), then for the
    // messages already received, so no last verdict is overtaken by "exited".
    const auto done = std::make_shared<bool>(false);
    const auto finish = [this, process, reason, done] {
        if (*done)
            return;
        *done = true;
        QTimer::singleShot(0, this, [this, process, reason] { FinishProcess(process, reason); });
    };
    KAVAtmOrchestratorClient *client = launches.value(process).client;
    KAVAtmOrchestratorClientConnection *connection = client ? client->GetConnection() : nullptr;
    QTcpSocket *socket = connection ? connection->GetSocket() : nullptr;
    if (socket && socket->state() != QAbstractSocket::UnconnectedState) {
        connect(socket, &QTcpSocket::disconnected, process, finish);
        QTimer::singleShot(2000, process, finish);
    } else {
        finish();
    }
}

void KAVAtmOrchestratorPrivate::FinishProcess(QProcess *process, const QString &reason)
{
    const auto it = launches.find(process);
    if (it == launches.end())
        return;
    const ClientLaunchInfo launch = it.value();
    launches.erase(it);
    FailOutstanding(launch, reason, !launch.aborted);
    QTimer::singleShot(1, process, &QObject::deleteLater);
    Q_EMIT owner->TestClientDisconnected(launch.pid);
    if (launches.isEmpty())
        Q_EMIT owner->ExecutionCompleted();
}

// ---- Public

KAVAtmOrchestrator::KAVAtmOrchestrator(QObject *parent)
    : QObject(parent), d(new KAVAtmOrchestratorPrivate(this))
{
}

KAVAtmOrchestrator::~KAVAtmOrchestrator()
{
    // Processes first, silenced: a client killed now must not reach sessions or results
    // that are going.
    delete std::exchange(d->launcher, nullptr);
    d->launches.clear();
    if (s_instance == this)
        s_instance = nullptr;
}

KAVAtmOrchestrator *KAVAtmOrchestrator::GetInstance()
{
    static const bool created = [] {
        s_instance = new KAVAtmOrchestrator(nullptr);
        // Gone with the application object, before Qt's own shut-down.
        qAddPostRoutine([] { delete s_instance; });
        return true;
    }();
    Q_UNUSED(created);
    return s_instance;
}

bool KAVAtmOrchestrator::Initialize()
{
    KAVAtmConfiguration configuration;
    return d->StartServer(configuration);
}

quint16 KAVAtmOrchestrator::GetListeningPort() const
{
    return d->server && d->server->isListening() ? d->server->serverPort() : 0;
}

QList<QPair<QString, QString>> KAVAtmOrchestrator::LoadProcedures(const QList<QString> &filePaths)
{
    QList<QPair<QString, QString>> invalid;
    for (const QString &path : filePaths) {
        std::unique_ptr<KAVAtmTestProcedureDef> procedure(
            KAVAtmTestProcedureDef::FromJsonFile(path));
        QString reason = procedure->GetInvalidReason();
        if (reason.isEmpty() && procedure->GetLabel().isEmpty())
            reason = tr("The procedure has no label.");
        else if (reason.isEmpty() && procedure->GetActionsCount() == 0)
            reason = tr("The procedure has no actions.");
        if (reason.isEmpty()) {
            d->procedures.append(procedure.release());
            continue;
        }
        qCDebug(lcOrchestration).noquote()
            << "[KAVAtmOrchestrator::LoadProcedures]" << path << reason;
        invalid.append({path, reason});
    }
    return invalid;
}

QList<KAVAtmTestProcedureDef *> KAVAtmOrchestrator::GetLoadedProcedures() const
{
    return d->procedures;
}

bool KAVAtmOrchestrator::StartPlatform(const QString &platformName,
                                       const QList<KAVAtmTestProcedureDef *> &procedures,
                                       KAVAtmEnums::PlatformMode mode,
                                       KAVAtmOrchestratorConfiguration configuration)
{
    const QList<KAVAtmClientDefinition> clients = configuration.GetClients();
    if (clients.isEmpty()) {
        qCDebug(lcOrchestration) << "[KAVAtmOrchestrator::StartPlatform] No clients defined "
                                    "in KAVAutomationOrchestrator.json file.";
        return false;
    }
    KAVAtmClientDefinition client = clients.first();
    for (const KAVAtmClientDefinition &candidate : clients) {
        if (candidate.GetDisplayName().toLower() == platformName.toLower()) {
            client = candidate;
            break;
        }
    }
    QString error;
    QProcess *process = d->launcher->Launch(client, GetListeningPort(), mode, &error);
    if (!process) {
        qCDebug(lcOrchestration).noquote() << "[KAVAtmOrchestrator::StartPlatform]" << error;
        return false;
    }
    // A program that cannot be found has been reported already, from inside Launch.
    if (process->error() != QProcess::FailedToStart)
        d->starting.insert(process, {procedures, mode});
    return true;
}

void KAVAtmOrchestrator::Execute(qint64 pid, const QList<KAVAtmTestProcedureDef *> &procedures)
{
    QList<KAVAtmTestProcedureResult *> results;
    for (const KAVAtmTestProcedureDef *procedure : procedures) {
        results.append(procedure->CreateResult());
        d->results.append(results.last());
    }
    if (results.isEmpty())
        return;
    KAVAtmOrchestratorClient *client = d->FindClient(pid);
    if (!client)
        return;
    const bool running = client->IsExecuting();
    client->AddProcedures(results);
    if (running)
        return; // queued behind the procedures it runs now
    Q_EMIT client->ClientExecutionStarted();
    client->ExecuteNextProcedure();
}

void KAVAtmOrchestrator::ExecuteAll(qint64 pid)
{
    Execute(pid, d->procedures);
}

void KAVAtmOrchestrator::StopPlatform(qint64 pid)
{
    if (KAVAtmOrchestratorClient *client = d->FindClient(pid))
        client->SendClosePlatform();
}

void KAVAtmOrchestrator::AbortClient(qint64 pid, const QString &reason)
{
    QProcess *process = d->FindProcess(pid);
    if (!process) {
        if (KAVAtmOrchestratorClient *client = d->FindClient(pid))
            client->Abort(reason);
        return;
    }
    d->AbortLaunch(process, reason);
    if (d->launches.contains(process) && process->state() != QProcess::NotRunning)
        process->kill();
}

void KAVAtmOrchestrator::AbortAll(const QString &reason)
{
    const QList<QProcess *> processes = d->launches.keys();
    for (QProcess *process : processes) {
        d->AbortLaunch(process, reason);
        if (d->launches.contains(process) && process->state() != QProcess::NotRunning)
            process->kill();
    }
}

void KAVAtmOrchestrator::StartRecordingControl(qint64 pid, const char *operation,
                                               const QString &command)
{
    qCDebug(lcOrchestration).noquote() << QLatin1String(operation) + QString::number(pid);
    KAVAtmOrchestratorClient *client = d->FindClient(pid);
    if (!client || d->pendingControl)
        return;
    auto *def = new KAVAtmRecordingActionDef;
    def->SetCommand(command);
    d->pendingControlDef = def;
    d->pendingControl = new KAVAtmTestActionResult(def, nullptr);
    try {
        client->ExecuteSingleAction(d->pendingControl);
    } catch (...) {
        // Refused: not pending, or every later control would be ignored for good.
        delete std::exchange(d->pendingControl, nullptr);
        delete std::exchange(d->pendingControlDef, nullptr);
        throw;
    }
}

void KAVAtmOrchestrator::StartRecording(qint64 pid)
{
    StartRecordingControl(pid, "StartRecording on PID: ", QStringLiteral("start"));
}

void KAVAtmOrchestrator::PauseRecording(qint64 pid)
{
    StartRecordingControl(pid, "PauseRecording on PID: ", QStringLiteral("stop"));
}

void KAVAtmOrchestrator::ResumeRecording(qint64 pid)
{
    StartRecordingControl(pid, "ResumeRecording on PID: ", QStringLiteral("start"));
}

void KAVAtmOrchestrator::StopRecording(qint64 pid)
{
    StartRecordingControl(pid, "StopRecording on PID: ", QStringLiteral("stop"));
}

QHash<qint64, QString> KAVAtmOrchestrator::GetClientDescriptions() const
{
    QHash<qint64, QString> descriptions;
    for (const KAVAtmOrchestratorClient *client : d->clients) {
        const QPair<qint64, QString> description = client->GetDescription();
        descriptions.insert(description.first, description.second);
    }
    return descriptions;
}

QString KAVAtmOrchestrator::GetOutputPath() const
{
    return d->writer.GetOutputPath();
}

void KAVAtmOrchestrator::SetOutputPath(const QString &path)
{
    d->writer.SetOutputPath(path);
}

void KAVAtmOrchestrator::SetClientOutputForwarded(bool forwarded)
{
    d->launcher->SetOutputForwarded(forwarded);
}
