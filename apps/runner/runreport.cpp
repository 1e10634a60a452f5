#include "runreport.h"
#include "cioutputs.h"
#include "console.h"
#include "htmlreport.h"
#include "junitreport.h"
#include "reportjson.h"

#include "kavatmsavefile.h"
#include "kavatmtestactiondef.h"
#include "kavatmtestactionresult.h"
#include "kavatmtestproceduredef.h"
#include "kavatmtestprocedureresult.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>

#include <algorithm>

using Console::err;
using Console::out;

RunReport::RunReport(const RunnerOptions &options) : m_options(options) {}

void RunReport::ProcedureStarted(const KAVAtmTestProcedureResult *procedure, qlonglong host)
{
    if (!m_procedures.contains(procedure))
        m_procedures.append(procedure);
    m_hosts.insert(procedure, host);
}

void RunReport::AddInvalid(const QString &file, const QString &reason)
{
    m_invalid.append({file, reason});
}

QStringList RunReport::InvalidFiles() const
{
    QStringList files;
    for (const InvalidProcedure &invalid : m_invalid)
        files.append(invalid.file);
    return files;
}

void RunReport::AddClientError(const QString &line, qlonglong host)
{
    m_clientErrors.append(line);
    if (host != 0)
        m_clientErrorHosts.insert(int(m_clientErrors.size() - 1), host);
}

void RunReport::AddBaselineWritten(const QString &path)
{
    if (!m_baselinesWritten.contains(path))
        m_baselinesWritten.append(path);
}

// Read as the reports read it, from the verdicts alone (not the data, which may be large).
bool RunReport::Passed(const KAVAtmTestProcedureResult *procedure)
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

QList<KAVAtmTestProcedureDef *> RunReport::Failing() const
{
    QList<KAVAtmTestProcedureDef *> failing;
    const QList<const KAVAtmTestProcedureResult *> latest = LatestResults();
    for (int i = 0; i < m_selected.size(); ++i) {
        if (!Passed(latest.at(i)))
            failing.append(m_selected.at(i));
    }
    return failing;
}

void RunReport::SetAsideRetriedClientErrors(const QList<KAVAtmTestProcedureDef *> &failing)
{
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
}

bool RunReport::IsRetriedHostFailure(
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

QList<const KAVAtmTestProcedureResult *> RunReport::LatestResults() const
{
    QList<const KAVAtmTestProcedureResult *> latest;
    for (const KAVAtmTestProcedureDef *def : m_selected) {
        const KAVAtmTestProcedureResult *found = nullptr;
        for (const KAVAtmTestProcedureResult *result : m_procedures) {
            if (result->GetProcedureDef() != def)
                continue;
            // Of repeats, the first that failed speaks for them all.
            if (m_options.repeatEach > 1 && found && !Passed(found))
                break;
            found = result;
        }
        latest.append(found);
    }
    return latest;
}

int RunReport::Attempts(const KAVAtmTestProcedureDef *procedure) const
{
    return int(std::count_if(m_procedures.cbegin(), m_procedures.cend(),
                             [procedure](const KAVAtmTestProcedureResult *result) {
                                 return result->GetProcedureDef() == procedure;
                             }));
}

QJsonArray RunReport::AttemptResults(const KAVAtmTestProcedureResult *latest) const
{
    const QDir output(QFileInfo(m_options.outputDir).absoluteFilePath());
    QJsonArray attempts;
    for (const KAVAtmTestProcedureResult *result : m_procedures) {
        if (result->GetProcedureDef() != latest->GetProcedureDef())
            continue;
        QJsonObject attempt {{QStringLiteral("attempt"), result->GetAttempt()},
                             {QStringLiteral("passed"), Passed(result)}};
        const QJsonObject times = result->ToJson();
        for (const char *key : {"startTime", "endTime", "trace"}) {
            if (times.contains(QLatin1String(key)))
                attempt.insert(QLatin1String(key), times.value(QLatin1String(key)));
        }
        const QString folder = m_folder ? m_folder(result) : QString();
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

QJsonObject RunReport::Build(int exitCode) const
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
                    && Passed(result);
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

bool RunReport::Write(int exitCode) const
{
    const QJsonObject report = Build(exitCode);
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

bool RunReport::WriteExtraReport(const QString &file, const QString &kind,
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

int RunReport::WriteAll(int code) const
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
    int reportCode = Write(code) ? code : -1;
    if (reportCode < 0)
        setupError();
    for (Written &page : pages) {
        if (WriteExtraReport(page.file, page.kind, page.make, Build(code)))
            page.code = code;
        else
            setupError();
    }
    for (Written &page : pages) {
        if (page.code >= 0 && page.code != code)
            WriteExtraReport(page.file, page.kind, page.make, Build(code));
    }
    if (reportCode != code && Write(code) && reportCode >= 0)
        reportCode = code;
    if (reportCode >= 0)
        out(tr("Report: %1")
                .arg(QDir(m_options.outputDir).filePath(QStringLiteral("report.json"))));
    WriteStepSummary(code);
    return code;
}

void RunReport::WriteStepSummary(int code) const
{
    const QString path = qEnvironmentVariable("GITHUB_STEP_SUMMARY");
    if (!CiOutputs::OnGitHub() || path.isEmpty())
        return;
    QStringList files {QDir(m_options.outputDir).filePath(QStringLiteral("report.json"))};
    for (const QString &file : {m_options.junitFile, m_options.htmlFile}) {
        if (!file.isEmpty())
            files.append(file);
    }
    // Appended: the job's other steps write there too.
    QFile summary(path);
    const QByteArray text = CiOutputs::GitHubSummary(Build(code), files).toUtf8();
    if (!summary.open(QIODevice::Append | QIODevice::WriteOnly) || summary.write(text) != text.size())
        err(tr("the job summary %1 could not be written: %2").arg(path, summary.errorString()));
}

int RunReport::Summarize(double seconds) const
{
    // Read from the report, as the JUnit and HTML reports and the merge read it.
    const QJsonObject report = Build(ExitPassed);
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
                 QString::number(seconds, 'f', 1)));
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
