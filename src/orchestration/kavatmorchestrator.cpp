#include "kavatmorchestrator.h"
#include "kavatmconfiguration.h"
#include "kavatmlogging_p.h"
#include "kavatmorchestrator_p.h"
#include "kavatmorchestratorclient.h"
#include "kavatmorchestratorclient_p.h"
#include "kavatmorchestratorclientconnection.h"
#include "kavatmrecordingactiondef.h"
#include "kavatmtestactiondef.h"
#include "kavatmtestactionresult.h"
#include "kavatmtestproceduredef.h"
#include "kavatmtestprocedureresult.h"
#include "kavsysinitcontext.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QProcess>
#include <QtCore/QTimer>
#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>

#include <memory>

namespace {
KAVAtmOrchestrator *s_instance = nullptr;
} // namespace

// ---- Private

void KAVAtmProcedureStore::Add(std::unique_ptr<KAVAtmTestProcedureDef> definition)
{
    m_definitions.push_back(std::move(definition));
}

QList<KAVAtmTestProcedureDef *> KAVAtmProcedureStore::GetDefinitions() const
{
    QList<KAVAtmTestProcedureDef *> definitions;
    definitions.reserve(qsizetype(m_definitions.size()));
    for (const auto &definition : m_definitions)
        definitions.append(definition.get());
    return definitions;
}

QList<KAVAtmTestProcedureResult *>
KAVAtmProcedureStore::CreateResults(const QList<KAVAtmTestProcedureDef *> &procedures)
{
    QList<KAVAtmTestProcedureResult *> results;
    for (const KAVAtmTestProcedureDef *procedure : procedures) {
        m_results.emplace_back(procedure->CreateResult());
        m_results.back()->SetAttempt(++m_runs[procedure]);
        results.append(m_results.back().get());
    }
    return results;
}

KAVAtmOrchestratorPrivate::KAVAtmOrchestratorPrivate(KAVAtmOrchestrator *owner)
    : owner(owner), launcher(new KAVAtmClientLauncher(this)),
      registry(new KAVAtmClientRegistry(owner, this))
{
    KAVSysInitContext init {QList<QString>()};
    connect(launcher, &KAVAtmClientLauncher::Finished, this,
            &KAVAtmOrchestratorPrivate::OnProcessFinished);
    connect(launcher, &KAVAtmClientLauncher::Started, this,
            &KAVAtmOrchestratorPrivate::OnProcessStarted);
    connect(launcher, &KAVAtmClientLauncher::StartFailed, this,
            [this](QProcess *process, const QString &program, const QString &error) {
                registry->LaunchFailed(process);
                Q_EMIT this->owner->TestClientStartFailed(program, error);
            });
    connect(registry, &KAVAtmClientRegistry::SessionOpened, this,
            &KAVAtmOrchestratorPrivate::OnSessionOpened);
    connect(registry, &KAVAtmClientRegistry::SessionRegistered, this,
            &KAVAtmOrchestratorPrivate::OnSessionRegistered);
    connect(registry, &KAVAtmClientRegistry::ConnectionLost, owner,
            &KAVAtmOrchestrator::TestClientConnectionLost);
}

KAVAtmOrchestratorPrivate::~KAVAtmOrchestratorPrivate()
{
    // Sessions before the results they fill.
    delete std::exchange(registry, nullptr);
}

