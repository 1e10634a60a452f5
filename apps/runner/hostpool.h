#ifndef HOSTPOOL_H
#define HOSTPOOL_H

#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QTimer>

#include <functional>
#include <map>
#include <memory>

class KAVAtmTestProcedureDef;

// A timer's interval for a number of seconds, clamped to what a QTimer takes.
int TimerInterval(qint64 seconds);

// The hosts a run has launched, up to its number of jobs at once, and the procedures waiting
// for one. A host that finishes a procedure takes the next waiting one; a host that goes makes
// room for a fresh one. A host that does not connect in time, or sends nothing past its
// action's time-out and the grace, is aborted; after a host that never connected no more are
// launched (the next would fare no better).
class HostPool : public QObject {
    Q_OBJECT
public:
    // What the pool asks of the orchestrator: the runner passes its own, tests their stand-ins.
    struct Orchestrator {
        // Launches a host for the procedures; false when it could not be started.
        std::function<bool(const QList<KAVAtmTestProcedureDef *> &, qint64 *pid)> start;
        // Queues the procedure on a running host; false when the host takes no more work.
        std::function<bool(qint64 pid, KAVAtmTestProcedureDef *)> execute;
        std::function<void(qint64 pid, const QString &reason)> abort;
    };

    // Time-outs in seconds.
    HostPool(Orchestrator orchestrator, int jobs, int connectTimeout, int grace,
             QObject *parent = nullptr);
    ~HostPool() override;

    void SetPending(const QList<KAVAtmTestProcedureDef *> &procedures);
    QList<KAVAtmTestProcedureDef *> GetPending() const { return m_pending; }
    // Once stopped (the run is done, interrupted or out of time) no host is launched and none
    // is handed more work, and the timers are off.
    void Stop();
    bool IsEmpty() const { return m_hosts.empty(); }
    void Clear();
    bool HasLaunchFailed() const { return m_launchFailed; }
    // Each procedure on a fresh host: a host takes no second one.
    void SetIsolated(bool isolated) { m_isolated = isolated; }
    void ClearLaunchFailed() { m_launchFailed = false; }

    // One host for the procedures (none: it runs what it is given later, or records).
    bool Launch(const QList<KAVAtmTestProcedureDef *> &procedures);
    // Launches a host for each waiting procedure while there is room; false when one could not
    // be launched (the procedure keeps waiting).
    bool Dispatch();

    // "[host N] " when several run at once, for the lines about the host.
    QString Tag(qint64 pid) const;
    void Connected(qint64 pid);
    // An action with a time-out (seconds, 0: none) started on the host.
    void ActionStarted(qint64 pid, qint64 timeout);
    void ActionFinished(qint64 pid);
    // The host finished a procedure: true when it took the next waiting one. A host that
    // refuses it takes no more, and the procedure goes to a fresh host once this one has gone.
    bool ProcedureFinished(qint64 pid);
    // The host has gone: the room it leaves is taken by a fresh host for what waits. False when
    // that host could not be launched; no more are then.
    bool Gone(qint64 pid);

private:
    struct Host {
        int slot = 0; // 1..jobs, named in the lines about it
        qint64 pid = 0;
        bool connected = false;
        // Aborted, or refused work: it takes no more procedures.
        bool lost = false;
        qint64 actionTimeout = 0;
        QTimer silence;
        QTimer connect;
    };
    Host *Find(qint64 pid) const;

    const Orchestrator m_orchestrator;
    const int m_jobs;
    const int m_connectTimeout;
    const int m_grace;
    QList<KAVAtmTestProcedureDef *> m_pending;
    std::map<qint64, std::unique_ptr<Host>> m_hosts;
    bool m_launchFailed = false;
    bool m_stopped = false;
    bool m_isolated = false;
};

#endif // HOSTPOOL_H
