// One trivial action ("TimeWait" of 0 ms) end to end through the runner and the demo host:
// a procedure of N such actions, run by the real runner on the real demo host.
//
// Usage: bench_e2e [actions, default 2000]

#include <QtCore/QCoreApplication>
#include <QtCore/QDateTime>
#include <QtCore/QElapsedTimer>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>

#include <algorithm>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 2000;

    QTemporaryDir dir;
    QJsonArray actions;
    for (int i = 0; i < count; ++i)
        actions.append(QJsonObject {{"action", "TimeWait"}, {"wtime", 0}});
    const QJsonObject procedure {{"schema", "com.brightel.kav.automation.procedure:1"},
                                 {"name", "bench"},
                                 {"label", "Bench"},
                                 {"actions", actions}};
    const QString path = dir.filePath("bench.json");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 2;
    file.write(QJsonDocument(procedure).toJson());
    file.close();

    QProcess runner;
    runner.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    runner.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer wall;
    wall.start();
    runner.start(QStringLiteral(KAV_RUNNER),
                 {"--output", dir.filePath("results"), "--quiet-client", path});
    if (!runner.waitForFinished(600000) || runner.exitCode() != 0) {
        std::fprintf(stderr, "the run did not pass (exit code %d)\n", runner.exitCode());
        return 1;
    }
    const double wallSeconds = wall.nsecsElapsed() / 1e9;

    QFile reportFile(dir.filePath("results/report.json"));
    if (!reportFile.open(QIODevice::ReadOnly))
        return 1;
    const QJsonArray results = QJsonDocument::fromJson(reportFile.readAll())
                                   .object()["procedures"][0]["actionResults"]
                                   .toArray();
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");
    QList<qint64> durations;
    // Skip the reset action at the head: only the N waits count.
    const QDateTime first = QDateTime::fromString(results.at(1)["startTime"].toString(), format);
    const QDateTime last = QDateTime::fromString(results.last()["endTime"].toString(), format);
    for (int i = 1; i < results.size(); ++i) {
        const QDateTime start
            = QDateTime::fromString(results.at(i)["startTime"].toString(), format);
        const QDateTime end = QDateTime::fromString(results.at(i)["endTime"].toString(), format);
        durations.append(start.msecsTo(end));
    }
    std::sort(durations.begin(), durations.end());
    const double steady = double(first.msecsTo(last)) / count;

    std::printf("actions: %d TimeWait of 0 ms, runner + demo host\n", count);
    std::printf(
        "whole run (start-up, connection, %d actions, shut-down): %.2f s = %.3f ms per action\n",
        count, wallSeconds, wallSeconds * 1000 / count);
    std::printf("first action start to last action end: %lld ms = %.3f ms per action\n",
                qlonglong(first.msecsTo(last)), steady);
    std::printf(
        "one action, execute sent to completed update handled: median %lld ms, max %lld ms\n",
        qlonglong(durations.at(durations.size() / 2)), qlonglong(durations.last()));
    return 0;
}
