#include "runplan.h"
#include "console.h"
#include "procedurecheck.h"
#include "reportjson.h"

#include "kavatmreadfile.h"
#include "kavatmtestactiondef.h"
#include "kavatmtestproceduredef.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QTemporaryFile>

#include <algorithm>
#include <cmath>
#include <optional>

using Console::err;
using Console::out;

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

RunPlan::RunPlan(const RunnerOptions &options) : m_options(options) {}

bool RunPlan::ReadConfiguration()
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

bool RunPlan::CheckPaths()
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

QString RunPlan::RecordPath() const
{
    return QFileInfo(m_options.recordFile.isEmpty()
                         ? QDir(m_options.outputDir).filePath(QStringLiteral("recording.json"))
                         : m_options.recordFile)
        .absoluteFilePath();
}

bool RunPlan::MakeOutputFolder()
{
    if (!QDir().mkpath(m_options.outputDir)) {
        err(tr("cannot create the output folder %1.").arg(m_options.outputDir));
        return false;
    }
    m_options.outputDir = QFileInfo(m_options.outputDir).absoluteFilePath();
    return true;
}

RunPlan::Files RunPlan::SelectFiles()
{
    if (!m_options.lastFailedFile.isEmpty()) {
        QSet<QString> failed;
        QString error;
        if (!ReadLastFailed(m_options.lastFailedFile, &failed, &error)) {
            err(tr("--last-failed: %1").arg(error));
            return Files::Refused;
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
        if (kept.isEmpty() && !m_options.list && !m_options.check)
            return MakeOutputFolder() ? Files::NoneReported : Files::Refused;
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
            return Files::Refused;
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
        if (m_options.procedureFiles.isEmpty() && !m_options.list && !m_options.check)
            return MakeOutputFolder() ? Files::NoneReported : Files::Refused;
        if (m_options.procedureFiles.isEmpty())
            return Files::None;
    }
    return Files::Run;
}

bool RunPlan::Select(const QList<KAVAtmTestProcedureDef *> &loaded)
{
    for (KAVAtmTestProcedureDef *procedure : loaded) {
        if (m_options.grep.isEmpty()
            || procedure->GetName().contains(m_options.grep, Qt::CaseInsensitive)
            || procedure->GetLabel().contains(m_options.grep, Qt::CaseInsensitive))
            m_selected.append(procedure);
    }
    if (!m_options.grep.isEmpty() && m_selected.isEmpty() && !loaded.isEmpty()) {
        err(tr("no procedure's name or label contains \"%1\".").arg(m_options.grep));
        return false;
    }
    return true;
}

void RunPlan::PrintList() const
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

int RunPlan::CheckProcedures(bool all, const QStringList &invalidFiles)
{
    QStringList files;
    for (const KAVAtmTestProcedureDef *procedure : m_selected)
        files.append(procedure->GetFilePath());
    files += invalidFiles;
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

QStringList RunPlan::BalanceShard(const QStringList &files, int index, int count,
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
        *error = reason.isEmpty() ? RunPlan::tr("%1 cannot be read.").arg(report) : reason;
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(content, &parseError);
    if (!document.isObject()) {
        *error = RunPlan::tr("%1 is not a report: %2").arg(report, parseError.errorString());
        return false;
    }
    *read = document.object();
    return true;
}

} // namespace

bool RunPlan::ReadLastFailed(const QString &report, QSet<QString> *files, QString *error)
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

bool RunPlan::ReadDurations(const QString &report, QHash<QString, double> *durations, QString *error)
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

QStringList RunPlan::SelectShard(const QStringList &files, int index, int count)
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
