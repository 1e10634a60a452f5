#ifndef RUNNER_H
#define RUNNER_H

#include "runplan.h"
#include "runreport.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QTimer>

#include <memory>

class HostPool;
class KAVAtmOrchestrator;
class RecordingWriter;
class KAVAtmTestProcedureDef;
class KAVAtmTestActionResult;
class KAVAtmTestProcedureResult;

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
    // A signal asked the run to end: the client is stopped, what it did not complete fails as
    // interrupted, the report is written, and the exit code is 128 + the signal.
    void Interrupt(int signal);

Q_SIGNALS:
    void Finished(int exitCode);

private:
    void OnActionStarted(qlonglong pid, const KAVAtmTestActionResult *action);
    void OnActionFinished(qlonglong pid, const KAVAtmTestActionResult *action);
    void OnProcedureStarted(qlonglong pid, const KAVAtmTestProcedureResult *procedure);
    void OnProcedureFinished(qlonglong pid, const KAVAtmTestProcedureResult *procedure);
    void OnExecutionCompleted();
    void OnRecordingData(const QJsonValue &data);
    void OnRecordingStatus(qlonglong pid, int status);
    // Once recording has stopped and the procedures are done, the recording client closes.
    void StopRecordingClientWhenDone();
    void OnClientGone(qlonglong pid);
    void Fail(const QString &message);
    // Nothing to launch (--list, an empty shard): the run passes, with its reports written when
    // reported is true; returns true for Start().
    bool FinishWithoutRunning(bool reported = false);
    // Under GitHub Actions: a workflow command per failed action.
    void AnnotateFailure(const KAVAtmTestActionResult *action);
    // Launches a fresh client for the procedures whose latest result did not pass; false when
    // there are none or no client could be launched.
    bool Retry();

    RunPlan m_plan;
    RunnerOptions &m_options;
    RunReport m_report;
    KAVAtmOrchestrator *m_orchestrator = nullptr;
    int m_expectedProcedures = 0;
    // The line each action of a procedure file begins on, read once a file.
    QHash<QString, QList<int>> m_actionLines;
    int m_attempt = 1;
    bool m_timedOut = false;
    int m_finishedProcedures = 0;
    qlonglong m_recordingPid = 0;
    bool m_done = false;
    QTimer m_overallTimer;
    // Writes the report of the run so far; its interval, in milliseconds, follows what one
    // write costs.
    QTimer m_reportTimer;
    int m_reportInterval = 200;
    QElapsedTimer m_elapsed;
    std::unique_ptr<RecordingWriter> m_recording;
    HostPool *m_pool = nullptr;
    bool m_recordingStopped = false;
    int m_droppedRecordings = 0;
};

#endif // RUNNER_H
