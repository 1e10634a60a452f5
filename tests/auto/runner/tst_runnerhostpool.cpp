// The runner's hosts: how many run at once, which takes the next procedure, what happens to a
// host that refuses work, goes or never connects. The orchestrator is a stand-in that records
// what it was asked.

#include "hostpool.h"
#include "kavatmtestproceduredef.h"

#include <QtTest/QtTest>

class tst_RunnerHostPool : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void freeHostsTakeTheNextProcedure();
    void aHostThatRefusesWorkIsReplaced();
    void aHostThatNeverConnectsEndsTheLaunches();

private:
    std::unique_ptr<HostPool> pool(int jobs, int connectTimeout = 60);

    std::vector<std::unique_ptr<KAVAtmTestProcedureDef>> m_defs;
    QList<KAVAtmTestProcedureDef *> m_procedures;
    QStringList m_calls;
    qint64 m_nextPid = 100;
    bool m_startFails = false;
    bool m_executeFails = false;
};

void tst_RunnerHostPool::init()
{
    for (int i = 0; i < 4; ++i) {
        m_defs.push_back(
            std::make_unique<KAVAtmTestProcedureDef>(QStringLiteral("p%1.json").arg(i)));
        m_procedures.append(m_defs.back().get());
    }
}

void tst_RunnerHostPool::cleanup()
{
    m_procedures.clear();
    m_defs.clear();
    m_calls.clear();
    m_nextPid = 100;
    m_startFails = m_executeFails = false;
}

std::unique_ptr<HostPool> tst_RunnerHostPool::pool(int jobs, int connectTimeout)
{
    const auto name = [this](KAVAtmTestProcedureDef *procedure) {
        return QStringLiteral("p%1").arg(m_procedures.indexOf(procedure));
    };
    HostPool::Orchestrator orchestrator;
    orchestrator.start
        = [this, name](const QList<KAVAtmTestProcedureDef *> &procedures, qint64 *pid) {
              if (m_startFails)
                  return false;
              *pid = m_nextPid++;
              m_calls << QStringLiteral("start %1 %2").arg(*pid).arg(name(procedures.value(0)));
              return true;
          };
    orchestrator.execute = [this, name](qint64 pid, KAVAtmTestProcedureDef *procedure) {
        m_calls << QStringLiteral("execute %1 %2").arg(pid).arg(name(procedure));
        return !m_executeFails;
    };
    orchestrator.abort = [this](qint64 pid, const QString &reason) {
        m_calls << QStringLiteral("abort %1 %2").arg(QString::number(pid), reason);
    };
    return std::make_unique<HostPool>(orchestrator, jobs, connectTimeout, 1);
}

void tst_RunnerHostPool::freeHostsTakeTheNextProcedure()
{
    const auto hosts = pool(2);
    hosts->SetPending(m_procedures);
    QVERIFY(hosts->Dispatch());
    QCOMPARE(m_calls, QStringList({"start 100 p0", "start 101 p1"}));
    QCOMPARE(hosts->Tag(101), "[host 2] ");
    QCOMPARE(hosts->Tag(999), QString());
    // The host that is free first takes the next one; the other is not launched again.
    QVERIFY(hosts->ProcedureFinished(101));
    QVERIFY(hosts->ProcedureFinished(100));
    QVERIFY(!hosts->ProcedureFinished(101));
    QCOMPARE(m_calls.mid(2), QStringList({"execute 101 p2", "execute 100 p3"}));
    QVERIFY(hosts->GetPending().isEmpty());
    // One host at a time names none.
    QCOMPARE(pool(1)->Tag(100), QString());

    // Isolated, a free host takes nothing: the next procedure waits for a fresh one.
    m_calls.clear();
    const auto isolated = pool(1);
    isolated->SetIsolated(true);
    isolated->SetPending(m_procedures.mid(0, 2));
    QVERIFY(isolated->Dispatch());
    QVERIFY(!isolated->ProcedureFinished(102));
    QVERIFY(isolated->Gone(102));
    QCOMPARE(m_calls, QStringList({"start 102 p0", "start 103 p1"}));
}

void tst_RunnerHostPool::aHostThatRefusesWorkIsReplaced()
{
    const auto hosts = pool(2);
    hosts->SetPending(m_procedures.mid(0, 3));
    QVERIFY(hosts->Dispatch());
    m_executeFails = true;
    QVERIFY(!hosts->ProcedureFinished(100));
    // Lost: offered nothing more, and its procedure waits for the room it leaves.
    QVERIFY(!hosts->ProcedureFinished(100));
    QCOMPARE(m_calls.filter("execute").size(), 1);
    QCOMPARE(hosts->GetPending().size(), 1);
    QVERIFY(hosts->Gone(100));
    QCOMPARE(m_calls.last(), "start 102 p2");
    QCOMPARE(hosts->Tag(102), "[host 1] ");
    // A host that cannot be launched leaves the procedure waiting and says so.
    hosts->SetPending(m_procedures.mid(3));
    m_startFails = true;
    QVERIFY(!hosts->Gone(101));
    QCOMPARE(hosts->GetPending().size(), 1);
    // A stopped run hands out nothing.
    m_startFails = m_executeFails = false;
    hosts->Stop();
    QVERIFY(!hosts->ProcedureFinished(102));
    QVERIFY(hosts->Dispatch());
    QCOMPARE(m_calls.last(), "start 102 p2");
}

void tst_RunnerHostPool::aHostThatNeverConnectsEndsTheLaunches()
{
    const auto hosts = pool(2, 0);
    hosts->SetPending(m_procedures);
    QVERIFY(hosts->Dispatch());
    hosts->Connected(101);
    QTRY_VERIFY(hosts->HasLaunchFailed());
    QCOMPARE(m_calls.last(), "abort 100 The client did not connect within 0 s.");
    QCOMPARE(m_calls.filter("abort").size(), 1);
    // The next would fare no better: its room is not taken.
    QVERIFY(hosts->Gone(100));
    QCOMPARE(m_calls.filter("start").size(), 2);
    hosts->ClearLaunchFailed();
    QVERIFY(hosts->Dispatch());
    QCOMPARE(m_calls.filter("start").size(), 3);
}

QTEST_GUILESS_MAIN(tst_RunnerHostPool)
#include "tst_runnerhostpool.moc"
