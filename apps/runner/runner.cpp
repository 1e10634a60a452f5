#include "runner.h"
#include "cioutputs.h"
#include "console.h"
#include "hostpool.h"
#include "htmlreport.h"
#include "junitreport.h"
#include "procedurecheck.h"
#include "recordingwriter.h"
#include "reportjson.h"

#include "kavatmorchestrator.h"
#include "kavatmreadfile.h"
#include "kavatmsavefile.h"
#include "kavatmtestactiondef.h"
#include "kavatmtestactionresult.h"
#include "kavatmtestproceduredef.h"
#include "kavatmtestprocedureresult.h"
#include "kavsysexception.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QTemporaryFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

using Console::err;
using Console::out;

QString procedureTitle(const KAVAtmTestProcedureResult *procedure)
{
    const KAVAtmTestProcedureDef *def = procedure ? procedure->GetProcedureDef() : nullptr;
    return Console::oneLine(def ? ReportJson::ProcedureTitle(def->GetName(), def->GetLabel())
                                : ReportJson::ProcedureTitle(QString(), QString()));
}

QString actionTitle(const KAVAtmTestActionResult *action)
{
    const KAVAtmTestActionDef *def = action->GetActionDef();
    return Console::oneLine(
        ReportJson::ActionTitle(def ? def->GetName() : QString(), action->GetActionType()));
}

} // namespace

namespace {

// One name per file, whichever way it is written: through links where the file exists.
QString fileKey(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

// Actions in a procedure file, or -1 when the file is not one.
int procedureActions(const QString &path)
{
    QByteArray content;
    if (KAVAtmReadFile::Read(path, KAVAtmTestProcedureDef::MaximumFileSize, &content)
        != KAVAtmReadFile::Outcome::Read)
        return -1;
    const QJsonObject root = QJsonDocument::fromJson(content).object();
    if (!root.value(QLatin1String("schema"))
             .toString()
             .startsWith(KAVAtmTestProcedureDef::SchemaId))
        return -1;
    return int(root.value(QLatin1String("actions")).toArray().size());
}

// A folder can be written when a file can be made in it, whoever asks.
bool writableFolder(const QString &folder)
{
    if (!QDir().mkpath(folder))
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".kav-probe-XXXXXX")));
    return probe.open();
}

} // namespace

Runner::Runner(const RunnerOptions &options) : m_options(options)
{
    m_reportTimer.setSingleShot(true);
    connect(&m_reportTimer, &QTimer::timeout, this, [this] {
        if (m_done)
            return;
        QElapsedTimer writing;
        writing.start();
        WriteReport(-1);
        m_reportInterval = int(std::clamp<qint64>(writing.elapsed() * 10, 200, 10000));
    });
    m_overallTimer.setSingleShot(true);
    connect(&m_overallTimer, &QTimer::timeout, this, [this] {
        const QString reason
            = tr("The run exceeded the overall time-out of %1 s.").arg(m_options.overallTimeout);
        m_timedOut = true;
        m_pool->Stop();
        // A recording run has no action of its own to fail.
        if (m_options.mode == KAVAtmEnums::Recording)
            m_clientErrors.append(reason);
        m_orchestrator->AbortAll(reason);
    });
}

Runner::~Runner() = default;

