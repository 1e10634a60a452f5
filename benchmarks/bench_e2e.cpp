// One trivial action ("TimeWait" of 0 ms) end to end through the runner and the demo host:
// a procedure of N such actions, run by the real runner on the real demo host. Then the same
// after a document is open, with a screenshot after every action (--screenshots all) and
// without, for what one screenshot costs and weighs.
//
// Then many procedures of one action each: the cost of a procedure at the start and at the end
// of a long run must be the same (nothing rebuilt for all that ran before).
//
// Then the same with a step trace (--trace on): what it adds per action, and what the widget
// snapshot alone costs the host (the host measures it into the trace).
//
// Usage: bench_e2e [actions, default 2000] [actions with screenshots, default 200]
//                  [procedures, default 1000]

#include <QtCore/QCoreApplication>
#include <QtCore/QDateTime>
#include <QtCore/QDirIterator>
#include <QtCore/QElapsedTimer>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

struct Run {
    double wallSeconds = 0;
    qint64 steadyMs = 0; // first wait's start to last wait's end
    QList<qint64> durations; // of each wait, sorted
    QList<qint64> pngSizes;
    QList<double> snapshotMs; // the host's cost of each widget snapshot, sorted
    // Mean ms from one action's start to the next one's, over the first and the last tenth.
    double firstTenthMs = 0;
    double lastTenthMs = 0;
};

// Mean gap between consecutive start times over the first and the last tenth of them.
void tenths(const QList<QDateTime> &starts, double *first, double *last)
{
    const qsizetype n = starts.size();
    const qsizetype tenth = std::max<qsizetype>(1, n / 10);
    if (n < 2 * tenth + 1)
        return;
    *first = double(starts.at(0).msecsTo(starts.at(tenth))) / double(tenth);
    *last = double(starts.at(n - 1 - tenth).msecsTo(starts.at(n - 1))) / double(tenth);
}

