#include "kavatmorchestrator.h"
#include "kavatmorchestrator_p.h"
#include "kavatmorchestratorclient.h"
#include "kavatmorchestratorclientconnection.h"
#include "kavatmrecordingactiondef.h"
#include "kavatmsavefile_p.h"
#include "kavatmtestactiondef.h"
#include "kavatmtestactionresult.h"
#include "kavatmtestproceduredef.h"
#include "kavatmtestprocedureresult.h"
#include "kavsysinitcontext.h"
#include "kavsyslogging.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonDocument>
#include <QtCore/QProcess>
#include <QtCore/QRegularExpression>
#include <QtCore/QTimer>
#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>

#include <cstdio>
#include <memory>

namespace {

// A procedure or action name as one safe file-name part: separators and characters that file
// systems refuse become "_", so a name can never reach outside the output folder.
QString fileNamePart(const QString &name)
{
    static const QRegularExpression unsafe(QStringLiteral(R"([/\\:*?"<>|\x00-\x1f])"));
    QString part = QString(name).replace(unsafe, QStringLiteral("_")).trimmed();
    if (part == QLatin1String(".") || part == QLatin1String(".."))
        part.replace(QLatin1Char('.'), QLatin1Char('_'));
    return part;
}

bool isCapturedType(const QString &type)
{
    return type.compare(QLatin1String("executeScript"), Qt::CaseInsensitive) == 0
        || type.compare(QLatin1String("DataAssert"), Qt::CaseInsensitive) == 0;
}

KAVAtmOrchestrator *s_instance = nullptr;

} // namespace

// ---- Private

KAVAtmOrchestratorPrivate::KAVAtmOrchestratorPrivate(KAVAtmOrchestrator *owner) : owner(owner)
{
    KAVSysInitContext init {QList<QString>()};
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
    qCDebug(LOG_CAT_KAV_DEFAULT).noquote()
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
    if (isCapturedType(action->GetActionType())) {
        SaveActionBaseline(const_cast<KAVAtmTestActionResult *>(action));
        SaveActionResult(action);
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

QString KAVAtmOrchestratorPrivate::ResultFileName(const QString &folder,
                                                  const KAVAtmTestActionResult *action)
{
    const KAVAtmTestActionDef *def = action->GetActionDef();
    QString base = fileNamePart(def ? def->GetName() : QString());
    if (base.isEmpty())
        base = fileNamePart(action->GetActionType());
    if (base.isEmpty())
        base = QStringLiteral("action");
    // Per folder and without regard to case: two runs may share a folder (same procedure,
    // same second), and some file systems do not tell "Step" from "step".
    QSet<QString> &used = resultFiles[folder];
    QString name = base;
    for (int n = 2; used.contains(name.toLower())
         || QFileInfo::exists(folder + QDir::separator() + name + QStringLiteral(".json"));
         ++n)
        name = QStringLiteral("%1_%2").arg(base).arg(n);
    used.insert(name.toLower());
    return name + QStringLiteral(".json");
}

void KAVAtmOrchestratorPrivate::SaveActionResult(const KAVAtmTestActionResult *action)
{
    const KAVAtmTestProcedureResult *procedure = action->GetParentProcedureResult();
    const QDateTime time = procedure && procedure->GetStartTime().isValid()
        ? procedure->GetStartTime()
        : QDateTime::currentDateTimeUtc();
    const KAVAtmTestProcedureDef *procedureDef = procedure ? procedure->GetProcedureDef() : nullptr;
    // Without an output path the current directory is used, not the file-system root.
    const QString root = outputPath.isEmpty() ? QDir::currentPath() : outputPath;
    const QString folder = root + QDir::separator()
        + fileNamePart(procedureDef ? procedureDef->GetName() : QString()) + QLatin1Char('_')
        + time.toString(QStringLiteral("yyyyMMdd_HHmmss"));
    const bool failed = action->GetResult() == KAVAtmEnums::Fail;
    if (!QDir().mkpath(folder)) {
        if (!failed) {
            qWarning().noquote() << action->GetDetails() + QLatin1Char('\n')
                    + KAVAtmOrchestrator::tr("Failed to create folder: %1").arg(folder);
        }
        return;
    }
    const QString file = folder + QDir::separator() + ResultFileName(folder, action);
    const QByteArray content = QJsonDocument(action->ToJson()).toJson(QJsonDocument::Indented);
    if (KAVAtmSaveFile::Write(file, content) != KAVAtmSaveFile::Outcome::Saved && !failed) {
        qWarning().noquote() << action->GetDetails() + QLatin1Char('\n')
                + KAVAtmOrchestrator::tr("Failed to create file to write: %1").arg(file);
    }
}

void KAVAtmOrchestratorPrivate::OnProcessStarted(QProcess *process,
                                                 const QList<KAVAtmTestProcedureDef *> &list,
                                                 KAVAtmEnums::PlatformMode mode)
{
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
            if (isCapturedType(action->GetActionType()))
                SaveActionResult(action);
            Q_EMIT owner->ActionResultFinished(launch.pid, action);
        }
        procedure->RecordFinishTime();
        Q_EMIT owner->ProcedureResultFinished(launch.pid, procedure);
    }
}

