#include "hostpool.h"

#include <algorithm>
#include <limits>

int TimerInterval(qint64 seconds)
{
    return int(std::clamp<qint64>(seconds * 1000, 0, std::numeric_limits<int>::max()));
}

HostPool::HostPool(Orchestrator orchestrator, int jobs, int connectTimeout, int grace,
                   QObject *parent)
    : QObject(parent), m_orchestrator(std::move(orchestrator)), m_jobs(jobs),
      m_connectTimeout(connectTimeout), m_grace(grace)
{
}

HostPool::~HostPool() = default;

void HostPool::SetPending(const QList<KAVAtmTestProcedureDef *> &procedures)
{
    m_pending = procedures;
}

void HostPool::Stop()
{
    m_stopped = true;
    for (const auto &[pid, host] : m_hosts) {
        host->silence.stop();
        host->connect.stop();
    }
}

void HostPool::Clear()
{
    m_hosts.clear();
}

HostPool::Host *HostPool::Find(qint64 pid) const
{
    const auto it = m_hosts.find(pid);
    return it == m_hosts.end() ? nullptr : it->second.get();
}

QString HostPool::Tag(qint64 pid) const
{
    const Host *host = m_jobs > 1 ? Find(pid) : nullptr;
    return host ? QStringLiteral("[host %1] ").arg(host->slot) : QString();
}

bool HostPool::Launch(const QList<KAVAtmTestProcedureDef *> &procedures)
{
    qint64 pid = 0;
    if (!m_orchestrator.start(procedures, &pid))
        return false;
    auto host = std::make_unique<Host>();
    host->pid = pid;
    for (int slot = 1; host->slot == 0; ++slot) {
        if (std::none_of(m_hosts.cbegin(), m_hosts.cend(),
                         [slot](const auto &entry) { return entry.second->slot == slot; }))
            host->slot = slot;
    }
    Host *raw = host.get();
    raw->silence.setSingleShot(true);
    raw->connect.setSingleShot(true);
    connect(&raw->silence, &QTimer::timeout, this, [this, raw] {
        raw->lost = true;
        m_orchestrator.abort(
            raw->pid,
            tr("The client sent nothing for %1 s past the action's time-out "
               "of %2 s; it was stopped.")
                .arg(QString::number(m_grace), QString::number(raw->actionTimeout)));
    });
    connect(&raw->connect, &QTimer::timeout, this, [this, raw] {
        if (raw->connected)
            return;
        m_launchFailed = true;
        raw->lost = true;
        m_orchestrator.abort(raw->pid,
                             tr("The client did not connect within %1 s.").arg(m_connectTimeout));
    });
    raw->connect.start(TimerInterval(m_connectTimeout));
    m_hosts[pid] = std::move(host);
    return true;
}

bool HostPool::Dispatch()
{
    while (!m_pending.isEmpty() && int(m_hosts.size()) < m_jobs && !m_stopped && !m_launchFailed) {
        KAVAtmTestProcedureDef *next = m_pending.takeFirst();
        if (!Launch({next})) {
            m_pending.prepend(next);
            return false;
        }
    }
    return true;
}

void HostPool::Connected(qint64 pid)
{
    if (Host *host = Find(pid)) {
        host->connected = true;
        host->connect.stop();
    }
}

void HostPool::ActionStarted(qint64 pid, qint64 timeout)
{
    Host *host = Find(pid);
    if (!host)
        return;
    // The client ends an action at its own time-out; silence past that and the grace means
    // the client is stuck.
    if (timeout > 0 && !m_stopped) {
        host->actionTimeout = timeout;
        host->silence.start(TimerInterval(timeout + m_grace));
    } else {
        host->silence.stop();
    }
}

void HostPool::ActionFinished(qint64 pid)
{
    if (Host *host = Find(pid))
        host->silence.stop();
}

bool HostPool::ProcedureFinished(qint64 pid)
{
    Host *host = Find(pid);
    if (!host || host->lost || m_pending.isEmpty() || m_stopped || m_isolated)
        return false;
    if (m_orchestrator.execute(pid, m_pending.first())) {
        m_pending.removeFirst();
        return true;
    }
    host->lost = true;
    return false;
}

bool HostPool::Gone(qint64 pid)
{
    if (m_hosts.erase(pid) == 0)
        return true;
    if (!Dispatch()) {
        m_launchFailed = true;
        return false;
    }
    return true;
}
