#ifndef KAVATMORCHESTRATOR_P_H
#define KAVATMORCHESTRATOR_P_H

#include "kavatmclientlauncher_p.h"
#include "kavatmclientregistry_p.h"
#include "kavatmorchestrator.h"
#include "kavatmresultwriter_p.h"
#include "kavatmprotocol_p.h"
#include "kavatmtracewriter_p.h"

#include <QtCore/QHash>
#include <QtCore/QObject>

#include <memory>
#include <optional>
#include <vector>

class KAVAtmOrchestratorClient;
class QProcess;

// What runs are made of: the procedure definitions loaded and every result made from them.
// Results go first: they refer to their definitions.
class KAVAtmProcedureStore {
public:
    void Add(std::unique_ptr<KAVAtmTestProcedureDef> definition);
    QList<KAVAtmTestProcedureDef *> GetDefinitions() const;
    // Fresh results of the procedures, kept here as long as the store; each numbered as the
    // next attempt of its procedure.
    QList<KAVAtmTestProcedureResult *>
    CreateResults(const QList<KAVAtmTestProcedureDef *> &procedures);

private:
    std::vector<std::unique_ptr<KAVAtmTestProcedureDef>> m_definitions;
    std::vector<std::unique_ptr<KAVAtmTestProcedureResult>> m_results;
    QHash<const KAVAtmTestProcedureDef *, int> m_runs;
};

// The orchestrator's run: which client runs what, and what becomes of its results. Starting
// programs belongs to the launcher, telling which session speaks for which program to the
// registry, result files and baselines to the result writer.
class KAVAtmOrchestratorPrivate : public QObject {
    Q_OBJECT
public:
    explicit KAVAtmOrchestratorPrivate(KAVAtmOrchestrator *owner);
    ~KAVAtmOrchestratorPrivate() override;

    void Kill(QProcess *process);
    // Fails what the launch of the process has outstanding, with or without a session.
    void AbortLaunch(QProcess *process, const QString &reason);

    KAVAtmOrchestrator *const owner;
    KAVAtmClientLauncher *launcher = nullptr;
    KAVAtmClientRegistry *registry = nullptr;
    KAVAtmResultWriter writer;
    KAVAtmProcedureStore store;
    std::unique_ptr<KAVAtmTestActionDef> pendingControlDef;
    std::unique_ptr<KAVAtmTestActionResult> pendingControl;
    KAVAtmProtocol::ScreenshotMode screenshots = KAVAtmProtocol::ScreenshotMode::Failures;
    KAVAtmTraceWriter trace;
    // A failed action's report carries at most this many of the host's lines.
    static constexpr int LogLinesPerAction = 50;
    // Where each running action's host output begins, in the host's count of lines.
    QHash<const KAVAtmTestActionResult *, qint64> logStart;

private:
    void OnSessionOpened(KAVAtmOrchestratorClient *client);
    void OnSessionRegistered(KAVAtmOrchestratorClient *client, QProcess *process);
    void OnProcessStarted(QProcess *process);
    void OnProcessFinished(QProcess *process, int exitCode, bool crashed);
    void FinishProcess(QProcess *process, const QString &reason);
    // The one way a finished action reaches the caller: its files first, then the signal.
    void OnActionFinished(qint64 pid, KAVAtmTestActionResult *action);
    void FailOutstanding(const ClientLaunchInfo &launch, const QString &reason, bool unstarted);
    void OnActionStarted(qint64 pid, const KAVAtmTestActionResult *action);
    void OnProcedureStarted(qint64 pid, KAVAtmTestProcedureResult *procedure);
    // The trace ended (and named in the procedure's result) before the caller hears of it.
    void OnProcedureFinished(qint64 pid, KAVAtmTestProcedureResult *procedure);
    // The host's output while the action ran (its last lines), when a failure or the trace
    // wants it; nothing when it was not read.
    std::optional<QStringList> HostLines(qint64 pid, const KAVAtmTestActionResult *action);
};

#endif // KAVATMORCHESTRATOR_P_H
