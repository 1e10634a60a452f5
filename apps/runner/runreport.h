#ifndef RUNREPORT_H
#define RUNREPORT_H

#include "runplan.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDateTime>
#include <QtCore/QHash>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonObject>
#include <QtCore/QList>
#include <QtCore/QStringList>

#include <functional>
#include <utility>

class KAVAtmTestProcedureDef;
class KAVAtmTestProcedureResult;
class QIODevice;

// The record of a run as it goes (the procedures begun and on which host, the invalid files,
// the host failures, the baselines written) and everything made from it in report.json's
// shape: the report itself, the JUnit and HTML pages written from it, and the summary.
class RunReport {
    Q_DECLARE_TR_FUNCTIONS(RunReport)
public:
    // Options are read when the report is made, so they are the plan's as it settles them.
    explicit RunReport(const RunnerOptions &options);

    void SetStartTime(const QDateTime &time) { m_startTime = time; }
    void SetSelected(const QList<KAVAtmTestProcedureDef *> &selected) { m_selected = selected; }
    void SetCheckWarnings(const QJsonArray &warnings) { m_checkWarnings = warnings; }
    // Where the result files of an attempt are (the result writer's folder).
    void SetFolders(std::function<QString(const KAVAtmTestProcedureResult *)> folder)
    {
        m_folder = std::move(folder);
    }

    void ProcedureStarted(const KAVAtmTestProcedureResult *procedure, qlonglong host);
    void AddInvalid(const QString &file, const QString &reason);
    QStringList InvalidFiles() const;
    // A host that crashed or failed on exit (host 0: the run's own failure).
    void AddClientError(const QString &line, qlonglong host = 0);
    void AddBaselineWritten(const QString &path);
    void SetInterrupted(int signal) { m_interrupted = signal; }
    int Interrupted() const { return m_interrupted; }

    // The selected procedures whose latest result did not pass.
    QList<KAVAtmTestProcedureDef *> Failing() const;
    // Before a retry of failing: a host failure that took down a procedure that runs again is
    // told in the summary, but the retry decides.
    void SetAsideRetriedClientErrors(const QList<KAVAtmTestProcedureDef *> &failing);
    // Whether the failure of host pid is a retry's to decide: it took down a procedure that
    // runs again (the last one the host ran, of those ran in start order). A host that died
    // after its procedures passed stays a failure of the run.
    static bool
    IsRetriedHostFailure(qlonglong pid,
                         const QList<std::pair<qlonglong, const KAVAtmTestProcedureDef *>> &ran,
                         const QList<KAVAtmTestProcedureDef *> &retried);
    // Read as the reports read it, from the verdicts alone (not the data, which may be large).
    static bool Passed(const KAVAtmTestProcedureResult *procedure);

    // What report.json holds; -1 for a run not finished yet.
    QJsonObject Build(int exitCode) const;
    // Returns false, with a message printed, when report.json could not be written.
    bool Write(int exitCode) const;
    // Writes report.json and the JUnit and HTML reports asked for; returns the exit code, which
    // becomes a set-up error when one could not be written (128 + the signal when interrupted).
    int WriteAll(int code) const;
    // Prints the summary of the run and returns its exit code (from what the report holds).
    int Summarize(double seconds) const;

private:
    // The latest result of each selected procedure, in selection order (null: never started).
    QList<const KAVAtmTestProcedureResult *> LatestResults() const;
    int Attempts(const KAVAtmTestProcedureDef *procedure) const;
    // Every run of the procedure of latest, in order: verdict, times, folder, trace and what
    // failed with its files.
    QJsonArray AttemptResults(const KAVAtmTestProcedureResult *latest) const;
    // Under GitHub Actions, the job summary.
    void WriteStepSummary(int code) const;
    // Writes the JUnit or HTML form of the report; false, with a message, when it could not.
    bool WriteExtraReport(const QString &file, const QString &kind,
                          bool (*make)(QIODevice &, const QJsonObject &),
                          const QJsonObject &report) const;

    struct InvalidProcedure {
        QString file;
        QString reason;
    };

    const RunnerOptions &m_options;
    QDateTime m_startTime;
    QList<KAVAtmTestProcedureDef *> m_selected;
    QList<const KAVAtmTestProcedureResult *> m_procedures;
    // The process id of the host that ran each procedure.
    QHash<const KAVAtmTestProcedureResult *, qlonglong> m_hosts;
    QList<InvalidProcedure> m_invalid;
    // Hosts that crashed or failed on exit, each with what happened.
    QStringList m_clientErrors;
    // The host process of each client error, by its index there (none for the run's own).
    QHash<int, qlonglong> m_clientErrorHosts;
    // Client failures of attempts that were retried: told, but the retry decides.
    QStringList m_retriedClientErrors;
    QStringList m_baselinesWritten;
    QJsonArray m_checkWarnings;
    int m_interrupted = 0;
    std::function<QString(const KAVAtmTestProcedureResult *)> m_folder;
};

#endif // RUNREPORT_H
