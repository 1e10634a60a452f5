// Wall time of wait-bound procedures run by the real runner on the demo host with --jobs 1
// and --jobs 4 in the same run, and the time from a host's launch to its registration
// (between the runner's "Starting client" and "Client connected" lines; median of 10 runs).
//
// Usage: bench_jobs [procedures, default 8] [wait of each in ms, default 3000]

#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

QString writeProcedure(const QTemporaryDir &dir, int index, int wait)
{
    const QJsonObject procedure {
        {"schema", "com.brightel.kav.automation.procedure:1"},
        {"name", QStringLiteral("wait%1").arg(index)},
        {"label", QStringLiteral("Wait %1").arg(index)},
        {"actions", QJsonArray {QJsonObject {{"action", "TimeWait"}, {"wtime", wait}}}}};
    const QString path = dir.filePath(QStringLiteral("wait%1.json").arg(index));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(QJsonDocument(procedure).toJson());
    return path;
}

// Runs the runner to its end; returns the wall time in seconds (negative when it failed) and,
// when asked, the milliseconds from "Starting client" to "Client connected".
double run(const QStringList &arguments, qint64 *connectMs = nullptr)
{
    QProcess runner;
    runner.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer wall, line;
    qint64 starting = -1, connected = -1;
    QByteArray pending;
    QObject::connect(&runner, &QProcess::readyReadStandardOutput, [&] {
        pending += runner.readAllStandardOutput();
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray text = pending.left(end);
            pending.remove(0, end + 1);
            if (text.startsWith("Starting client") && starting < 0)
                starting = wall.elapsed();
            if (text.contains("Client connected:") && connected < 0)
                connected = wall.elapsed();
        }
    });
    wall.start();
    runner.start(QStringLiteral(KAV_RUNNER), arguments);
    if (!runner.waitForStarted() || !runner.waitForFinished(600000) || runner.exitCode() != 0) {
        std::fprintf(stderr, "the run did not pass (exit code %d): %s\n", runner.exitCode(),
                     runner.readAllStandardError().constData());
        return -1;
    }
    const double seconds = wall.nsecsElapsed() / 1e9;
    if (connectMs)
        *connectMs = starting >= 0 && connected >= 0 ? connected - starting : -1;
    return seconds;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 8;
    const int wait = argc > 2 ? qMax(0, QByteArray(argv[2]).toInt()) : 3000;

    QTemporaryDir dir;
    QStringList files;
    for (int i = 0; i < count; ++i)
        files << writeProcedure(dir, i, wait);
    const QStringList common {"--output", dir.filePath("results"), "--quiet-client"};

    const double one = run(common + QStringList {"--jobs", "1"} + files);
    const double four = run(common + QStringList {"--jobs", "4"} + files);
    if (one < 0 || four < 0)
        return 1;
    std::printf("%d procedures of a %d ms wait: --jobs 1 %.2f s, --jobs 4 %.2f s (%.2fx)\n", count,
                wait, one, four, one / four);

    QList<qint64> launches;
    const QStringList single {writeProcedure(dir, count, 0)};
    for (int i = 0; i < 10; ++i) {
        qint64 ms = -1;
        if (run(common + single, &ms) < 0 || ms < 0)
            return 1;
        launches.append(ms);
    }
    std::sort(launches.begin(), launches.end());
    std::printf("host launch to registration, 10 runs: median %lld ms (min %lld, max %lld)\n",
                (launches[4] + launches[5]) / 2, launches.first(), launches.last());
    return 0;
}