// Runs count procedures of one wait each; false when the run failed.
bool runProcedures(const QTemporaryDir &dir, int count, Run *measured)
{
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const QJsonObject procedure {
            {"schema", "com.brightel.kav.automation.procedure:1"},
            {"name", QStringLiteral("p%1").arg(i, 5, 10, QLatin1Char('0'))},
            {"label", "P"},
            {"actions", QJsonArray {QJsonObject {{"action", "TimeWait"}, {"wtime", 0}}}}};
        QFile file(dir.filePath(QStringLiteral("p%1.json").arg(i, 5, 10, QLatin1Char('0'))));
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(QJsonDocument(procedure).toJson());
        files.append(file.fileName());
    }
    const QString output = dir.filePath("results-procedures");
    QProcess runner;
    runner.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    runner.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer wall;
    wall.start();
    runner.start(QStringLiteral(KAV_RUNNER), QStringList {"--output", output, "--quiet-client"}
                                                  + files);
    if (!runner.waitForFinished(1800000) || runner.exitCode() != 0)
        return false;
    measured->wallSeconds = wall.nsecsElapsed() / 1e9;
    QFile reportFile(output + "/report.json");
    if (!reportFile.open(QIODevice::ReadOnly))
        return false;
    QList<QDateTime> starts;
    for (const QJsonValue &procedure :
         QJsonDocument::fromJson(reportFile.readAll()).object()["procedures"].toArray())
        starts.append(QDateTime::fromString(procedure["startTime"].toString(),
                                            QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")));
    std::sort(starts.begin(), starts.end());
    tenths(starts, &measured->firstTenthMs, &measured->lastTenthMs);
    return true;
}

// Runs count waits, after opening a document when withDocument; false when the run failed.
bool run(const QTemporaryDir &dir, int count, bool withDocument, const QString &screenshots,
         Run *measured, const QString &trace = QStringLiteral("off"))
{
    QJsonArray actions;
    if (withDocument) {
        actions.append(
            QJsonObject {{"action", "OpenFile"},
                         {"file", QStringLiteral(KAV_EXAMPLES) + "/documents/brackets.json"}});
        actions.append(QJsonObject {{"action", "WaitNest"}});
    }
    const int skip = 1 + int(actions.size()); // the reset action, and the document's
    for (int i = 0; i < count; ++i)
        actions.append(QJsonObject {{"action", "TimeWait"}, {"wtime", 0}});
    const QJsonObject procedure {{"schema", "com.brightel.kav.automation.procedure:1"},
                                 {"name", "bench"},
                                 {"label", "Bench"},
                                 {"actions", actions}};
    const QString output = dir.filePath("results-" + screenshots + "-" + trace);
    const QString path = dir.filePath("bench.json");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(procedure).toJson());
    file.close();

    QProcess runner;
    runner.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    runner.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer wall;
    wall.start();
    runner.start(QStringLiteral(KAV_RUNNER),
                 {"--output", output, "--quiet-client", "--screenshots", screenshots, "--trace",
                  trace, path});
    if (!runner.waitForFinished(600000) || runner.exitCode() != 0) {
        std::fprintf(stderr, "the run did not pass (exit code %d)\n", runner.exitCode());
        return false;
    }
    measured->wallSeconds = wall.nsecsElapsed() / 1e9;

    QFile reportFile(output + "/report.json");
    if (!reportFile.open(QIODevice::ReadOnly))
        return false;
    const QJsonArray results = QJsonDocument::fromJson(reportFile.readAll())
                                   .object()["procedures"][0]["actionResults"]
                                   .toArray();
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");
    const auto time = [&](int i, const char *key) {
        return QDateTime::fromString(results.at(i)[QLatin1String(key)].toString(), format);
    };
    measured->steadyMs = time(skip, "startTime").msecsTo(time(int(results.size()) - 1, "endTime"));
    QList<QDateTime> starts;
    for (int i = skip; i < results.size(); ++i) {
        measured->durations.append(time(i, "startTime").msecsTo(time(i, "endTime")));
        starts.append(time(i, "startTime"));
    }
    tenths(starts, &measured->firstTenthMs, &measured->lastTenthMs);
    std::sort(measured->durations.begin(), measured->durations.end());
    QDirIterator pngs(output, {"*.png"}, QDir::Files, QDirIterator::Subdirectories);
    while (pngs.hasNext())
        measured->pngSizes.append(QFileInfo(pngs.next()).size());
    QDirIterator traces(output, {"trace.ndjson"}, QDir::Files, QDirIterator::Subdirectories);
    while (traces.hasNext()) {
        QFile lines(traces.next());
        if (!lines.open(QIODevice::ReadOnly))
            return false;
        while (!lines.atEnd()) {
            const QJsonObject event = QJsonDocument::fromJson(lines.readLine()).object();
            if (event.contains("widgets"))
                measured->snapshotMs.append(event["widgets"]["costMs"].toDouble());
        }
    }
    std::sort(measured->snapshotMs.begin(), measured->snapshotMs.end());
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 2000;
    const int shots = argc > 2 ? qMax(1, QByteArray(argv[2]).toInt()) : 200;
    QTemporaryDir dir;

    Run plain;
    if (!run(dir, count, false, "failures", &plain))
        return 1;
    std::printf("actions: %d TimeWait of 0 ms, runner + demo host\n", count);
    std::printf(
        "whole run (start-up, connection, %d actions, shut-down): %.2f s = %.3f ms per action\n",
        count, plain.wallSeconds, plain.wallSeconds * 1000 / count);
    std::printf("first action start to last action end: %lld ms = %.3f ms per action\n",
                qlonglong(plain.steadyMs), double(plain.steadyMs) / count);
    std::printf(
        "one action, execute sent to completed update handled: median %lld ms, max %lld ms\n",
        qlonglong(plain.durations.at(plain.durations.size() / 2)),
        qlonglong(plain.durations.last()));

    std::printf("per action over the first tenth: %.3f ms, over the last tenth: %.3f ms\n",
                plain.firstTenthMs, plain.lastTenthMs);
    const int procedures = argc > 3 ? qMax(20, QByteArray(argv[3]).toInt()) : 1000;
    Run many;
    if (!runProcedures(dir, procedures, &many))
        return 1;
    std::printf("%d procedures of one action: %.2f s; per procedure over the first tenth: "
                "%.3f ms, over the last tenth: %.3f ms\n",
                procedures, many.wallSeconds, many.firstTenthMs, many.lastTenthMs);

    // The window with a nested document in it, as a failure would show it.
    Run without, with;
    if (!run(dir, shots, true, "off", &without) || !run(dir, shots, true, "all", &with))
        return 1;
    std::sort(with.pngSizes.begin(), with.pngSizes.end());
    const double perAction = double(with.steadyMs - without.steadyMs) / shots;
    std::printf("%d waits after a document is open: %.3f ms per action without screenshots, "
                "%.3f ms with one after each (%.2f ms a screenshot: drawn, encoded, sent, "
                "saved)\n",
                shots, double(without.steadyMs) / shots, double(with.steadyMs) / shots, perAction);
    if (!with.pngSizes.isEmpty())
        std::printf("screenshots: %lld PNG files, median %.1f KiB\n",
                    qlonglong(with.pngSizes.size()),
                    with.pngSizes.at(with.pngSizes.size() / 2) / 1024.0);

    Run traced;
    if (!run(dir, shots, true, "off", &traced, "on"))
        return 1;
    std::printf("with --trace on: %.3f ms per action (%.2f ms more than without: screenshot, "
                "widget snapshot, trace line)\n",
                double(traced.steadyMs) / shots,
                double(traced.steadyMs - without.steadyMs) / shots);
    if (!traced.snapshotMs.isEmpty())
        std::printf("widget snapshot of the demo host's windows, in the host: median %.3f ms, "
                    "max %.3f ms (%lld snapshots)\n",
                    traced.snapshotMs.at(traced.snapshotMs.size() / 2), traced.snapshotMs.last(),
                    qlonglong(traced.snapshotMs.size()));
    return 0;
}