void KAVAtmOrchestratorPrivate::OnSessionOpened(KAVAtmOrchestratorClient *client)
{
    connect(client, &KAVAtmOrchestratorClient::TestActionExecutionFinished, this,
            [this, client](KAVAtmTestActionResult *action) {
                OnActionFinished(client->GetPid(), action);
            });
    connect(client, &KAVAtmOrchestratorClient::ClientExecutionCompleted, client,
            &KAVAtmOrchestratorClient::SendClosePlatform);
    connect(client, &KAVAtmOrchestratorClient::RecordingDataReceived, owner,
            [this, client](const QJsonValue &data) {
                // Only what a client the runner launched records, while it records.
                const ClientLaunchInfo *launch = registry->FindLaunch(client);
                if (!launch || launch->mode != KAVAtmEnums::Recording) {
                    qCWarning(lcOrchestration,
                              "Recording data from a client that is not recording: dropped.");
                    return;
                }
                Q_EMIT owner->RecordingDataReceived(data);
            });
    connect(client, &KAVAtmOrchestratorClient::RecordingStatusReceived, owner,
            [this, client](int status) {
                const ClientLaunchInfo *launch = registry->FindLaunch(client);
                if (launch && launch->mode == KAVAtmEnums::Recording && status >= 0)
                    Q_EMIT owner->RecordingStatusChanged(client->GetPid(), status);
            });
    connect(client, &KAVAtmOrchestratorClient::TestProcedureExecutionStarted, owner,
            [this, client](KAVAtmTestProcedureResult *procedure) {
                OnProcedureStarted(client->GetPid(), procedure);
            });
    connect(client, &KAVAtmOrchestratorClient::TestProcedureExecutionFinished, owner,
            [this, client](KAVAtmTestProcedureResult *procedure) {
                OnProcedureFinished(client->GetPid(), procedure);
            });
    connect(client, &KAVAtmOrchestratorClient::TestActionStatusUpdated, this,
            [this](const KAVAtmTestActionResult *action) { trace.ActionUpdated(action); });
    connect(client, &KAVAtmOrchestratorClient::TestActionExecutionStarted, owner,
            [this, client](const KAVAtmTestActionResult *action) {
                OnActionStarted(client->GetPid(), action);
            });
}

void KAVAtmOrchestratorPrivate::OnSessionRegistered(KAVAtmOrchestratorClient *client,
                                                    QProcess *process)
{
    const ClientLaunchInfo launch = *registry->FindLaunch(process);
    client->SetPlatformMode(launch.mode);
    const qint64 pid = launch.pid;
    // Handed over before the announcement: a handler that aborts the client or gives it more
    // procedures then finds these in its queue.
    const bool idle = !client->IsExecuting();
    if (idle)
        client->AddProcedures(launch.procedures);
    Q_EMIT owner->TestClientConnected(pid);
    const ClientLaunchInfo *now = registry->FindLaunch(process);
    const bool aborted = !now || now->aborted;
    if (idle && !aborted && !client->IsExecuting()) {
        Q_EMIT client->ClientExecutionStarted();
        client->ExecuteNextProcedure();
    }
}

void KAVAtmOrchestratorPrivate::Kill(QProcess *process)
{
    if (registry->IsLaunched(process))
        launcher->Kill(process);
}

void KAVAtmOrchestratorPrivate::OnActionStarted(qint64 pid, const KAVAtmTestActionResult *action)
{
    if (QProcess *process = launcher->FindProcess(pid)) {
        launcher->ReadOutput(process);
        logStart.insert(action, launcher->GetLineCount(process));
    }
    trace.ActionStarted(action);
    Q_EMIT owner->ActionResultStarted(pid, action);
}

void KAVAtmOrchestratorPrivate::OnProcedureStarted(qint64 pid,
                                                   KAVAtmTestProcedureResult *procedure)
{
    trace.ProcedureStarted(procedure, writer.GetProcedureFolder(procedure), pid);
    Q_EMIT owner->ProcedureResultStarted(pid, procedure);
}

void KAVAtmOrchestratorPrivate::OnProcedureFinished(qint64 pid,
                                                    KAVAtmTestProcedureResult *procedure)
{
    bool passed = true;
    for (const KAVAtmTestActionResult *action : procedure->GetActionResults())
        passed = passed && action->GetStatus() == KAVAtmEnums::Completed
            && (action->GetResult() == KAVAtmEnums::Pass
                || action->GetResult() == KAVAtmEnums::Warning);
    const QString page = trace.ProcedureFinished(procedure, passed);
    if (!page.isEmpty()) {
        const QString root
            = writer.GetOutputPath().isEmpty() ? QDir::currentPath() : writer.GetOutputPath();
        procedure->SetTracePath(QDir(QFileInfo(root).absoluteFilePath())
                                    .relativeFilePath(QFileInfo(page).absoluteFilePath()));
    }
    Q_EMIT owner->ProcedureResultFinished(pid, procedure);
}

std::optional<QStringList> KAVAtmOrchestratorPrivate::HostLines(qint64 pid,
                                                               const KAVAtmTestActionResult *action)
{
    std::optional<QStringList> lines;
    const bool traced = trace.GetMode() != KAVAtmTraceWriter::Mode::Off;
    const auto start = logStart.constFind(action);
    if (start == logStart.constEnd())
        return lines;
    QProcess *process = launcher->FindProcess(pid);
    if (process && (traced || action->GetResult() == KAVAtmEnums::Fail)) {
        launcher->ReadOutput(process);
        lines = launcher->GetLinesSince(process, *start);
        lines = lines->mid(qMax<qsizetype>(0, lines->size() - LogLinesPerAction));
    }
    logStart.erase(start);
    return lines;
}

