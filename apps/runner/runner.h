#ifndef RUNNER_H
#define RUNNER_H

#include "kavatmenums.h"
#include "kavatmexecutorbase.h"
#include "kavatmorchestratorconfiguration.h"

#include <QtCore/QDateTime>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QHash>
#include <QtCore/QJsonArray>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QSet>
#include <QtCore/QTimer>

#include <map>
#include <memory>

class HostPool;
class KAVAtmOrchestrator;
class RecordingWriter;
class KAVAtmTestProcedureDef;
class KAVAtmTestActionResult;
class KAVAtmTestProcedureResult;

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

// Runs procedures on launched clients, up to --jobs at once, handing each free client the next
// procedure, and reports: a progress line per finished action, a summary, "report.json" in the
// output folder. Never waits forever: a client that exits, falls silent or overruns is stopped
// and what it did not complete counts as failed; the procedures not handed out yet go to a
// fresh client.
class Runner : public QObject {
    Q_OBJECT
public:
    explicit Runner(const RunnerOptions &options);
    ~Runner() override;

    // Prepares the run; returns false (with a message printed) for a set-up error.
    bool Start();
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
    // Whether the failure of host pid is a retry's to decide: it took down a procedure that
    // runs again (the last one the host ran, of those ran in start order). A host that died
    // after its procedures passed stays a failure of the run.
    static bool
    IsRetriedHostFailure(qlonglong pid,
                         const QList<std::pair<qlonglong, const KAVAtmTestProcedureDef *>> &ran,
                         const QList<KAVAtmTestProcedureDef *> &retried);
    // A signal asked the run to end: the client is stopped, what it did not complete fails as
    // interrupted, the report is written, and the exit code is 128 + the signal.
    void Interrupt(int signal);

Q_SIGNALS:
    void Finished(int exitCode);

private:
    struct InvalidProcedure {
        QString file;
        QString reason;
    };

    void OnActionStarted(qlonglong pid, const KAVAtmTestActionResult *action);
    void OnActionFinished(qlonglong pid, const KAVAtmTestActionResult *action);
    void OnProcedureStarted(qlonglong pid, const KAVAtmTestProcedureResult *procedure);
    void OnProcedureFinished(qlonglong pid, const KAVAtmTestProcedureResult *procedure);
    void OnExecutionCompleted();
    void OnRecordingData(const QJsonValue &data);
    void OnRecordingStatus(qlonglong pid, int status);
    // Once recording has stopped and the procedures are done, the recording client closes.
    void StopRecordingClientWhenDone();
    // Refuses, before anything runs, outputs that collide with each other or with an input, a
    // recording over a file that is not a procedure (unless forced), and folders that cannot
    // be written; false, with a message, for any of them.
    bool CheckPaths();
    void OnClientGone(qlonglong pid);
    void Fail(const QString &message);
    // Nothing to launch (--list, an empty shard): the run passes, with its reports written when
    // reported is true; returns true for Start().
    bool FinishWithoutRunning(bool reported = false);
    // Writes report.json and the JUnit and HTML reports asked for; returns the exit code, which
    // becomes a set-up error when one could not be written.
    int WriteReports(int code);
    // What report.json holds; -1 for a run not finished yet.
    QJsonObject BuildReport(int exitCode) const;
    // Returns false, with a message printed, when the report could not be written.
    bool WriteReport(int exitCode) const;
    int Summarize() const;
    // The latest result of each selected procedure, in selection order (null: never started),
    // and how many times each ran.
    QList<const KAVAtmTestProcedureResult *> LatestResults() const;
    // Under GitHub Actions: a workflow command per failed action, and a job summary.
    static bool OnGitHub();
    void AnnotateFailure(const KAVAtmTestActionResult *action);
    void WriteStepSummary(int code) const;
    // Every run of the procedure of latest, in order: verdict, times, folder, trace and what
    // failed with its files.
    QJsonArray AttemptResults(const KAVAtmTestProcedureResult *latest) const;
    int Attempts(const KAVAtmTestProcedureDef *procedure) const;
    // Launches a fresh client for the procedures whose latest result did not pass; false when
    // there are none or no client could be launched.
    bool Retry();
    void PrintList() const;
    // Reads the configuration and picks the client; false, with a message, when it cannot.
    bool ReadConfiguration();
    // Checks the selected and the invalid procedure files; prints every problem when all, else
    // the warnings only. Returns the exit code of a check.
    int CheckProcedures(bool all);
    // Writes the JUnit or HTML form of the report; false, with a message, when it could not.
    bool WriteExtraReport(const QString &file, const QString &kind,
                          bool (*make)(QIODevice &, const QJsonObject &),
                          const QJsonObject &report) const;

    RunnerOptions m_options;
    KAVAtmOrchestrator *m_orchestrator = nullptr;
    QList<InvalidProcedure> m_invalid;
    // Clients that crashed or failed on exit, each with what happened.
    QStringList m_clientErrors;
    // The host process of each client error, by its index there (none for the run's own).
    QHash<int, qlonglong> m_clientErrorHosts;
    int m_interrupted = 0;
    int m_expectedProcedures = 0;
    QList<const KAVAtmTestProcedureResult *> m_procedures;
    // The line each action of a procedure file begins on, read once a file.
    QHash<QString, QList<int>> m_actionLines;
    // The process id of the host that ran each procedure.
    QHash<const KAVAtmTestProcedureResult *, qlonglong> m_hosts;
    // The procedures this run is to run, after --grep.
    QList<KAVAtmTestProcedureDef *> m_selected;
    KAVAtmOrchestratorConfiguration m_configuration;
    int m_attempt = 1;
    bool m_timedOut = false;
    // Client failures of attempts that were retried: told, but the retry decides.
    QStringList m_retriedClientErrors;
    int m_finishedProcedures = 0;
    qlonglong m_recordingPid = 0;
    bool m_done = false;
    QTimer m_overallTimer;
    // Writes the report of the run so far; its interval, in milliseconds, follows what one
    // write costs.
    QTimer m_reportTimer;
    int m_reportInterval = 200;
    QElapsedTimer m_elapsed;
    QDateTime m_startTime;
    std::unique_ptr<RecordingWriter> m_recording;
    HostPool *m_pool = nullptr;
    bool m_recordingStopped = false;
    // Actions in the recording file when the run began: a run that records nothing keeps them.
    int m_previousRecording = 0;
    int m_droppedRecordings = 0;
    QStringList m_baselinesWritten;
    // What the check before the run warned of, as report.json lists it.
    QJsonArray m_checkWarnings;
};

#endif // RUNNER_H