void KAVAtmOrchestratorPrivate::OnProcessFinished(QProcess *process, int exitCode, int exitStatus)
{
    const bool crashed = exitStatus == QProcess::CrashExit;
    qCDebug(LOG_CAT_KAV_DEFAULT) << "[KAVAtmOrchestrator::StartPlatform] On process finished.";
    qCDebug(LOG_CAT_KAV_DEFAULT).noquote()
        << QStringLiteral("  The exit code :%1, the exit status: %2")
               .arg(exitCode)
               .arg(crashed ? QStringLiteral("CrashExit") : QStringLiteral("NormalExit"));
    // Drain what the client wrote last.
    ForwardOutput(process, false);
    ForwardOutput(process, true);

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

void KAVAtmOrchestratorPrivate::ForwardOutput(QProcess *process, bool standardError)
{
    const QByteArray bytes
        = standardError ? process->readAllStandardError() : process->readAllStandardOutput();
    if (bytes.isEmpty() || !forwardClientOutput)
        return;
    const QByteArray prefix = QStringLiteral("[%1 %2] ")
                                  .arg(QFileInfo(process->program()).fileName())
                                  .arg(process->processId())
                                  .toUtf8();
    QByteArray text;
    for (const QByteArray &line : bytes.split('\n')) {
        if (!line.isEmpty())
            text += prefix + line + '\n';
    }
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    std::fflush(stderr);
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
    for (QProcess *process : findChildren<QProcess *>(Qt::FindDirectChildrenOnly)) {
        process->disconnect();
        delete process;
    }
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

void KAVAtmOrchestrator::LoadProcedures(const QList<QString> &filePaths)
{
    for (const QString &path : filePaths) {
        KAVAtmTestProcedureDef *procedure = KAVAtmTestProcedureDef::FromJsonFile(path);
        if (procedure->GetInvalidReason().isEmpty() && !procedure->GetLabel().isEmpty()
            && procedure->GetActionsCount() > 0) {
            d->procedures.append(procedure);
            continue;
        }
        qCDebug(LOG_CAT_KAV_DEFAULT).noquote()
            << (procedure->GetInvalidReason().isEmpty()
                    ? QStringLiteral("[KAVAtmOrchestrator::LoadProcedures] The label is "
                                     "empty or no actions in procedure.")
                    : procedure->GetInvalidReason());
        delete procedure;
    }
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
        qCDebug(LOG_CAT_KAV_DEFAULT) << "[KAVAtmOrchestrator::StartPlatform] No clients defined "
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
    const QString executable = client.GetExecutable();
    if (executable.isEmpty()) {
        qCDebug(LOG_CAT_KAV_DEFAULT).noquote()
            << "[KAVAtmOrchestrator::StartPlatform] No executable for the client "
                + client.GetDisplayName() + QLatin1Char('.');
        return false;
    }
    qCDebug(LOG_CAT_KAV_DEFAULT).noquote()
        << "[KAVAtmOrchestrator::StartPlatform] The executable: " + executable;
    qCDebug(LOG_CAT_KAV_DEFAULT).noquote()
        << "[KAVAtmOrchestrator::StartPlatform] The arguments: " << client.GetArguments();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KAVAtmEnableScript"), QStringLiteral("1"));
    environment.insert(QStringLiteral("KAVAtmOrchestratorPort"),
                       QString::number(GetListeningPort()));
    environment.insert(QStringLiteral("KAVAtmPlatformMode"), QString::number(int(mode)));
    const QHash<QString, QString> extra = client.GetEnvironmentVariables();
    for (auto it = extra.cbegin(); it != extra.cend(); ++it) {
        if (environment.contains(it.key()))
            continue;
        environment.insert(it.key(), it.value());
        qCDebug(LOG_CAT_KAV_DEFAULT).noquote()
            << "[KAVAtmOrchestrator::StartPlatform] Additional envs: " + it.key() + ": "
                + it.value();
    }
    environment.remove(QStringLiteral("QTWEBENGINEPROCESS_PATH"));

    auto *process = new QProcess(this);
    process->setProcessEnvironment(environment);
    process->setProgram(executable);
    process->setArguments(client.GetArguments());
    if (!client.GetWorkingDir().isEmpty())
        process->setWorkingDirectory(client.GetWorkingDir());
    process->setProcessChannelMode(QProcess::SeparateChannels);
    // Read as it comes: a client whose output pipe fills up would block.
    connect(process, &QProcess::readyReadStandardOutput, d.get(),
            [this, process] { d->ForwardOutput(process, false); });
    connect(process, &QProcess::readyReadStandardError, d.get(),
            [this, process] { d->ForwardOutput(process, true); });
    connect(process, &QProcess::started, process,
            [this, process, procedures, mode] { d->OnProcessStarted(process, procedures, mode); });
    connect(process, &QProcess::finished, process,
            [this, process](int exitCode, QProcess::ExitStatus exitStatus) {
                d->OnProcessFinished(process, exitCode, exitStatus);
            });
    connect(process, &QProcess::errorOccurred, process,
            [this, process](QProcess::ProcessError error) {
                if (error != QProcess::FailedToStart)
                    return;
                Q_EMIT TestClientStartFailed(process->program(), process->errorString());
                process->deleteLater();
            });
    process->start(QIODevice::ReadWrite);
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
    if (LOG_CAT_KAV_DEFAULT().isDebugEnabled())
        qCDebug(LOG_CAT_KAV_DEFAULT).noquote() << QLatin1String(operation) + QString::number(pid);
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
    return d->outputPath;
}

void KAVAtmOrchestrator::SetOutputPath(const QString &path)
{
    d->outputPath = path;
}

void KAVAtmOrchestrator::SetClientOutputForwarded(bool forwarded)
{
    d->forwardClientOutput = forwarded;
}