void KAVAtmOrchestratorPrivate::OnActionFinished(qint64 pid, KAVAtmTestActionResult *action)
{
    // Before the result file, which names them.
    const std::optional<QStringList> lines = HostLines(pid, action);
    const QByteArray png = writer.KeepEvidence(action, lines, screenshots);
    if (action->GetActionType().compare(QLatin1String("ScreenshotAssert"), Qt::CaseInsensitive)
        == 0) {
        const QString baseline = writer.CaptureImages(action);
        if (!baseline.isEmpty())
            Q_EMIT owner->BaselineWritten(baseline);
    } else {
        // Images only a visual comparison sends: any other action's are not kept.
        for (const QString &kind : KAVAtmTestActionResult::ImageKinds)
            action->SetImage(kind, QByteArray());
        action->SetDevicePixelRatio(0);
    }
    if (KAVAtmResultWriter::IsCapturedType(action->GetActionType())) {
        const QString baseline = writer.Capture(action);
        if (!baseline.isEmpty())
            Q_EMIT owner->BaselineWritten(baseline);
    }
    // With the verdict as the runner left it (a baseline missing in CI fails a pass).
    trace.ActionFinished(action, png, lines.value_or(QStringList()));
    action->SetWidgetTree(QJsonObject());
    Q_EMIT owner->ActionResultFinished(pid, action);
    if (action == pendingControl.get()) {
        pendingControl.reset();
        pendingControlDef.reset();
    }
}

void KAVAtmOrchestratorPrivate::OnProcessStarted(QProcess *process)
{
    registry->LaunchStarted(process, process->processId(),
                            [this](const QList<KAVAtmTestProcedureDef *> &procedures) {
                                return store.CreateResults(
                                    procedures.isEmpty() ? store.GetDefinitions() : procedures);
                            });
}

