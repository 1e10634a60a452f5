#include "reportmerge.h"
#include "console.h"
#include "htmlreport.h"
#include "junitreport.h"
#include "reportjson.h"

#include "kavatmreadfile.h"
#include "kavatmsavefile.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QMap>
#include <QtCore/QSet>

#include <algorithm>
#include <cstdio>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("Runner", text);
}

using Console::err;
using Console::out;

// Sorted as the shards are dealt.
QJsonArray sorted(const QJsonArray &array)
{
    QList<QJsonValue> values(array.begin(), array.end());
    std::stable_sort(values.begin(), values.end(), [](const QJsonValue &a, const QJsonValue &b) {
        return ReportJson::ShardOrder(a[QLatin1String("file")].toString(),
                                      b[QLatin1String("file")].toString());
    });
    QJsonArray result;
    for (const QJsonValue &value : values)
        result.append(value);
    return result;
}

// The merge of reports already read; exitCode holds the worst of their codes.
QJsonObject mergeReports(const QList<QJsonObject> &reports)
{
    const QStringList lists {QStringLiteral("procedures"),        QStringLiteral("notStarted"),
                             QStringLiteral("invalidProcedures"), QStringLiteral("clientErrors"),
                             QStringLiteral("baselinesWritten"),  QStringLiteral("checkWarnings")};
    QHash<QString, QJsonArray> joined;
    int exitCode = 0;
    bool finished = true;
    QString startTime;
    for (const QJsonObject &report : reports) {
        for (const QString &key : lists) {
            for (const QJsonValue &value : report.value(key).toArray())
                joined[key].append(value);
        }
        const int code = report.value(QLatin1String("exitCode")).toInt(-1);
        finished = finished && report.value(QLatin1String("finished")).toBool() && code >= 0;
        // A shard's code is not taken on trust: what its report holds counts as much.
        exitCode = std::max({exitCode, code < 0 ? 1 : code, ReportJson::ContentExitCode(report)});
        const QString start = report.value(QLatin1String("startTime")).toString();
        if (startTime.isEmpty() || (!start.isEmpty() && start < startTime))
            startTime = start;
    }
    const QJsonObject first = reports.value(0);
    return QJsonObject {
        {QStringLiteral("client"), first.value(QLatin1String("client"))},
        {QStringLiteral("mode"), first.value(QLatin1String("mode"))},
        {QStringLiteral("startTime"), startTime},
        {QStringLiteral("finished"), finished},
        {QStringLiteral("exitCode"), exitCode},
        {QStringLiteral("procedures"), sorted(joined.value(lists.at(0)))},
        {QStringLiteral("notStarted"), sorted(joined.value(lists.at(1)))},
        {QStringLiteral("invalidProcedures"), sorted(joined.value(lists.at(2)))},
        {QStringLiteral("clientErrors"), joined.value(lists.at(3))},
        {QStringLiteral("baselinesWritten"), joined.value(lists.at(4))},
        {QStringLiteral("checkWarnings"), joined.value(lists.at(5))},
        {QStringLiteral("interruptedBySignal"), 0},
        {QStringLiteral("merged"), int(reports.size())},
    };
}

} // namespace

