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
    // Before the server and its sockets: a socket going must not reach a connection.
    qDeleteAll(findChildren<KAVAtmOrchestratorClientConnection *>(Qt::FindDirectChildrenOnly));
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
        const auto unregistered = std::count_if(clients.cbegin(), clients.cend(),
                                                [this](auto *c) { return !FindLaunch(c); });
        if (unregistered >= KAVAtmOrchestrator::MaximumUnregisteredClients) {
            qCWarning(lcOrchestration, "Too many clients that have not registered: one refused.");
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto *connection = new KAVAtmOrchestratorClientConnection(this, socket);
        QList<QByteArray> secrets;
        for (const ClientLaunchInfo &launch : std::as_const(launches))
            secrets.append(launch.secret);
        for (const PendingLaunch &pending : std::as_const(starting))
            secrets.append(pending.secret);
        connection->SetClientSecrets(secrets, builtInKeyAccepted);
        // Small until the client has said who it is.
        connection->SetMaximumFrameSize(KAVAtmOrchestrator::UnregisteredFrameSize);
        auto *client = new KAVAtmOrchestratorClient(owner, connection);
        connection->Authenticate();
        connect(connection, &KAVWorkConnection::AuthenticationFailed, socket,
                &QTcpSocket::disconnectFromHost);
        connect(connection, &KAVWorkConnection::ErrorOccurred, socket,
                &QTcpSocket::disconnectFromHost);
        // An authenticated peer that does not register in time holds nothing for long.
        auto *deadline = new QTimer(client);
        deadline->setSingleShot(true);
        connect(connection, &KAVWorkConnection::Authenticated, deadline,
                [this, deadline] { deadline->start(registrationTimeout); });
        connect(deadline, &QTimer::timeout, socket, [this, client, socket] {
            // A host started by hand may stay, unbound, when such hosts are accepted.
            if (FindLaunch(client) || (builtInKeyAccepted && client->GetPid() != 0))
                return;
            qCWarning(lcOrchestration, "A client did not register in time: disconnected.");
            socket->abort();
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, client] {
            if (client->IsExecuting() && FindLaunch(client)) {
                Q_EMIT owner->TestClientConnectionLost(client->GetPid());
                return;
            }
            // Unless it still has procedures to finish, a session whose connection has closed
            // leaves nothing behind.
            if (!client->IsExecuting())
                Release(client);
        });

        connect(client, &QObject::destroyed, this, &KAVAtmOrchestratorPrivate::OnClientDestroyed);
        connect(client, &KAVAtmOrchestratorClient::ClientRegistered, this,
                &KAVAtmOrchestratorPrivate::OnClientRegistered);
        connect(client, &KAVAtmOrchestratorClient::TestActionExecutionFinished, this,
                &KAVAtmOrchestratorPrivate::OnTestActionExecutionFinished);
        connect(client, &KAVAtmOrchestratorClient::ClientExecutionCompleted, this,
                &KAVAtmOrchestratorPrivate::OnClientExecutionCompleted);
        connect(client, &KAVAtmOrchestratorClient::RecordingDataReceived, owner,
                [this, client](const QJsonValue &data) {
                    // Only what a client the runner launched records, while it records.
                    const ClientLaunchInfo *launch = FindLaunch(client);
                    if (!launch || launch->mode != KAVAtmEnums::Recording) {
                        qCWarning(lcOrchestration,
                                  "Recording data from a client that is not "
                                  "recording: dropped.");
                        return;
                    }
                    Q_EMIT owner->RecordingDataReceived(data);
                });
        connect(client, &KAVAtmOrchestratorClient::RecordingStatusReceived, owner,
                [this, client](int status) {
                    const ClientLaunchInfo *launch = FindLaunch(client);
                    if (launch && launch->mode == KAVAtmEnums::Recording && status >= 0)
                        Q_EMIT owner->RecordingStatusChanged(client->GetPid(), status);
                });
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

ClientLaunchInfo *KAVAtmOrchestratorPrivate::FindLaunch(const KAVAtmOrchestratorClient *client)
{
    for (auto it = launches.begin(); it != launches.end(); ++it) {
        if (client && it->client == client)
            return &it.value();
    }
    return nullptr;
}

void KAVAtmOrchestratorPrivate::Release(KAVAtmOrchestratorClient *client)
{
    KAVAtmOrchestratorClientConnection *connection = client->GetConnection();
    client->deleteLater();
    if (connection) {
        if (QTcpSocket *socket = connection->GetSocket())
            socket->deleteLater();
        connection->deleteLater();
    }
}

void KAVAtmOrchestratorPrivate::Kill(QProcess *process)
{
    if (launches.contains(process) || starting.contains(process))
        launcher->Kill(process);
}

void KAVAtmOrchestratorPrivate::OnClientRegistered(KAVAtmOrchestratorClient *client)
{
    KAVAtmOrchestratorClientConnection *connection = client->GetConnection();
    const QByteArray secret = connection ? connection->GetAuthenticatedSecret() : QByteArray();
    const auto refuse = [&](const QString &why) {
        qCWarning(lcOrchestration).noquote() << why;
        if (connection && connection->GetSocket())
            connection->GetSocket()->abort();
    };
    QProcess *process = nullptr;
    for (auto it = launches.begin(); it != launches.end(); ++it) {
        // A client speaks for the process whose secret it proved, once, and for no other.
        if (!secret.isEmpty() && it->secret == secret) {
            if (it->pid != client->GetPid()) {
                return refuse(
                    QStringLiteral("A client registered as process %1 with the secret "
                                   "of process %2: refused.")
                        .arg(QString::number(client->GetPid()), QString::number(it->pid)));
            }
            if (it->registered || it->aborted) {
                return refuse(QStringLiteral("Process %1 has registered already: a second "
                                             "registration is refused.")
                                  .arg(it->pid));
            }
            process = it.key();
            break;
        }
        // One that proved the built-in key (accepted only on request) is taken at its word.
        if (secret.isEmpty() && !it->registered && !it->aborted && it->pid == client->GetPid()) {
            process = it.key();
            break;
        }
    }
    if (!process)
        return;
    ClientLaunchInfo &launch = launches[process];
    launch.client = client;
    launch.registered = true;
    if (connection)
        connection->SetMaximumFrameSize(KAVWorkConnection::MaximumFrameSize);
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
    if (KAVAtmResultWriter::IsCapturedType(action->GetActionType())) {
        const QString baseline = writer.Capture(const_cast<KAVAtmTestActionResult *>(action));
        if (!baseline.isEmpty())
            Q_EMIT owner->BaselineWritten(baseline);
    }
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
    const PendingLaunch pending = starting.take(process);
    const QList<KAVAtmTestProcedureDef *> &list = pending.procedures;
    ClientLaunchInfo launch;
    launch.secret = pending.secret;
    const KAVAtmEnums::PlatformMode mode = pending.mode;
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
    // A session that registered and has gone was idle: it left nothing outstanding.
    if (!unstarted || launch.registered)
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
               .arg(QString::number(exitCode),
                    crashed ? QStringLiteral("CrashExit") : QStringLiteral("NormalExit"));

    const QString reason
        = KAVAtmOrchestrator::tr("The client exited before completing the action "
                                 "(exit code %1, %2).")
              .arg(QString::number(exitCode),
                   crashed ? QStringLiteral("crashed") : QStringLiteral("normal exit"));
    const auto it = launches.constFind(process);
    // A crash, or a failing exit code, is a fault of the host even after its last verdict;
    // only an end the runner brought about itself is not.
    if (it != launches.constEnd() && !it->aborted && (crashed || exitCode != 0)) {
        Q_EMIT owner->TestClientExitedUnexpectedly(
            it->pid,
            crashed ? KAVAtmOrchestrator::tr("The client crashed.")
                    : KAVAtmOrchestrator::tr("The client exited with code %1.").arg(exitCode));
    }
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
    if (KAVAtmOrchestratorClient *client = launch.client) {
        const KAVAtmOrchestratorClientConnection *connection = client->GetConnection();
        if (!connection || !connection->GetSocket()
            || connection->GetSocket()->state() == QAbstractSocket::UnconnectedState)
            Release(client);
    }
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
                                       KAVAtmOrchestratorConfiguration configuration, qint64 *pid)
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
    const QByteArray secret = KAVAtmClientLauncher::CreateSecret();
    QProcess *process = d->launcher->Launch(client, GetListeningPort(), mode, secret, &error);
    if (!process) {
        qCDebug(lcOrchestration).noquote() << "[KAVAtmOrchestrator::StartPlatform]" << error;
        return false;
    }
    // A program that cannot be found has been reported already, from inside Launch.
    if (process->error() != QProcess::FailedToStart)
        d->starting.insert(process, {procedures, mode, secret});
    if (pid)
        *pid = process->processId();
    return true;
}

