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

Runner::Runner(const RunnerOptions &options)
    : m_plan(options), m_options(m_plan.Options()), m_report(m_plan.Options())
{
    m_reportTimer.setSingleShot(true);
    connect(&m_reportTimer, &QTimer::timeout, this, [this] {
        if (m_done)
            return;
        QElapsedTimer writing;
        writing.start();
        m_report.Write(-1);
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
            m_report.AddClientError(reason);
        m_orchestrator->AbortAll(reason);
    });
}

Runner::~Runner() = default;

bool Runner::Start()
{
    m_elapsed.start();
    m_report.SetStartTime(QDateTime::currentDateTimeUtc());

    // A check reads procedures only: it runs where no host is configured (an editor, a lint
    // step).
    if (!m_options.check && !m_plan.ReadConfiguration())
        return false;
    if (!m_options.list && !m_options.check && !m_plan.CheckPaths())
        return false;

    switch (m_plan.SelectFiles()) {
    case RunPlan::Files::Run:
        break;
    case RunPlan::Files::NoneReported:
        return FinishWithoutRunning(true);
    case RunPlan::Files::None:
        return FinishWithoutRunning();
    case RunPlan::Files::Refused:
        return false;
    }

    m_orchestrator = KAVAtmOrchestrator::GetInstance();
    m_report.SetFolders([this](const KAVAtmTestProcedureResult *result) {
        return m_orchestrator->GetProcedureFolder(result);
    });
    // What runs is what loads here; the check below reads the files again for its warnings.
    for (const auto &[file, reason] : m_orchestrator->LoadProcedures(m_options.procedureFiles)) {
        m_report.AddInvalid(file, reason);
        err(tr("skipping %1: %2").arg(file, reason));
    }
    if (!m_plan.Select(m_orchestrator->GetLoadedProcedures()))
        return false;
    m_report.SetSelected(m_plan.Selected());
    if (m_options.list) {
        m_plan.PrintList();
        return FinishWithoutRunning();
    }
    if (m_options.check) {
        const int code = m_plan.CheckProcedures(true, m_report.InvalidFiles());
        QTimer::singleShot(0, this, [this, code] {
            m_done = true;
            Q_EMIT Finished(code);
        });
        return true;
    }
    // What --check would warn of, before the run begins; --strict refuses to run with any.
    const int checked = m_plan.CheckProcedures(false, m_report.InvalidFiles());
    m_report.SetCheckWarnings(m_plan.CheckWarnings());
    if (checked != ExitPassed && m_options.strict) {
        err(tr("--strict: the procedures have warnings or errors (see above); nothing was run."));
        return false;
    }
    m_expectedProcedures = int(m_plan.Selected().size());
    const bool recording = m_options.mode == KAVAtmEnums::Recording;
    // A recording run may drive the host with procedures, or leave it all to the user.
    if (m_expectedProcedures == 0 && (!recording || !m_options.procedureFiles.isEmpty())) {
        err(tr("no valid procedure to run."));
        return false;
    }

    if (!m_plan.MakeOutputFolder())
        return false;
    if (recording) {
        const QString recordPath = m_plan.RecordPath();
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
            [this](const QString &path) { m_report.AddBaselineWritten(path); });
    HostPool::Orchestrator hosts;
    hosts.start = [this](const QList<KAVAtmTestProcedureDef *> &procedures, qint64 *pid) {
        return m_orchestrator->StartPlatform(m_options.clientName, procedures, m_options.mode,
                                             m_plan.Configuration(), pid);
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
                m_report.AddClientError(
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
                m_report.AddClientError(line, pid);
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
    for (KAVAtmTestProcedureDef *procedure : m_plan.Selected()) {
        for (int i = 0; i < m_options.repeatEach; ++i)
            pending.append(procedure);
    }
    m_pool->SetPending(pending);
    // A recording needs its client even with nothing to run.
    const bool launched = m_plan.Selected().isEmpty() ? m_pool->Launch({}) : m_pool->Dispatch();
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
        m_report.AddClientError(tr("Recording could not be started: %1").arg(action->GetDetails()));
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
    if (action->GetResult() == KAVAtmEnums::Fail && CiOutputs::OnGitHub())
        AnnotateFailure(action);
}

void Runner::OnProcedureStarted(qlonglong pid, const KAVAtmTestProcedureResult *procedure)
{
    m_report.ProcedureStarted(procedure, pid);
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
        Q_EMIT Finished(reported ? m_report.WriteAll(ExitPassed) : ExitPassed);
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

bool Runner::Retry()
{
    const QList<KAVAtmTestProcedureDef *> failing = m_report.Failing();
    if (failing.isEmpty())
        return false;
    ++m_attempt;
    out(tr("Retry %1 of %2: %3 failing procedure(s) on a fresh client")
            .arg(QString::number(m_attempt - 1), QString::number(m_options.retries),
                 QString::number(failing.size())));
    m_report.SetAsideRetriedClientErrors(failing);
    m_pool->ClearLaunchFailed();
    m_pool->SetPending(failing);
    if (!m_pool->Dispatch() || m_pool->IsEmpty()) {
        err(tr("the client could not be launched for the retry."));
        return false;
    }
    return true;
}

void Runner::OnExecutionCompleted()
{
    if (m_done)
        return;
    // A fresh client is on its way for procedures a lost one had not begun.
    if (!m_pool->IsEmpty() && !m_report.Interrupted() && !m_timedOut)
        return;
    m_pool->Clear();
    // A run cut short (time-out, signal) is not tried again.
    if (m_attempt <= m_options.retries && !m_report.Interrupted() && !m_timedOut
        && m_options.mode != KAVAtmEnums::Recording && Retry())
        return;
    m_done = true;
    m_pool->Stop();
    m_overallTimer.stop();
    int code = m_report.Summarize(m_elapsed.elapsed() / 1000.0);
    if (m_recording && m_recording->GetActions().isEmpty() && m_plan.PreviousRecording() > 0) {
        // A run that recorded nothing (interrupted at once, say) leaves the last recording be.
        m_recording->RemoveJournal();
        out(tr("Recording: nothing was recorded; %1 keeps its %2 action(s).")
                .arg(m_recording->GetPath(), QString::number(m_plan.PreviousRecording())));
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
    Q_EMIT Finished(m_report.WriteAll(code));
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

void Runner::Interrupt(int signal)
{
    if (m_done)
        return;
    if (m_report.Interrupted()) {
        // A second signal while the first is handled: end now, the clients with the run.
        m_orchestrator->AbortAll(tr("Interrupted"));
        Q_EMIT Finished(128 + signal);
        return;
    }
    m_report.SetInterrupted(signal);
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