int MergeReports(const QString &outDir, const QStringList &reportDirs)
{
    // Written into one of the folders it reads, the merge would replace a shard's own report.
    const QString into = QDir::cleanPath(QFileInfo(outDir).absoluteFilePath());
    for (const QString &dir : reportDirs) {
        const QFileInfo folder(dir);
        const QString canonical = folder.canonicalFilePath();
        if (QDir::cleanPath(folder.absoluteFilePath()) == into
            || (!canonical.isEmpty() && canonical == QFileInfo(outDir).canonicalFilePath())) {
            err(tr("--merge would write into the report folder %1 it reads.").arg(dir));
            return 2;
        }
    }
    QList<QJsonObject> reports;
    // What keeps the merge from being the whole suite; each one fails it.
    QStringList problems;
    const auto problem = [&problems](const QString &text) {
        err(text);
        problems.append(text);
    };
    QSet<QString> folders;
    for (const QString &dir : reportDirs) {
        const QString path = QDir(dir).filePath(QStringLiteral("report.json"));
        const QString canonical = QFileInfo(dir).canonicalFilePath();
        if (!canonical.isEmpty() && folders.contains(canonical)) {
            problem(tr("the report folder %1 is given more than once.").arg(dir));
            continue;
        }
        folders.insert(canonical);
        // A report that is a link to somewhere else is not this folder's report.
        const QFileInfo link(path);
        if (link.isSymLink() && QFileInfo(link.canonicalFilePath()).absolutePath() != canonical) {
            problem(tr("the report %1 is a link out of its folder.").arg(path));
            continue;
        }
        QByteArray content;
        QString reason;
        if (KAVAtmReadFile::Read(path, 256 * 1024 * 1024, &content, &reason)
            != KAVAtmReadFile::Outcome::Read) {
            problem(tr("cannot read the report %1: %2").arg(path, reason));
            continue;
        }
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(content, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject()
            || !document.object().value(QLatin1String("procedures")).isArray()) {
            problem(tr("%1 is not a report: %2").arg(path, error.errorString()));
            continue;
        }
        if (!document.object().value(QLatin1String("finished")).toBool())
            err(tr("the run of %1 did not finish: it counts as failed.").arg(path));
        // The merged report is read from its own folder.
        reports.append(ReportJson::RebaseAttachments(document.object(), dir, outDir));
    }
    // Shards of one split, each once: a folder left out or named twice is no whole suite.
    QMap<int, int> shards;
    int count = 0;
    for (const QJsonObject &report : std::as_const(reports)) {
        const QJsonObject shard = report.value(QLatin1String("shard")).toObject();
        if (shard.isEmpty())
            continue;
        const int shardCount = shard.value(QLatin1String("count")).toInt();
        const int index = shard.value(QLatin1String("index")).toInt();
        if (shardCount < 1 || index < 1 || index > shardCount) {
            problem(tr("a report names the shard %1/%2, which no split has.")
                        .arg(QString::number(index), QString::number(shardCount)));
            continue;
        }
        if (count != 0 && shardCount != count)
            problem(tr("the reports come from splits into %1 and %2 shards.")
                        .arg(QString::number(count), QString::number(shardCount)));
        count = std::max(count, shardCount);
        ++shards[index];
    }
    // Checked before anything is built: a report cannot make the merge list millions of
    // missing shards.
    if (count > reportDirs.size()) {
        problem(tr("the reports come from a split into %1 shards, but %2 report folder(s) were "
                   "given.")
                    .arg(QString::number(count), QString::number(reportDirs.size())));
    } else {
        for (int index = 1; index <= count; ++index) {
            if (shards.value(index) == 0)
                problem(tr("the report of shard %1/%2 is missing.")
                            .arg(QString::number(index), QString::number(count)));
            else if (shards.value(index) > 1)
                problem(tr("shard %1/%2 is given more than once.")
                            .arg(QString::number(index), QString::number(count)));
        }
    }
    // Each procedure file runs in one shard only: one in two reports is two runs of it.
    QSet<QString> files;
    for (const QJsonObject &report : std::as_const(reports)) {
        QSet<QString> own;
        for (const QJsonValue &procedure : report.value(QLatin1String("procedures")).toArray())
            own.insert(procedure[QLatin1String("file")].toString());
        own.remove(QString());
        for (const QString &file : std::as_const(own)) {
            if (files.contains(file))
                problem(tr("the procedure file %1 is in more than one report.").arg(file));
        }
        files.unite(own);
    }
    QJsonObject merged = mergeReports(reports);
    // Held once, not twice: the shards' reports are in the merge now.
    const qsizetype merges = reports.size();
    reports.clear();
    int code = merged.value(QLatin1String("exitCode")).toInt();
    // A shard whose report is lost may have failed: the merge cannot pass.
    if (!problems.isEmpty())
        code = 2;
    merged.insert(QStringLiteral("exitCode"), code);
    if (!problems.isEmpty())
        merged.insert(QStringLiteral("reportErrors"), QJsonArray::fromStringList(problems));
    if (!QDir().mkpath(outDir)) {
        err(tr("cannot create the output folder %1.").arg(outDir));
        return 2;
    }
    const QDir target(outDir);
    const auto write = [&target](const QString &name, const KAVAtmSaveFile::Producer &produce) {
        QString reason;
        const QString path = target.absoluteFilePath(name);
        if (KAVAtmSaveFile::Write(path, produce, &reason) != KAVAtmSaveFile::Outcome::Saved) {
            err(tr("cannot write %1: %2").arg(path, reason));
            return false;
        }
        out(tr("Merged: %1").arg(path));
        return true;
    };
    // Each written as it is made, one procedure at a time: each is as large as the reports.
    const auto page = [&merged](bool (*make)(QIODevice &, const QJsonObject &)) {
        return [&merged, make](QIODevice &file) { return make(file, merged); };
    };
    bool pages = write(QStringLiteral("junit.xml"), page(&JUnitReport));
    {
        const QJsonObject shown
            = ReportJson::EmbedScreenshots(merged, outDir, reportDirs, HtmlImageBudget);
        pages = write(QStringLiteral("report.html"),
                      [&shown](QIODevice &file) { return HtmlReport(file, shown); })
            && pages;
    }
    // report.json, last, holds the code the merge ends with.
    if (!pages)
        code = 2;
    merged.insert(QStringLiteral("exitCode"), code);
    if (!write(QStringLiteral("report.json"), page(&ReportJson::WriteJson)))
        code = 2;
    out(tr("Merged %1 of %2 report(s): %3 procedure(s), exit code %4")
            .arg(QString::number(merges), QString::number(reportDirs.size()),
                 QString::number(merged.value(QLatin1String("procedures")).toArray().size()),
                 QString::number(code)));
    return std::min(code, 255);
}