bool KAVAtmOrchestrator::Execute(qint64 pid, const QList<KAVAtmTestProcedureDef *> &procedures)
{
    KAVAtmOrchestratorClient *client = d->FindClient(pid);
    if (!client || !client->IsAcceptingWork())
        return false;
    QList<KAVAtmTestProcedureResult *> results;
    for (const KAVAtmTestProcedureDef *procedure : procedures) {
        results.append(procedure->CreateResult());
        d->results.append(results.last());
    }
    if (results.isEmpty())
        return true;
    const bool running = client->IsExecuting();
    client->AddProcedures(results);
    if (running)
        return true; // queued behind the procedures it runs now
    Q_EMIT client->ClientExecutionStarted();
    client->ExecuteNextProcedure();
    return true;
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
    d->Kill(process);
}

void KAVAtmOrchestrator::AbortAll(const QString &reason)
{
    // Programs still starting have nothing to fail yet: they are stopped before they connect.
    for (QProcess *process : d->starting.keys())
        d->Kill(process);
    const QList<QProcess *> processes = d->launches.keys();
    for (QProcess *process : processes) {
        d->AbortLaunch(process, reason);
        d->Kill(process);
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

void KAVAtmOrchestrator::SetBaselineUpdate(KAVAtmExecutorBase::BaselineUpdate update)
{
    d->writer.SetBaselineUpdate(update);
}

void KAVAtmOrchestrator::SetOutputPath(const QString &path)
{
    d->writer.SetOutputPath(path);
}

void KAVAtmOrchestrator::SetClientOutputForwarded(bool forwarded)
{
    d->launcher->SetOutputForwarded(forwarded);
}

bool KAVAtmOrchestrator::IsBuiltInKeyAccepted() const
{
    return d->builtInKeyAccepted;
}

void KAVAtmOrchestrator::SetBuiltInKeyAccepted(bool accepted)
{
    d->builtInKeyAccepted = accepted;
}

int KAVAtmOrchestrator::GetRegistrationTimeout() const
{
    return d->registrationTimeout;
}

void KAVAtmOrchestrator::SetRegistrationTimeout(int milliseconds)
{
    d->registrationTimeout = qMax(0, milliseconds);
}
