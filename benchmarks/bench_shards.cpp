// Shards dealt round by file name against shards dealt by duration, simulated (no hosts):
// 200 procedure files whose durations are skewed (most short, a few ten times longer), split
// into 4, 8 and 16 shards. Prints the longest shard over the ideal (total / N) for each dealing.
//
// Usage: bench_shards [files, default 200] [runs with other durations, default 20]

#include "runner.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QRandomGenerator>

#include <algorithm>
#include <cstdio>

namespace {

double longest(const QStringList &files, int count, const QHash<QString, double> &durations,
               bool balanced)
{
    double worst = 0;
    for (int index = 1; index <= count; ++index) {
        const QStringList shard = balanced ? RunPlan::BalanceShard(files, index, count, durations)
                                           : RunPlan::SelectShard(files, index, count);
        double sum = 0;
        for (const QString &file : shard)
            sum += durations.value(file);
        worst = std::max(worst, sum);
    }
    return worst;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 20;
    QRandomGenerator random(20261207);
    std::printf("%d procedure files, durations 20-120 s and one in twenty ten times that; "
                "the mean of %d draws\n",
                files, runs);
    std::printf("shards  round-robin/ideal  balanced/ideal  longest file/ideal\n");
    for (int count : {4, 8, 16}) {
        double roundRobin = 0, balanced = 0, longestFile = 0;
        for (int run = 0; run < runs; ++run) {
            QStringList names;
            QHash<QString, double> durations;
            double total = 0, largest = 0;
            for (int i = 0; i < files; ++i) {
                const QString name
                    = QStringLiteral("/suite/p%1.json").arg(i, 4, 10, QLatin1Char('0'));
                double seconds = 20 + random.bounded(100.0);
                if (random.bounded(20) == 0)
                    seconds *= 10;
                names.append(name);
                durations.insert(name, seconds);
                total += seconds;
                largest = std::max(largest, seconds);
            }
            const double ideal = total / count;
            roundRobin += longest(names, count, durations, false) / ideal;
            balanced += longest(names, count, durations, true) / ideal;
            longestFile += largest / ideal;
        }
        std::printf("%6d  %17.3f  %14.3f  %18.3f\n", count, roundRobin / runs, balanced / runs,
                    longestFile / runs);
    }
    return 0;
}