void KAVAtmOrchestratorPrivate::AbortLaunch(QProcess *process, const QString &reason)
{
    // A copy: the handlers of the signals sent meanwhile may change the launch table.
    ClientLaunchInfo launch;
    if (!registry->LaunchAborted(process, &launch))
        return;
    trace.SetEnding(launch.pid, reason);
    FailOutstanding(launch, reason, !launch.aborted);
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
    const qint64 pid = launch.pid;
    KAVAtmResultEvents events;
    events.procedureStarted = [this, pid](KAVAtmTestProcedureResult *procedure) {
        OnProcedureStarted(pid, procedure);
    };
    events.procedureFinished = [this, pid](KAVAtmTestProcedureResult *procedure) {
        OnProcedureFinished(pid, procedure);
    };
    events.actionStarted = [this, pid](KAVAtmTestActionResult *action) {
        OnActionStarted(pid, action);
    };
    events.actionFinished
        = [this, pid](KAVAtmTestActionResult *action) { OnActionFinished(pid, action); };
    QList<KAVAtmTestActionResult *> actions;
    KAVAtmTestProcedureResult *current = nullptr;
    QList<KAVAtmTestProcedureResult *> procedures = launch.procedures;
    KAVAtmFailOutstanding(actions, current, procedures, reason, events);
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
    const ClientLaunchInfo *it = registry->FindLaunch(process);
    // A crash, or a failing exit code, is a fault of the host even after its last verdict;
    // only an end the runner brought about itself is not.
    if (it && !it->aborted && (crashed || exitCode != 0)) {
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
    const ClientLaunchInfo *launch = registry->FindLaunch(process);
    KAVAtmOrchestratorClient *client = launch ? launch->client.data() : nullptr;
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
    ClientLaunchInfo launch;
    if (!registry->LaunchEnded(process, &launch))
        return;
    trace.SetEnding(launch.pid, reason);
    FailOutstanding(launch, reason, !launch.aborted);
    // A later host may be given the same process id.
    trace.ForgetEnding(launch.pid);
    QTimer::singleShot(1, process, &QObject::deleteLater);
    if (KAVAtmOrchestratorClient *client = launch.client) {
        const KAVAtmOrchestratorClientConnection *connection = client->GetConnection();
        if (!connection || !connection->GetSocket()
            || connection->GetSocket()->state() == QAbstractSocket::UnconnectedState)
            registry->Release(client);
    }
    Q_EMIT owner->TestClientDisconnected(launch.pid);
    if (!registry->HasLaunches())
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
    d->registry->ForgetLaunches();
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
    return d->registry->Listen(configuration);
}

quint16 KAVAtmOrchestrator::GetListeningPort() const
{
    return d->registry->GetPort();
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
            d->store.Add(std::move(procedure));
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
    return d->store.GetDefinitions();
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
        d->registry->LaunchRequested(process, {procedures, mode, secret});
    if (pid)
        *pid = process->processId();
    return true;
}

bool KAVAtmOrchestrator::Execute(qint64 pid, const QList<KAVAtmTestProcedureDef *> &procedures)
{
    KAVAtmOrchestratorClient *client = d->registry->FindClient(pid);
    if (!client || !client->IsAcceptingWork())
        return false;
    const QList<KAVAtmTestProcedureResult *> results = d->store.CreateResults(procedures);
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
    Execute(pid, d->store.GetDefinitions());
}

void KAVAtmOrchestrator::StopPlatform(qint64 pid)
{
    if (KAVAtmOrchestratorClient *client = d->registry->FindClient(pid))
        client->SendClosePlatform();
}

void KAVAtmOrchestrator::AbortClient(qint64 pid, const QString &reason)
{
    QProcess *process = d->registry->FindProcess(pid);
    if (!process) {
        if (KAVAtmOrchestratorClient *client = d->registry->FindClient(pid))
            client->Abort(reason);
        return;
    }
    d->AbortLaunch(process, reason);
    d->Kill(process);
}

void KAVAtmOrchestrator::AbortAll(const QString &reason)
{
    // Programs still starting have nothing to fail yet: they are stopped before they connect.
    for (QProcess *process : d->registry->GetStartingProcesses())
        d->Kill(process);
    const QList<QProcess *> processes = d->registry->GetLaunchedProcesses();
    for (QProcess *process : processes) {
        d->AbortLaunch(process, reason);
        d->Kill(process);
    }
}

void KAVAtmOrchestrator::StartRecordingControl(qint64 pid, const char *operation,
                                               const QString &command)
{
    qCDebug(lcOrchestration).noquote() << QLatin1String(operation) + QString::number(pid);
    KAVAtmOrchestratorClient *client = d->registry->FindClient(pid);
    if (!client || d->pendingControl)
        return;
    auto def = std::make_unique<KAVAtmRecordingActionDef>();
    def->SetCommand(command);
    d->pendingControl = std::make_unique<KAVAtmTestActionResult>(def.get(), nullptr);
    d->pendingControlDef = std::move(def);
    try {
        client->ExecuteSingleAction(d->pendingControl.get());
    } catch (...) {
        // Refused: not pending, or every later control would be ignored for good.
        d->pendingControl.reset();
        d->pendingControlDef.reset();
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
    for (const KAVAtmOrchestratorClient *client : d->registry->GetClients()) {
        const QPair<qint64, QString> description = client->GetDescription();
        descriptions.insert(description.first, description.second);
    }
    return descriptions;
}

QString KAVAtmOrchestrator::GetProcedureFolder(const KAVAtmTestProcedureResult *procedure) const
{
    return d->writer.GetProcedureFolder(procedure);
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

void KAVAtmOrchestrator::SetScreenshots(const QString &mode)
{
    d->screenshots = KAVAtmProtocol::ScreenshotModeFromText(mode);
    d->launcher->SetScreenshots(d->screenshots);
}

void KAVAtmOrchestrator::SetTrace(const QString &mode)
{
    d->trace.SetMode(KAVAtmTraceWriter::ModeFromText(mode));
    d->launcher->SetTraced(d->trace.GetMode() != KAVAtmTraceWriter::Mode::Off);
}

void KAVAtmOrchestrator::SetClientOutputForwarded(bool forwarded)
{
    d->launcher->SetOutputForwarded(forwarded);
}

bool KAVAtmOrchestrator::IsBuiltInKeyAccepted() const
{
    return d->registry->IsBuiltInKeyAccepted();
}

void KAVAtmOrchestrator::SetBuiltInKeyAccepted(bool accepted)
{
    d->registry->SetBuiltInKeyAccepted(accepted);
}

int KAVAtmOrchestrator::GetRegistrationTimeout() const
{
    return d->registry->GetRegistrationTimeout();
}

void KAVAtmOrchestrator::SetRegistrationTimeout(int milliseconds)
{
    d->registry->SetRegistrationTimeout(milliseconds);
}
