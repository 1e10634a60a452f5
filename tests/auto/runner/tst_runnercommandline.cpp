// The runner's command line: what it runs with, and every option error, before anything runs.

#include "commandline.h"

#include <QtTest/QtTest>

class tst_RunnerCommandLine : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void errors_data();
    void errors();
    void accepted();
    void baselinesInCi();
    void shardFromTheCi_data();
    void shardFromTheCi();
};

void tst_RunnerCommandLine::errors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("no procedures") << QStringList() << "no procedure files given.";
    QTest::newRow("unknown option")
        << QStringList {"--frobnicate", "p.json"} << "Unknown option 'frobnicate'.";
    QTest::newRow("unknown mode") << QStringList {"--mode", "fast", "p.json"}
                                  << "unknown mode \"fast\".";
    QTest::newRow("no time to connect") << QStringList {"--connect-timeout", "0", "p.json"}
                                        << "--connect-timeout takes at least 1 second.";
    QTest::newRow("negative retries") << QStringList {"--retries", "-1", "p.json"}
                                      << "--retries takes a whole number, 0 or more.";
    QTest::newRow("a time-out in words") << QStringList {"--timeout", "ten", "p.json"}
                                         << "--timeout takes a whole number, 0 or more.";
    QTest::newRow("record in batch mode") << QStringList {"--mode", "batch", "--record", "r.json"}
                                          << "--record needs --mode recording.";
    QTest::newRow("shard out of range")
        << QStringList {"--shard", "4/3", "p.json"} << "--shard takes I/N with 1 <= I <= N.";
    QTest::newRow("shard of nothing")
        << QStringList {"--shard", "1/0", "p.json"} << "--shard takes I/N with 1 <= I <= N.";
    QTest::newRow("no jobs") << QStringList {"--jobs", "0", "p.json"} << "--jobs takes at least 1.";
    QTest::newRow("a recording on two clients")
        << QStringList {"--jobs", "2", "--record", "r.json"}
        << "a recording runs on one client: --jobs must be 1.";
    QTest::newRow("unknown baseline update")
        << QStringList {"--update-baselines", "some", "p.json"}
        << "--update-baselines takes none, missing, changed or all.";
    // A retry would compare against the baseline its first attempt has just rewritten.
    QTest::newRow("baselines rewritten, then retried")
        << QStringList {"--update-baselines", "changed", "--retries", "1", "p.json"}
        << "--update-baselines changed cannot be combined with --retries.";
    QTest::newRow("an empty page name")
        << QStringList {"--junit", "", "p.json"} << "--junit takes a file name.";
    QTest::newRow("durations without shards")
        << QStringList {"--durations", "r.json", "p.json"}
        << "--durations takes a report.json, with --shard.";
    QTest::newRow("isolation by the minute") << QStringList {"--isolation", "minute", "p.json"}
                                             << "--isolation takes client or procedure.";
    QTest::newRow("screenshots sometimes") << QStringList {"--screenshots", "sometimes", "p.json"}
                                           << "--screenshots takes failures, all or off.";
    QTest::newRow("trace sometimes") << QStringList {"--trace", "sometimes", "p.json"}
                                     << "--trace takes on, retain-on-failure or off.";
    QTest::newRow("repeats hidden by retries")
        << QStringList {"--repeat-each", "3", "--retries", "1", "p.json"}
        << "--repeat-each cannot be combined with --retries.";
    QTest::newRow("no repeat") << QStringList {"--repeat-each", "0", "p.json"}
                               << "--repeat-each takes a whole number, 1 or more.";
    QTest::newRow("merge of nothing") << QStringList {"--merge", "out"}
                                      << "--merge takes an output folder and the report folders "
                                         "to merge.";
}

void tst_RunnerCommandLine::errors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const CommandLine line = ParseCommandLine(QStringList {"runner"} + arguments);
    QCOMPARE(line.action, CommandLine::Error);
    QCOMPARE(line.error, message);
}

