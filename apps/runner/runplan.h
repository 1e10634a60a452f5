#ifndef RUNPLAN_H
#define RUNPLAN_H

#include "kavatmenums.h"
#include "kavatmexecutorbase.h"
#include "kavatmorchestratorconfiguration.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QHash>
#include <QtCore/QJsonArray>
#include <QtCore/QList>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QStringList>

class KAVAtmTestProcedureDef;

// Exit codes of the runner.
enum RunnerExit {
    ExitPassed = 0, // every action completed with Pass or Warning
    ExitFailed = 1, // an action failed or did not run
    ExitSetupError = 2, // usage or set-up error: nothing was run
};

struct RunnerOptions {
    QString configFile;
    QString clientName;
    KAVAtmEnums::PlatformMode mode = KAVAtmEnums::Batch;
    QString outputDir;
    int overallTimeout = 0; // seconds, 0 for none
    int connectTimeout = 60; // seconds for a launched client to register
    int grace = 30; // seconds past an action's own time-out before the client counts as silent
    bool forwardClientOutput = true;
    // Lets the recording replace an existing file that is not a procedure file.
    bool force = false;
    bool acceptBuiltInKey = false;
    // Recording mode: the procedure file the recording goes to (default:
    // <output>/recording.json).
    QString recordFile;
    // Only the procedures whose name or label contains this text (any letter case).
    QString grep;
    // Print what would run and end, launching nothing.
    bool list = false;
    // Check the procedures and end, launching nothing; with strict, warnings fail it too.
    bool check = false;
    bool strict = false;
    // Where the JUnit XML and the HTML report go, when asked for.
    QString junitFile;
    QString htmlFile;
    // A failing procedure runs again on a fresh client up to this many times.
    int retries = 0;
    // A procedure that passed only on a retry fails the run.
    bool failOnFlaky = false;
    // An earlier report.json: only the procedure files that failed or did not run in it run.
    QString lastFailedFile;
    // Each procedure runs this many times, each on a fresh client.
    int repeatEach = 1;
    // Which baselines the data of script and assertion actions writes.
    KAVAtmExecutorBase::BaselineUpdate baselineUpdate = KAVAtmExecutorBase::BaselineUpdate::Missing;
    // None was taken because the CI environment variable is set (the summary says so).
    bool baselineUpdateFromCi = false;
    // After which actions the host's windows are kept: "failures", "all" or "off".
    QString screenshots = QStringLiteral("failures");
    // Which procedure attempts keep a step trace: "off", "on" or "retain-on-failure".
    QString trace = QStringLiteral("off");
    // Host processes at once; each procedure runs whole on one of them.
    int jobs = 1;
    // Each procedure on a host of its own ("--isolation procedure"), not one after another.
    bool isolateProcedures = false;
    // This run takes shard shardIndex (from 1) of shardCount.
    int shardIndex = 1;
    int shardCount = 1;
    // Where --shard auto took them from ("CI_NODE_INDEX=3, CI_NODE_TOTAL=4"); empty otherwise.
    QString shardSource;
    // An earlier report.json whose durations deal the shards (--durations); empty: dealt round.
    QString durationsFile;
    QList<QString> procedureFiles;
};

// What a run is to do, settled before a host is launched: the configuration and its client,
// outputs that collide with nothing and can be written, the files of --last-failed and of the
// shard, the procedures of --grep, and what the check of them says. Each step prints why it
// refuses.
class RunPlan {
    Q_DECLARE_TR_FUNCTIONS(RunPlan)
public:
    explicit RunPlan(const RunnerOptions &options);

    RunnerOptions &Options() { return m_options; }
    const RunnerOptions &Options() const { return m_options; }
    const KAVAtmOrchestratorConfiguration &Configuration() const { return m_configuration; }

    // Reads the configuration and picks the client; false, with a message, when it cannot.
    bool ReadConfiguration();
    // Refuses, before anything runs, outputs that collide with each other or with an input, a
    // recording over a file that is not a procedure (unless forced), and folders that cannot
    // be written; false, with a message, for any of them.
    bool CheckPaths();
    // Actions in the recording file when the run began: a run that records nothing keeps them.
    int PreviousRecording() const { return m_previousRecording; }
    // Where a recording run writes its procedure.
    QString RecordPath() const;

    enum class Files {
        Run, // procedure files are left to load (or a --list or --check of none)
        NoneReported, // nothing to run, and nothing wrong: the reports say so
        None, // nothing to list or check
        Refused, // an input could not be read (a message was printed)
    };
    // Keeps the procedure files that failed in --last-failed's report, then this shard's.
    Files SelectFiles();
    // Creates the output folder and makes its path absolute; false, with a message, when it
    // cannot be created.
    bool MakeOutputFolder();
    // Keeps the loaded procedures --grep selects; false, with a message, when it selects none
    // of some.
    bool Select(const QList<KAVAtmTestProcedureDef *> &loaded);
    // The procedures this run is to run, after --grep.
    const QList<KAVAtmTestProcedureDef *> &Selected() const { return m_selected; }
    void PrintList() const;
    // Checks the selected files and the invalid ones given; prints every problem when all,
    // else the warnings only, which it keeps as report.json lists them. Returns the exit code
    // of a check.
    int CheckProcedures(bool all, const QStringList &invalidFiles);
    const QJsonArray &CheckWarnings() const { return m_checkWarnings; }

    // The files of shard index (from 1) of count: sorted by file name (then path) and dealt
    // round, so every file is in exactly one shard whatever the order of the arguments.
    static QStringList SelectShard(const QStringList &files, int index, int count);
    // The files of shard index of count dealt by duration: longest first, each onto the shard
    // with the least so far (ties to the lower shard, then in the order above), so that the
    // shards take about as long; a file with no duration counts as the median.
    static QStringList BalanceShard(const QStringList &files, int index, int count,
                                    const QHash<QString, double> &durations);
    // The procedure durations of a report.json (a run's or a merge's), in seconds, by file
    // path and by file name; false, with why, when it cannot be read.
    static bool ReadDurations(const QString &report, QHash<QString, double> *durations,
                              QString *error);
    // The procedure files of a report.json that failed or did not run (never started, or an
    // invalid file), by path and by file name; false, with why, when it cannot be read.
    static bool ReadLastFailed(const QString &report, QSet<QString> *files, QString *error);

private:
    RunnerOptions m_options;
    KAVAtmOrchestratorConfiguration m_configuration;
    QList<KAVAtmTestProcedureDef *> m_selected;
    int m_previousRecording = 0;
    QJsonArray m_checkWarnings;
};

#endif // RUNPLAN_H