bool Runner::ReadConfiguration()
{
    // Read once and checked: a configuration that cannot be used is a set-up error.
    QByteArray content;
    QString reason;
    if (KAVAtmReadFile::Read(m_options.configFile, 16 * 1024 * 1024, &content, &reason)
        != KAVAtmReadFile::Outcome::Read) {
        err(tr("cannot read the configuration file: %1").arg(reason));
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(content, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        err(tr("the configuration file %1 is not a JSON object: %2")
                .arg(m_options.configFile, parseError.errorString()));
        return false;
    }
    m_configuration = KAVAtmOrchestratorConfiguration(QJsonValue(document.object()));
    const KAVAtmOrchestratorConfiguration &configuration = m_configuration;
    const QList<KAVAtmClientDefinition> clients = configuration.GetClients();
    if (clients.isEmpty()) {
        err(tr("no clients are defined in %1.").arg(m_options.configFile));
        return false;
    }
    QString clientName = clients.first().GetDisplayName();
    if (!m_options.clientName.isEmpty()) {
        QStringList names;
        bool found = false;
        for (const KAVAtmClientDefinition &client : clients) {
            names.append(client.GetDisplayName());
            found = found || client.GetDisplayName().toLower() == m_options.clientName.toLower();
        }
        if (!found) {
            err(tr("no client named \"%1\" in %2; defined: %3.")
                    .arg(m_options.clientName, m_options.configFile,
                         names.join(QStringLiteral(", "))));
            return false;
        }
        clientName = m_options.clientName;
    }
    m_options.clientName = clientName;
    return true;
}

bool Runner::Start()
{
    m_elapsed.start();
    m_startTime = QDateTime::currentDateTimeUtc();

    // A check reads procedures only: it runs where no host is configured (an editor, a lint
    // step).
    if (!m_options.check && !ReadConfiguration())
        return false;
    if (!m_options.list && !m_options.check && !CheckPaths())
        return false;

    if (!m_options.lastFailedFile.isEmpty()) {
        QSet<QString> failed;
        QString error;
        if (!ReadLastFailed(m_options.lastFailedFile, &failed, &error)) {
            err(tr("--last-failed: %1").arg(error));
            return false;
        }
        const qsizetype given = m_options.procedureFiles.size();
        QStringList kept;
        for (const QString &file : std::as_const(m_options.procedureFiles)) {
            if (failed.contains(file) || failed.contains(QFileInfo(file).fileName()))
                kept.append(file);
        }
        m_options.procedureFiles = kept;
        out(tr("--last-failed: %1 of %2 procedure file(s) failed or did not run in %3")
                .arg(QString::number(kept.size()), QString::number(given),
                     m_options.lastFailedFile));
        // Nothing failed last time: nothing to run, and nothing wrong.
        if (kept.isEmpty() && !m_options.list && !m_options.check) {
            if (!QDir().mkpath(m_options.outputDir)) {
                err(tr("cannot create the output folder %1.").arg(m_options.outputDir));
                return false;
            }
            m_options.outputDir = QFileInfo(m_options.outputDir).absoluteFilePath();
            return FinishWithoutRunning(true);
        }
    }

    if (m_options.shardCount > 1) {
        const int given = int(m_options.procedureFiles.size());
        if (!m_options.shardSource.isEmpty())
            out(tr("shard %1/%2 from %3")
                    .arg(QString::number(m_options.shardIndex),
                         QString::number(m_options.shardCount), m_options.shardSource));
        QHash<QString, double> durations;
        QString error;
        if (!m_options.durationsFile.isEmpty()
            && !ReadDurations(m_options.durationsFile, &durations, &error)) {
            err(tr("--durations: %1").arg(error));
            return false;
        }
        m_options.procedureFiles = m_options.durationsFile.isEmpty()
            ? SelectShard(m_options.procedureFiles, m_options.shardIndex, m_options.shardCount)
            : BalanceShard(m_options.procedureFiles, m_options.shardIndex, m_options.shardCount,
                           durations);
        out(tr("Shard %1/%2: %3 of %4 procedure file(s)%5")
                .arg(QString::number(m_options.shardIndex), QString::number(m_options.shardCount),
                     QString::number(m_options.procedureFiles.size()), QString::number(given),
                     m_options.durationsFile.isEmpty() ? QString()
                                                       : tr(", dealt by their durations")));
        // More shards than files: this one has nothing to do, and that is no failure. Its
        // reports say so, for the merge of the shards.
        if (m_options.procedureFiles.isEmpty() && !m_options.list && !m_options.check) {
            if (!QDir().mkpath(m_options.outputDir)) {
                err(tr("cannot create the output folder %1.").arg(m_options.outputDir));
                return false;
            }
            m_options.outputDir = QFileInfo(m_options.outputDir).absoluteFilePath();
            return FinishWithoutRunning(true);
        }
        if (m_options.procedureFiles.isEmpty())
            return FinishWithoutRunning();
    }

    m_orchestrator = KAVAtmOrchestrator::GetInstance();
    // Each file is read once: what is run is what was checked.
    for (const auto &[file, reason] : m_orchestrator->LoadProcedures(m_options.procedureFiles)) {
        m_invalid.append({file, reason});
        err(tr("skipping %1: %2").arg(file, reason));
    }
    for (KAVAtmTestProcedureDef *procedure : m_orchestrator->GetLoadedProcedures()) {
        if (m_options.grep.isEmpty()
            || procedure->GetName().contains(m_options.grep, Qt::CaseInsensitive)
            || procedure->GetLabel().contains(m_options.grep, Qt::CaseInsensitive))
            m_selected.append(procedure);
    }
    if (!m_options.grep.isEmpty() && m_selected.isEmpty()
        && !m_orchestrator->GetLoadedProcedures().isEmpty()) {
        err(tr("no procedure's name or label contains \"%1\".").arg(m_options.grep));
        return false;
    }
    if (m_options.list) {
        PrintList();
        return FinishWithoutRunning();
    }
    if (m_options.check) {
        const int code = CheckProcedures(true);
        QTimer::singleShot(0, this, [this, code] {
            m_done = true;
            Q_EMIT Finished(code);
        });
        return true;
    }
    // What --check would warn of, before the run begins; --strict refuses to run with any.
    if (CheckProcedures(false) != ExitPassed && m_options.strict) {
        err(tr("--strict: the procedures have warnings or errors (see above); nothing was run."));
        return false;
    }
    m_expectedProcedures = int(m_selected.size());
    const bool recording = m_options.mode == KAVAtmEnums::Recording;
    // A recording run may drive the host with procedures, or leave it all to the user.
    if (m_expectedProcedures == 0 && (!recording || !m_options.procedureFiles.isEmpty())) {
        err(tr("no valid procedure to run."));
        return false;
    }

    if (!QDir().mkpath(m_options.outputDir)) {
        err(tr("cannot create the output folder %1.").arg(m_options.outputDir));
        return false;
    }
    m_options.outputDir = QFileInfo(m_options.outputDir).absoluteFilePath();
    if (recording) {
        const QString recordPath
            = QFileInfo(m_options.recordFile.isEmpty()
                            ? QDir(m_options.outputDir).filePath(QStringLiteral("recording.json"))
                            : m_options.recordFile)
                  .absoluteFilePath();
        // Checked before the host starts, without touching a recording already there.
        const QFileInfo target(recordPath);
        if (target.isDir() || (target.exists() && !target.isFile())) {
            err(tr("the recording file %1 is not a regular file.").arg(recordPath));
            return false;
        }
        if (!QDir().mkpath(target.absolutePath())
            || !QFileInfo(target.absolutePath()).isWritable()) {
            err(tr("cannot write the recording into the folder %1.").arg(target.absolutePath()));
            return false;
        }
        m_recording = std::make_unique<RecordingWriter>(recordPath);
        if (!m_recording->Open())
            return false;
    }

    m_orchestrator->SetOutputPath(m_options.outputDir);
    m_orchestrator->SetClientOutputForwarded(m_options.forwardClientOutput);
    m_orchestrator->SetScreenshots(m_options.screenshots);
    m_orchestrator->SetTrace(m_options.trace);
    m_orchestrator->SetBuiltInKeyAccepted(m_options.acceptBuiltInKey);
    m_orchestrator->SetBaselineUpdate(m_options.baselineUpdate);
    if (!m_orchestrator->Initialize()) {
        err(tr("cannot listen for clients (see KAVAtmOrchestratorAddress and "
               "KAVAtmOrchestratorPort)."));
        return false;
    }

    connect(m_orchestrator, &KAVAtmOrchestrator::ActionResultStarted, this,
            &Runner::OnActionStarted);
    connect(m_orchestrator, &KAVAtmOrchestrator::ActionResultFinished, this,
            &Runner::OnActionFinished);
    connect(m_orchestrator, &KAVAtmOrchestrator::ProcedureResultStarted, this,
            &Runner::OnProcedureStarted);
    connect(m_orchestrator, &KAVAtmOrchestrator::ProcedureResultFinished, this,
            &Runner::OnProcedureFinished);
    connect(m_orchestrator, &KAVAtmOrchestrator::ExecutionCompleted, this,
            &Runner::OnExecutionCompleted);
    connect(m_orchestrator, &KAVAtmOrchestrator::RecordingDataReceived, this,
            &Runner::OnRecordingData);
    connect(m_orchestrator, &KAVAtmOrchestrator::RecordingStatusChanged, this,
            &Runner::OnRecordingStatus);
    connect(m_orchestrator, &KAVAtmOrchestrator::BaselineWritten, this,
            [this](const QString &path) {
                if (!m_baselinesWritten.contains(path))
                    m_baselinesWritten.append(path);
            });
    HostPool::Orchestrator hosts;
    hosts.start = [this](const QList<KAVAtmTestProcedureDef *> &procedures, qint64 *pid) {
        return m_orchestrator->StartPlatform(m_options.clientName, procedures, m_options.mode,
                                             m_configuration, pid);
    };
    hosts.execute = [this](qint64 pid, KAVAtmTestProcedureDef *procedure) {
        return m_orchestrator->Execute(pid, {procedure});
    };
    hosts.abort
        = [this](qint64 pid, const QString &reason) { m_orchestrator->AbortClient(pid, reason); };
    m_pool = new HostPool(hosts, m_options.jobs, m_options.connectTimeout, m_options.grace, this);
    m_pool->SetIsolated(m_options.isolateProcedures);
    connect(m_orchestrator, &KAVAtmOrchestrator::TestClientConnected, this, [this](qlonglong pid) {
        m_pool->Connected(pid);
        out(m_pool->Tag(pid)
            + tr("Client connected: %1, process %2")
                  .arg(m_options.clientName, QString::number(pid)));
        // Started before the procedures, which the client runs once this has completed.
        if (m_options.mode == KAVAtmEnums::Recording) {
            m_recordingPid = pid;
            try {
                m_orchestrator->StartRecording(pid);
            } catch (const KAVSysException &exception) {
                m_clientErrors.append(
                    tr("Recording could not be started: %1").arg(exception.GetMessage()));
                m_orchestrator->StopPlatform(pid);
            }
        }
    });
    connect(m_orchestrator, &KAVAtmOrchestrator::TestClientConnectionLost, this,
            [this](qlonglong pid) {
                // A client that is exiting closes its connection first: its exit, reported
                // within the second, gives the better reason.
                QTimer::singleShot(1000, this, [this, pid] {
                    m_orchestrator->AbortClient(pid, tr("The connection to the client was lost."));
                });
            });
    connect(m_orchestrator, &KAVAtmOrchestrator::TestClientDisconnected, this,
            &Runner::OnClientGone);
    connect(m_orchestrator, &KAVAtmOrchestrator::TestClientExitedUnexpectedly, this,
            [this](qlonglong pid, const QString &reason) {
                const QString line = tr("Client process %1: %2").arg(QString::number(pid), reason);
                m_clientErrors.append(line);
                m_clientErrorHosts.insert(m_clientErrors.size() - 1, pid);
                err(line);
            });
    connect(m_orchestrator, &KAVAtmOrchestrator::TestClientStartFailed, this,
            [this](const QString &program, const QString &error) {
                Fail(tr("cannot start the client program \"%1\": %2").arg(program, error));
            });

    out(tr("Listening on port %1").arg(m_orchestrator->GetListeningPort()));
    const QString starting
        = tr("Starting client \"%1\" in mode %2 with %3 procedure(s)")
              .arg(m_options.clientName, KAVAtmEnums::GetPlatformModeEnumText(m_options.mode),
                   QString::number(m_expectedProcedures));
    out(m_options.jobs > 1 ? starting + tr(" on up to %1 hosts").arg(m_options.jobs) : starting);
    // Repeated side by side: each run on a fresh client, one procedure's runs after another's.
    QList<KAVAtmTestProcedureDef *> pending;
    for (KAVAtmTestProcedureDef *procedure : std::as_const(m_selected)) {
        for (int i = 0; i < m_options.repeatEach; ++i)
            pending.append(procedure);
    }
    m_pool->SetPending(pending);
    // A recording needs its client even with nothing to run.
    const bool launched = m_selected.isEmpty() ? m_pool->Launch({}) : m_pool->Dispatch();
    if (!launched) {
        err(tr("the client could not be launched."));
        return false;
    }
    if (m_options.overallTimeout > 0)
        m_overallTimer.start(TimerInterval(m_options.overallTimeout));
    return true;
}

void Runner::OnActionStarted(qlonglong pid, const KAVAtmTestActionResult *action)
{
    const KAVAtmTestActionDef *def = action->GetActionDef();
    m_pool->ActionStarted(pid, def ? def->GetTimeout() : 0);
}

void Runner::OnActionFinished(qlonglong pid, const KAVAtmTestActionResult *action)
{
    m_pool->ActionFinished(pid);
    // The recording control is no procedure's action: its failure is the run's.
    if (!action->GetParentProcedureResult() && action->GetResult() != KAVAtmEnums::Pass) {
        m_clientErrors.append(tr("Recording could not be started: %1").arg(action->GetDetails()));
        m_orchestrator->StopPlatform(pid);
    }
    const double seconds = action->GetStartTime().isValid() && action->GetEndTime().isValid()
        ? action->GetStartTime().msecsTo(action->GetEndTime()) / 1000.0
        : 0.0;
    QString tag;
    switch (action->GetResult()) {
    case KAVAtmEnums::Pass:
        tag = QStringLiteral("PASS");
        break;
    case KAVAtmEnums::Warning:
        tag = QStringLiteral("WARN");
        break;
    case KAVAtmEnums::Fail:
        tag = QStringLiteral("FAIL");
        break;
    default:
        tag = QStringLiteral("SKIP");
        break;
    }
    QString line
        = QStringLiteral("%1%2  %3 / %4  %5 s")
              .arg(m_pool->Tag(pid), tag, procedureTitle(action->GetParentProcedureResult()),
                   actionTitle(action), QString::number(seconds, 'f', 3));
    if (action->GetResult() != KAVAtmEnums::Pass && !action->GetDetails().isEmpty())
        line += QStringLiteral("\n      ")
            + action->GetDetails().replace(QLatin1Char('\n'), QStringLiteral("\n      "));
    if (action->GetResult() != KAVAtmEnums::Pass) {
        const QJsonObject location = action->GetLocation();
        if (!location.isEmpty())
            line += QStringLiteral("\n      at %1:%2")
                        .arg(location.value(QLatin1String("file")).toString(),
                             QString::number(location.value(QLatin1String("line")).toInt()));
        for (const QJsonValue &attachment : action->GetAttachments())
            line += QStringLiteral("\n      %1: %2")
                        .arg(attachment[QLatin1String("kind")].toString(),
                             QDir(m_options.outputDir)
                                 .filePath(attachment[QLatin1String("path")].toString()));
    }
    out(line);
    if (action->GetResult() == KAVAtmEnums::Fail && OnGitHub())
        AnnotateFailure(action);
}

void Runner::OnProcedureStarted(qlonglong pid, const KAVAtmTestProcedureResult *procedure)
{
    if (!m_procedures.contains(procedure))
        m_procedures.append(procedure);
    m_hosts.insert(procedure, pid);
}

void Runner::OnProcedureFinished(qlonglong pid, const KAVAtmTestProcedureResult *procedure)
{
    ++m_finishedProcedures;
    if (procedure && !procedure->GetTracePath().isEmpty())
        out(m_pool->Tag(pid)
            + tr("Trace of %1: %2")
                  .arg(procedureTitle(procedure),
                       QDir(m_options.outputDir).filePath(procedure->GetTracePath())));
    // The report so far, in case the runner dies: written after a pause that grows with what
    // writing it costs, so that a run of thousands of procedures does not rewrite it for each.
    if (!m_reportTimer.isActive())
        m_reportTimer.start(m_reportInterval);
    // The client that is free takes the next procedure, queued before it would close.
    if (m_pool->ProcedureFinished(pid))
        return;
    if (m_options.mode == KAVAtmEnums::Recording) {
        StopRecordingClientWhenDone();
        return;
    }
    // Only batch modes close the client themselves once its procedures are done.
    const bool closesItself
        = m_options.mode == KAVAtmEnums::Batch || m_options.mode == KAVAtmEnums::UiBatch;
    if (!closesItself)
        m_orchestrator->StopPlatform(pid);
}

void Runner::OnClientGone(qlonglong pid)
{
    out(m_pool->Tag(pid) + tr("Client exited: process %1").arg(pid));
    // A procedure handed to a client begins at once, and one a client could not take stayed
    // pending: what is pending goes to a fresh client.
    if (!m_pool->Gone(pid)) {
        err(tr("a client could not be launched: %1 procedure(s) are not run.")
                .arg(m_pool->GetPending().size()));
    }
}

void Runner::OnRecordingStatus(qlonglong pid, int status)
{
    m_recordingPid = pid;
    switch (status) {
    case 1:
        out(tr("Recording started on process %1").arg(pid));
        break;
    case 2:
        out(tr("Recording paused on process %1").arg(pid));
        break;
    default:
        out(tr("Recording stopped on process %1").arg(pid));
        m_recordingStopped = true;
        StopRecordingClientWhenDone();
        break;
    }
}

void Runner::StopRecordingClientWhenDone()
{
    if (m_recordingStopped && m_finishedProcedures >= m_expectedProcedures && m_recordingPid)
        m_orchestrator->StopPlatform(m_recordingPid);
}

void Runner::OnRecordingData(const QJsonValue &data)
{
    if (!m_recording || !m_recording->Add(data.toObject()))
        ++m_droppedRecordings;
}

bool Runner::FinishWithoutRunning(bool reported)
{
    // Once the event loop runs: Finished before it would end nothing.
    QTimer::singleShot(0, this, [this, reported] {
        m_done = true;
        Q_EMIT Finished(reported ? WriteReports(ExitPassed) : ExitPassed);
    });
    return true;
}

void Runner::Fail(const QString &message)
{
    if (m_done)
        return;
    m_done = true;
    if (m_pool)
        m_pool->Stop();
    err(message);
    Q_EMIT Finished(ExitSetupError);
}

namespace {

// Read as the reports read it, from the verdicts alone (not the data, which may be large).
bool passed(const KAVAtmTestProcedureResult *procedure)
{
    if (!procedure)
        return false;
    QJsonArray verdicts;
    for (const KAVAtmTestActionResult *action : procedure->GetActionResults()) {
        verdicts.append(QJsonObject {{QStringLiteral("status"), int(action->GetStatus())},
                                     {QStringLiteral("result"), int(action->GetResult())}});
    }
    return ReportJson::ProcedurePassed({{QStringLiteral("actionResults"), verdicts}});
}

} // namespace

QList<const KAVAtmTestProcedureResult *> Runner::LatestResults() const
{
    QList<const KAVAtmTestProcedureResult *> latest;
    for (const KAVAtmTestProcedureDef *def : m_selected) {
        const KAVAtmTestProcedureResult *found = nullptr;
        for (const KAVAtmTestProcedureResult *result : m_procedures) {
            if (result->GetProcedureDef() != def)
                continue;
            // Of repeats, the first that failed speaks for them all.
            if (m_options.repeatEach > 1 && found && !passed(found))
                break;
            found = result;
        }
        latest.append(found);
    }
    return latest;
}

int Runner::Attempts(const KAVAtmTestProcedureDef *procedure) const
{
    return int(std::count_if(m_procedures.cbegin(), m_procedures.cend(),
                             [procedure](const KAVAtmTestProcedureResult *result) {
                                 return result->GetProcedureDef() == procedure;
                             }));
}

bool Runner::IsRetriedHostFailure(
    qlonglong pid, const QList<std::pair<qlonglong, const KAVAtmTestProcedureDef *>> &ran,
    const QList<KAVAtmTestProcedureDef *> &retried)
{
    const KAVAtmTestProcedureDef *last = nullptr;
    for (const auto &[host, procedure] : ran) {
        if (pid != 0 && host == pid)
            last = procedure;
    }
    return last && retried.contains(last);
}

bool Runner::Retry()
{
    QList<KAVAtmTestProcedureDef *> failing;
    const QList<const KAVAtmTestProcedureResult *> latest = LatestResults();
    for (int i = 0; i < m_selected.size(); ++i) {
        if (!passed(latest.at(i)))
            failing.append(m_selected.at(i));
    }
    if (failing.isEmpty())
        return false;
    ++m_attempt;
    out(tr("Retry %1 of %2: %3 failing procedure(s) on a fresh client")
            .arg(QString::number(m_attempt - 1), QString::number(m_options.retries),
                 QString::number(failing.size())));
    QList<std::pair<qlonglong, const KAVAtmTestProcedureDef *>> ran;
    for (const KAVAtmTestProcedureResult *result : std::as_const(m_procedures))
        ran.append({m_hosts.value(result), result->GetProcedureDef()});
    QStringList kept;
    for (int i = 0; i < m_clientErrors.size(); ++i) {
        if (IsRetriedHostFailure(m_clientErrorHosts.value(i), ran, failing))
            m_retriedClientErrors.append(m_clientErrors.at(i));
        else
            kept.append(m_clientErrors.at(i));
    }
    m_clientErrors = kept;
    m_clientErrorHosts.clear();
    m_pool->ClearLaunchFailed();
    m_pool->SetPending(failing);
    if (!m_pool->Dispatch() || m_pool->IsEmpty()) {
        err(tr("the client could not be launched for the retry."));
        return false;
    }
    return true;
}

int Runner::Summarize() const
{
    // Read from the report, as the JUnit and HTML reports and the merge read it.
    const QJsonObject report = BuildReport(ExitPassed);
    const ReportJson::Counts counts = ReportJson::CountActions(report);
    const QJsonArray procedures = report.value(QLatin1String("procedures")).toArray();
    QStringList warningLines;
    QStringList flaky;
    for (const QJsonValue &value : procedures) {
        const QJsonObject procedure = value.toObject();
        const QString title = Console::oneLine(ReportJson::ProcedureName(procedure));
        if (procedure.value(QLatin1String("flaky")).toBool())
            flaky.append(
                tr("  %1 (passed on attempt %2)")
                    .arg(title, QString::number(procedure[QLatin1String("attempts")].toInt())));
        for (const QJsonValue &action : procedure.value(QLatin1String("actionResults")).toArray()) {
            if (ReportJson::ActionVerdict(action.toObject()) != ReportJson::Verdict::Warning)
                continue;
            warningLines.append(
                QStringLiteral("  %1 / %2: %3")
                    .arg(title, Console::oneLine(ReportJson::ActionTitle(action.toObject())),
                         action[QLatin1String("details")].toString().simplified()));
        }
    }
    const qsizetype missing = report.value(QLatin1String("notStarted")).toArray().size();
    out(tr("Summary: %1 action(s): %2 passed, %3 with warnings, %4 failed, %5 not run; "
           "%6 procedure(s) in %7 s")
            .arg(QString::number(counts.Total()), QString::number(counts.passed),
                 QString::number(counts.warnings), QString::number(counts.failed),
                 QString::number(counts.notRun), QString::number(procedures.size()),
                 QString::number(m_elapsed.elapsed() / 1000.0, 'f', 1)));
    if (m_options.repeatEach > 1) {
        QStringList repeated;
        for (const QJsonValue &value : procedures)
            repeated.append(tr("  %1: %2 of %3 passed")
                                .arg(Console::oneLine(ReportJson::ProcedureName(value.toObject())),
                                     QString::number(value[QLatin1String("repeatsPassed")].toInt()),
                                     QString::number(m_options.repeatEach)));
        out(tr("Repeated %1 times:\n").arg(m_options.repeatEach)
            + repeated.join(QLatin1Char('\n')));
    }
    if (!flaky.isEmpty())
        out((m_options.failOnFlaky ? tr("Flaky (--fail-on-flaky: the run fails):\n")
                                   : tr("Flaky:\n"))
            + flaky.join(QLatin1Char('\n')));
    if (m_options.baselineUpdateFromCi)
        out(tr("Baselines: none written, and a missing one fails (CI is set; "
               "--update-baselines missing captures them)."));
    if (!m_baselinesWritten.isEmpty())
        out(tr("Baselines written:\n  ") + m_baselinesWritten.join(QStringLiteral("\n  ")));
    for (const QString &line : m_retriedClientErrors)
        out(tr("Client failure before a retry: %1").arg(line));
    if (!warningLines.isEmpty())
        out(tr("Warnings:\n") + warningLines.join(QLatin1Char('\n')));
    for (const InvalidProcedure &invalid : m_invalid)
        out(tr("Not run (invalid procedure file): %1: %2").arg(invalid.file, invalid.reason));
    if (missing > 0)
        out(tr("Not run: %1 procedure(s) were never started.").arg(missing));
    for (const QString &line : m_clientErrors)
        out(tr("Client failure: %1").arg(line));
    // A recording run need not run anything.
    const bool clean = ReportJson::ContentExitCode(report) == 0
        && (counts.Total() > 0 || m_options.mode == KAVAtmEnums::Recording);
    return clean ? ExitPassed : ExitFailed;
}

void Runner::OnExecutionCompleted()
{
    if (m_done)
        return;
    // A fresh client is on its way for procedures a lost one had not begun.
    if (!m_pool->IsEmpty() && !m_interrupted && !m_timedOut)
        return;
    m_pool->Clear();
    // A run cut short (time-out, signal) is not tried again.
    if (m_attempt <= m_options.retries && !m_interrupted && !m_timedOut
        && m_options.mode != KAVAtmEnums::Recording && Retry())
        return;
    m_done = true;
    m_pool->Stop();
    m_overallTimer.stop();
    int code = Summarize();
    if (m_recording && m_recording->GetActions().isEmpty() && m_previousRecording > 0) {
        // A run that recorded nothing (interrupted at once, say) leaves the last recording be.
        m_recording->RemoveJournal();
        out(tr("Recording: nothing was recorded; %1 keeps its %2 action(s).")
                .arg(m_recording->GetPath(), QString::number(m_previousRecording)));
    } else if (m_recording) {
        // Written once more at the end, so that a run that recorded nothing leaves its file too.
        if (m_recording->Write(m_recording->GetActions())) {
            m_recording->RemoveJournal();
            out(tr("Recording: %1 action(s) written to %2")
                    .arg(QString::number(m_recording->GetActions().size()),
                         m_recording->GetPath()));
        } else {
            code = ExitSetupError;
        }
        // What was dropped is missing from the replay: the recording is not whole.
        if (m_droppedRecordings > 0) {
            out(tr("Recording: %1 recorded item(s) dropped (see above).").arg(m_droppedRecordings));
            if (code == ExitPassed)
                code = ExitFailed;
        }
    }
    Q_EMIT Finished(WriteReports(code));
}

bool Runner::OnGitHub()
{
    return qEnvironmentVariable("GITHUB_ACTIONS") == QLatin1String("true");
}

void Runner::WriteStepSummary(int code) const
{
    const QString path = qEnvironmentVariable("GITHUB_STEP_SUMMARY");
    if (!OnGitHub() || path.isEmpty())
        return;
    QStringList files {QDir(m_options.outputDir).filePath(QStringLiteral("report.json"))};
    for (const QString &file : {m_options.junitFile, m_options.htmlFile}) {
        if (!file.isEmpty())
            files.append(file);
    }
    // Appended: the job's other steps write there too.
    QFile summary(path);
    const QByteArray text = CiOutputs::GitHubSummary(BuildReport(code), files).toUtf8();
    if (!summary.open(QIODevice::Append | QIODevice::WriteOnly) || summary.write(text) != text.size())
        err(tr("the job summary %1 could not be written: %2").arg(path, summary.errorString()));
}

void Runner::AnnotateFailure(const KAVAtmTestActionResult *action)
{
    const KAVAtmTestProcedureResult *procedure = action->GetParentProcedureResult();
    const KAVAtmTestProcedureDef *procedureDef = procedure ? procedure->GetProcedureDef() : nullptr;
    QString file = procedureDef ? procedureDef->GetFilePath() : QString();
    int line = 0;
    const QJsonObject location = action->GetLocation();
    if (!location.isEmpty()) {
        file = location.value(QLatin1String("file")).toString();
        line = location.value(QLatin1String("line")).toInt();
    } else if (procedureDef && action->GetActionDef()) {
        auto lines = m_actionLines.constFind(file);
        if (lines == m_actionLines.constEnd()) {
            QByteArray text;
            KAVAtmReadFile::Read(file, qint64(16) << 20, &text);
            lines = m_actionLines.insert(file, ActionLines(text));
        }
        const int index = procedureDef->GetActionIndex(
            *const_cast<KAVAtmTestActionDef *>(action->GetActionDef()));
        line = lines->value(index, 0);
    }
    out(CiOutputs::GitHubError(file, line,
                               procedureTitle(procedure) + QStringLiteral(" / ")
                                   + actionTitle(action),
                               action->GetDetails()));
}

int Runner::WriteReports(int code)
{
    if (m_interrupted)
        code = 128 + m_interrupted;
    // The report is the record of the verdict: a run whose report is lost cannot pass.
    const auto setupError = [this, &code] {
        if (!m_interrupted)
            code = ExitSetupError;
    };
    // Every file shows the exit code the run ends with: one that cannot be written changes
    // it, and what was written before with another code is written again.
    struct Written {
        QString file;
        QString kind;
        bool (*make)(QIODevice &, const QJsonObject &);
        int code = -1; // the code it holds; -1: not written
    };
    QList<Written> pages;
    if (!m_options.junitFile.isEmpty())
        pages.append({m_options.junitFile, tr("JUnit"), &JUnitReport});
    if (!m_options.htmlFile.isEmpty())
        pages.append({m_options.htmlFile, tr("HTML"), &HtmlReport});
    int reportCode = WriteReport(code) ? code : -1;
    if (reportCode < 0)
        setupError();
    for (Written &page : pages) {
        if (WriteExtraReport(page.file, page.kind, page.make, BuildReport(code)))
            page.code = code;
        else
            setupError();
    }
    for (Written &page : pages) {
        if (page.code >= 0 && page.code != code)
            WriteExtraReport(page.file, page.kind, page.make, BuildReport(code));
    }
    if (reportCode != code && WriteReport(code) && reportCode >= 0)
        reportCode = code;
    if (reportCode >= 0)
        out(tr("Report: %1")
                .arg(QDir(m_options.outputDir).filePath(QStringLiteral("report.json"))));
    WriteStepSummary(code);
    return code;
}

void Runner::Interrupt(int signal)
{
    if (m_done)
        return;
    if (m_interrupted) {
        // A second signal while the first is handled: end now, the clients with the run.
        m_orchestrator->AbortAll(tr("Interrupted"));
        Q_EMIT Finished(128 + signal);
        return;
    }
    m_interrupted = signal;
    err(tr("interrupted by signal %1: stopping the client.").arg(signal));
    if (m_pool)
        m_pool->Stop();
    m_overallTimer.stop();
    if (!m_orchestrator) {
        Q_EMIT Finished(128 + signal);
        return;
    }
    m_orchestrator->AbortAll(tr("Interrupted"));
    // The client's end completes the run; one that never started has no end to wait for.
    QTimer::singleShot(3000, this, [this] {
        if (!m_done)
            OnExecutionCompleted();
    });
}

QJsonArray Runner::AttemptResults(const KAVAtmTestProcedureResult *latest) const
{
    const QDir output(QFileInfo(m_options.outputDir).absoluteFilePath());
    QJsonArray attempts;
    for (const KAVAtmTestProcedureResult *result : m_procedures) {
        if (result->GetProcedureDef() != latest->GetProcedureDef())
            continue;
        QJsonObject attempt {{QStringLiteral("attempt"), result->GetAttempt()},
                             {QStringLiteral("passed"), passed(result)}};
        const QJsonObject times = result->ToJson();
        for (const char *key : {"startTime", "endTime", "trace"}) {
            if (times.contains(QLatin1String(key)))
                attempt.insert(QLatin1String(key), times.value(QLatin1String(key)));
        }
        const QString folder = m_orchestrator->GetProcedureFolder(result);
        if (QFileInfo(folder).isDir())
            attempt.insert(QStringLiteral("folder"),
                           output.relativeFilePath(QFileInfo(folder).absoluteFilePath()));
        // What failed, with its files: the evidence a flaky procedure's pass would hide.
        QJsonArray failures;
        const QList<KAVAtmTestActionResult *> actions = result->GetActionResults();
        for (int i = 0; i < actions.size(); ++i) {
            if (actions.at(i)->GetResult() != KAVAtmEnums::Fail)
                continue;
            QJsonObject failure = actions.at(i)->ToJson();
            failure.insert(QStringLiteral("index"), i);
            if (actions.at(i)->GetActionDef() && !actions.at(i)->GetActionDef()->GetName().isEmpty())
                failure.insert(QStringLiteral("name"), actions.at(i)->GetActionDef()->GetName());
            failures.append(failure);
        }
        if (!failures.isEmpty())
            attempt.insert(QStringLiteral("failures"), failures);
        attempts.append(attempt);
    }
    return attempts;
}

QJsonObject Runner::BuildReport(int exitCode) const
{
    QJsonArray procedures;
    for (const KAVAtmTestProcedureResult *procedure : LatestResults()) {
        if (!procedure)
            continue;
        QJsonObject json = procedure->ToJson();
        const int attempts = Attempts(procedure->GetProcedureDef());
        json.insert(QStringLiteral("attempts"), attempts);
        // Each action's name beside its result, for readers of the report.
        QJsonArray actions;
        for (const KAVAtmTestActionResult *action : procedure->GetActionResults()) {
            QJsonObject result = action->ToJson();
            if (action->GetActionDef() && !action->GetActionDef()->GetName().isEmpty())
                result.insert(QStringLiteral("name"), action->GetActionDef()->GetName());
            actions.append(result);
        }
        json.insert(QStringLiteral("actionResults"), actions);
        // Passed on a retry; repeats that all passed are no sign of flakiness.
        json.insert(QStringLiteral("flaky"), m_options.repeatEach == 1 && attempts > 1
                                                 && ReportJson::ProcedurePassed(json));
        if (attempts > 1)
            json.insert(QStringLiteral("attemptResults"), AttemptResults(procedure));
        if (m_options.repeatEach > 1) {
            json.insert(QStringLiteral("repeats"), m_options.repeatEach);
            int passedRuns = 0;
            for (const KAVAtmTestProcedureResult *result : m_procedures)
                passedRuns += result->GetProcedureDef() == procedure->GetProcedureDef()
                    && passed(result);
            json.insert(QStringLiteral("repeatsPassed"), passedRuns);
        }
        // Which host ran it: the timeline shows what ran side by side under --jobs.
        if (m_hosts.contains(procedure))
            json.insert(QStringLiteral("host"), m_hosts.value(procedure));
        if (const KAVAtmTestProcedureDef *def = procedure->GetProcedureDef()) {
            json.insert(QStringLiteral("name"), def->GetName());
            json.insert(QStringLiteral("label"), def->GetLabel());
            json.insert(QStringLiteral("file"), def->GetFilePath());
        }
        procedures.append(json);
    }
    QJsonArray notStarted;
    const QList<const KAVAtmTestProcedureResult *> latest = LatestResults();
    for (int i = 0; i < latest.size(); ++i) {
        if (latest.at(i))
            continue;
        const KAVAtmTestProcedureDef *def = m_selected.at(i);
        notStarted.append(QJsonObject {{QStringLiteral("name"), def->GetName()},
                                       {QStringLiteral("label"), def->GetLabel()},
                                       {QStringLiteral("file"), def->GetFilePath()}});
    }
    QJsonArray invalid;
    for (const InvalidProcedure &procedure : m_invalid) {
        invalid.append(QJsonObject {{QStringLiteral("file"), procedure.file},
                                    {QStringLiteral("reason"), procedure.reason}});
    }
    QJsonObject report {
        {QStringLiteral("client"), m_options.clientName},
        {QStringLiteral("mode"), KAVAtmEnums::GetPlatformModeEnumText(m_options.mode)},
        {QStringLiteral("startTime"), m_startTime.toString(KAVAtmTestActionResult::TimeFormat)},
        {QStringLiteral("finished"), exitCode >= 0},
        {QStringLiteral("exitCode"), exitCode},
        {QStringLiteral("procedures"), procedures},
        {QStringLiteral("failOnFlaky"), m_options.failOnFlaky},
        {QStringLiteral("notStarted"), notStarted},
        {QStringLiteral("baselinesWritten"), QJsonArray::fromStringList(m_baselinesWritten)},
        {QStringLiteral("checkWarnings"), m_checkWarnings},
        {QStringLiteral("invalidProcedures"), invalid},
        {QStringLiteral("clientErrors"), QJsonArray::fromStringList(m_clientErrors)},
        {QStringLiteral("interruptedBySignal"), m_interrupted},
    };
    if (m_options.shardCount > 1) {
        report.insert(QStringLiteral("shard"),
                      QJsonObject {{QStringLiteral("index"), m_options.shardIndex},
                                   {QStringLiteral("count"), m_options.shardCount}});
    }
    return report;
}

bool Runner::WriteReport(int exitCode) const
{
    const QJsonObject report = BuildReport(exitCode);
    const QString path = QDir(m_options.outputDir).filePath(QStringLiteral("report.json"));
    QString error;
    if (KAVAtmSaveFile::Write(
            path, [&report](QIODevice &file) { return ReportJson::WriteJson(file, report); },
            &error)
        == KAVAtmSaveFile::Outcome::Saved)
        return true;
    err(tr("cannot write the report %1: %2").arg(path, error));
    return false;
}

int Runner::CheckProcedures(bool all)
{
    QStringList files;
    for (const KAVAtmTestProcedureDef *procedure : m_selected)
        files.append(procedure->GetFilePath());
    for (const InvalidProcedure &invalid : m_invalid)
        files.append(invalid.file);
    int counts[3] = {0, 0, 0};
    for (const QString &file : std::as_const(files)) {
        // Before a run, the warnings only: no script is compiled twice.
        // A run that writes missing baselines captures them; a check with --strict warns.
        const bool missingBaselineWarns = (all && m_options.strict)
            || m_options.baselineUpdate == KAVAtmExecutorBase::BaselineUpdate::None;
        for (const CheckProblem &problem : CheckProcedureFile(file, all, missingBaselineWarns)) {
            ++counts[problem.severity];
            if (all) {
                out(problem.Text());
            } else if (problem.severity == CheckProblem::Error && m_options.strict) {
                err(problem.Text()); // what --strict refuses to run with
            } else if (problem.severity == CheckProblem::Warning) {
                err(problem.Text());
                m_checkWarnings.append(QJsonObject {{QStringLiteral("file"), problem.file},
                                                    {QStringLiteral("line"), problem.line},
                                                    {QStringLiteral("column"), problem.column},
                                                    {QStringLiteral("message"), problem.message},
                                                    {QStringLiteral("text"), problem.Text()}});
            }
        }
    }
    if (all)
        out(tr("Checked %1 procedure file(s): %2 error(s), %3 warning(s), %4 note(s)")
                .arg(QString::number(files.size()), QString::number(counts[CheckProblem::Error]),
                     QString::number(counts[CheckProblem::Warning]),
                     QString::number(counts[CheckProblem::Note])));
    const bool failed = counts[CheckProblem::Error] > 0
        || (m_options.strict && counts[CheckProblem::Warning] > 0);
    return failed ? ExitFailed : ExitPassed;
}

void Runner::PrintList() const
{
    for (const KAVAtmTestProcedureDef *procedure : m_selected) {
        out(QStringLiteral("%1  %2  (%3)")
                .arg(procedure->GetName(), procedure->GetLabel(), procedure->GetFilePath()));
        for (const KAVAtmTestActionDef *action : procedure->GetActions()) {
            out(action->GetName().isEmpty()
                    ? QStringLiteral("    %1").arg(action->GetType())
                    : QStringLiteral("    %1  %2").arg(action->GetType(), action->GetName()));
        }
    }
    out(tr("%1 procedure(s)").arg(m_selected.size()));
}

bool Runner::WriteExtraReport(const QString &file, const QString &kind,
                              bool (*make)(QIODevice &, const QJsonObject &),
                              const QJsonObject &report) const
{
    QString error;
    QDir().mkpath(QFileInfo(file).absolutePath());
    // The page names the attachments from where it is, and the HTML page holds the images.
    const QString folder = QFileInfo(file).absolutePath();
    QJsonObject page = ReportJson::RebaseAttachments(report, m_options.outputDir, folder);
    if (make == &HtmlReport)
        page = ReportJson::EmbedScreenshots(page, folder, {m_options.outputDir}, HtmlImageBudget);
    if (KAVAtmSaveFile::Write(
            file, [make, &page](QIODevice &device) { return make(device, page); }, &error)
        != KAVAtmSaveFile::Outcome::Saved) {
        err(tr("cannot write the %1 report %2: %3").arg(kind, file, error));
        return false;
    }
    out(tr("%1: %2").arg(kind, QFileInfo(file).absoluteFilePath()));
    return true;
}

bool Runner::CheckPaths()
{
    QList<std::pair<QString, QString>> outputs {
        {QDir(m_options.outputDir).filePath(QStringLiteral("report.json")),
         tr("the report.json of --output")}};
    if (!m_options.junitFile.isEmpty())
        outputs.append({m_options.junitFile, QStringLiteral("--junit")});
    if (!m_options.htmlFile.isEmpty())
        outputs.append({m_options.htmlFile, QStringLiteral("--html")});
    const bool recording = m_options.mode == KAVAtmEnums::Recording;
    const QString recordFile = m_options.recordFile.isEmpty()
        ? QDir(m_options.outputDir).filePath(QStringLiteral("recording.json"))
        : m_options.recordFile;
    if (recording)
        outputs.append({recordFile, QStringLiteral("--record")});
    QList<std::pair<QString, QString>> inputs;
    for (const QString &file : m_options.procedureFiles)
        inputs.append({file, tr("a procedure file of this run")});
    inputs.append({m_options.configFile, tr("the configuration")});

    for (qsizetype i = 0; i < outputs.size(); ++i) {
        const QString key = fileKey(outputs.at(i).first);
        for (qsizetype j = 0; j < i; ++j) {
            if (key == fileKey(outputs.at(j).first)) {
                err(tr("%1 and %2 name the same file %3.")
                        .arg(outputs.at(j).second, outputs.at(i).second, key));
                return false;
            }
        }
        for (const auto &[input, what] : std::as_const(inputs)) {
            if (key == fileKey(input)) {
                err(tr("%1 would overwrite %2: %3.").arg(outputs.at(i).second, what, key));
                return false;
            }
        }
    }
    // Read once: a run that records nothing keeps what the file holds.
    m_previousRecording
        = recording && QFileInfo(recordFile).isFile() ? procedureActions(recordFile) : 0;
    if (m_previousRecording < 0 && !m_options.force) {
        err(tr("the recording file %1 exists and is not a procedure file; --force replaces it.")
                .arg(recordFile));
        return false;
    }
    // Found now, not after the whole suite has run.
    for (const auto &[file, what] : std::as_const(outputs)) {
        const QString folder = QFileInfo(file).absolutePath();
        if (!writableFolder(folder)) {
            err(tr("cannot write into the folder %1 (for %2).").arg(folder, what));
            return false;
        }
    }
    return true;
}

QStringList Runner::BalanceShard(const QStringList &files, int index, int count,
                                 const QHash<QString, double> &durations)
{
    QStringList sorted = files;
    sorted.removeDuplicates();
    std::sort(sorted.begin(), sorted.end(), ReportJson::ShardOrder);
    if (count < 1 || index < 1 || index > count)
        return {};
    // Known by its path, or by its name where the shards run from other checkouts.
    const auto known = [&durations](const QString &file) -> std::optional<double> {
        for (const QString &key : {file, QFileInfo(file).fileName()}) {
            const auto it = durations.constFind(key);
            if (it != durations.constEnd())
                return *it;
        }
        return std::nullopt;
    };
    QList<double> measured;
    for (const QString &file : std::as_const(sorted)) {
        if (const auto seconds = known(file))
            measured.append(*seconds);
    }
    std::sort(measured.begin(), measured.end());
    const double median = measured.isEmpty() ? 1.0 : measured.at(measured.size() / 2);
    QList<std::pair<double, qsizetype>> order; // duration, place in the sorted list
    for (qsizetype i = 0; i < sorted.size(); ++i)
        order.append({known(sorted.at(i)).value_or(median), i});
    std::stable_sort(order.begin(), order.end(),
                     [](const auto &a, const auto &b) { return a.first > b.first; });
    // More shards than files leaves the rest empty: only min(count, files) are ever loaded.
    const qsizetype used = std::min<qsizetype>(count, sorted.size());
    std::vector<double> load(size_t(std::max<qsizetype>(used, 1)), 0.0);
    QList<qsizetype> mine;
    for (const auto &[seconds, at] : std::as_const(order)) {
        const size_t lightest = size_t(std::min_element(load.begin(), load.end()) - load.begin());
        load[lightest] += seconds;
        if (qint64(lightest) + 1 == index)
            mine.append(at);
    }
    std::sort(mine.begin(), mine.end());
    QStringList selected;
    for (qsizetype at : std::as_const(mine))
        selected.append(sorted.at(at));
    return selected;
}

namespace {

bool readReport(const QString &report, QJsonObject *read, QString *error)
{
    QByteArray content;
    QString reason;
    // Merged reports of large suites run to tens of megabytes.
    if (KAVAtmReadFile::Read(report, qint64(512) << 20, &content, &reason)
        != KAVAtmReadFile::Outcome::Read) {
        *error = reason.isEmpty() ? Runner::tr("%1 cannot be read.").arg(report) : reason;
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(content, &parseError);
    if (!document.isObject()) {
        *error = Runner::tr("%1 is not a report: %2").arg(report, parseError.errorString());
        return false;
    }
    *read = document.object();
    return true;
}

} // namespace

bool Runner::ReadLastFailed(const QString &report, QSet<QString> *files, QString *error)
{
    QJsonObject read;
    if (!readReport(report, &read, error))
        return false;
    const auto add = [files](const QString &file) {
        if (!file.isEmpty())
            *files << file << QFileInfo(file).fileName();
    };
    for (const QJsonValue &procedure : read.value(QLatin1String("procedures")).toArray()) {
        if (!ReportJson::ProcedurePassed(procedure.toObject()))
            add(procedure[QLatin1String("file")].toString());
    }
    for (const char *key : {"notStarted", "invalidProcedures"}) {
        for (const QJsonValue &procedure : read.value(QLatin1String(key)).toArray())
            add(procedure[QLatin1String("file")].toString());
    }
    return true;
}

bool Runner::ReadDurations(const QString &report, QHash<QString, double> *durations, QString *error)
{
    QJsonObject read;
    if (!readReport(report, &read, error))
        return false;
    for (const QJsonValue &value : read.value(QLatin1String("procedures")).toArray()) {
        const QJsonObject procedure = value.toObject();
        const QString file = procedure.value(QLatin1String("file")).toString();
        const double seconds = ReportJson::Seconds(procedure);
        if (file.isEmpty() || !std::isfinite(seconds) || seconds < 0)
            continue;
        // A procedure run again counts with its longest attempt.
        for (const QString &key : {file, QFileInfo(file).fileName()})
            durations->insert(key, std::max(seconds, durations->value(key, 0.0)));
    }
    return true;
}

QStringList Runner::SelectShard(const QStringList &files, int index, int count)
{
    QStringList sorted = files;
    sorted.removeDuplicates();
    std::sort(sorted.begin(), sorted.end(), ReportJson::ShardOrder);
    QStringList selected;
    // 64-bit: a count near the int limit must not wrap the index around.
    for (qint64 i = qint64(index) - 1; count > 0 && i >= 0 && i < sorted.size(); i += count)
        selected.append(sorted.at(qsizetype(i)));
    return selected;
}