void tst_RunnerCommandLine::accepted()
{
    CommandLine line = ParseCommandLine({"runner", "--record", "r.json", "--shard", "2/3",
                                         "--update-baselines", "ALL", "--jobs", "1", "a.json"});
    QCOMPARE(line.action, CommandLine::Run);
    QCOMPARE(line.options.mode, KAVAtmEnums::Recording);
    QCOMPARE(line.options.recordFile, QStringLiteral("r.json"));
    QCOMPARE(line.options.shardIndex, 2);
    QCOMPARE(line.options.shardCount, 3);
    QCOMPARE(line.options.baselineUpdate, KAVAtmExecutorBase::BaselineUpdate::All);
    QCOMPARE(line.options.procedureFiles, QStringList {"a.json"});
    // Recording needs no procedure files.
    QCOMPARE(ParseCommandLine({"runner", "--mode", "Recording"}).action, CommandLine::Run);

    line = ParseCommandLine({"runner", "--merge", "out", "s1", "s2"});
    QCOMPARE(line.action, CommandLine::Merge);
    QCOMPARE(line.mergeInto, QStringLiteral("out"));
    QCOMPARE(line.mergeFrom, (QStringList {"s1", "s2"}));

    line = ParseCommandLine({"runner", "--help"});
    QCOMPARE(line.action, CommandLine::Help);
    QVERIFY(line.help.contains("128+N  interrupted by signal N"));
}

void tst_RunnerCommandLine::baselinesInCi()
{
    // In CI a missing baseline fails unless asked for; elsewhere the first run captures it.
    using Update = KAVAtmExecutorBase::BaselineUpdate;
    const QByteArray saved = qgetenv("CI");
    for (const auto &[ci, arguments, update] :
         {std::tuple {"", QStringList(), Update::Missing},
          std::tuple {"true", QStringList(), Update::None},
          std::tuple {"1", QStringList {"--update-baselines", "missing"}, Update::Missing},
          std::tuple {"", QStringList {"--update-baselines", "NONE"}, Update::None}}) {
        qputenv("CI", ci);
        const CommandLine line = ParseCommandLine(QStringList {"runner"} + arguments << "p.json");
        QCOMPARE(line.options.baselineUpdate, update);
        QCOMPARE(line.options.baselineUpdateFromCi, arguments.isEmpty() && *ci);
    }
    qputenv("CI", saved);
}

void tst_RunnerCommandLine::shardFromTheCi_data()
{
    QTest::addColumn<QStringList>("variables"); // NAME=value
    QTest::addColumn<QString>("shard"); // "I/N", or the error
    QTest::newRow("GitLab, from 1") << QStringList {"CI_NODE_INDEX=3", "CI_NODE_TOTAL=4"} << "3/4";
    QTest::newRow("CircleCI, from 0")
        << QStringList {"CIRCLE_NODE_INDEX=0", "CIRCLE_NODE_TOTAL=2"} << "1/2";
    QTest::newRow("Buildkite") << QStringList {"BUILDKITE_PARALLEL_JOB=4",
                                               "BUILDKITE_PARALLEL_JOB_COUNT=5"}
                               << "5/5";
    QTest::newRow("Kubernetes") << QStringList {"JOB_COMPLETION_INDEX=1", "KAV_SHARD_TOTAL=3"}
                                << "2/3";
    QTest::newRow("none") << QStringList()
                          << "--shard auto: none of CI_NODE_INDEX, "
                             "CIRCLE_NODE_INDEX, BUILDKITE_PARALLEL_JOB or "
                             "JOB_COMPLETION_INDEX is set.";
    QTest::newRow("no total") << QStringList {"JOB_COMPLETION_INDEX=1"}
                              << "--shard auto: JOB_COMPLETION_INDEX is set but KAV_SHARD_TOTAL "
                                 "is not.";
    QTest::newRow("out of range, 0 is no GitLab index")
        << QStringList {"CI_NODE_INDEX=0", "CI_NODE_TOTAL=4"}
        << "--shard auto: CI_NODE_INDEX=0 is not a shard of CI_NODE_TOTAL=4.";
    QTest::newRow("not a number") << QStringList {"CIRCLE_NODE_INDEX=1", "CIRCLE_NODE_TOTAL=x"}
                                  << "--shard auto: CIRCLE_NODE_TOTAL=x is not a number of shards.";
}

void tst_RunnerCommandLine::shardFromTheCi()
{
    QFETCH(QStringList, variables);
    QFETCH(QString, shard);
    QProcessEnvironment environment;
    for (const QString &variable : variables)
        environment.insert(variable.section('=', 0, 0), variable.section('=', 1));
    int index = 0, count = 0;
    QString source, error;
    if (ShardFromEnvironment(environment, &index, &count, &source, &error)) {
        QCOMPARE(QStringLiteral("%1/%2").arg(index).arg(count), shard);
        QCOMPARE(source, variables.join(", "));
    } else {
        QCOMPARE(error, shard);
    }
}

QTEST_GUILESS_MAIN(tst_RunnerCommandLine)
#include "tst_runnercommandline.moc"
