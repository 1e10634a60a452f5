#include "kavatmclientorchestratorconnection.h"
#include "kavatmorchestratorclient.h"
#include "kavatmorchestratorclientconnection.h"
#include "kavatmtestactiondef.h"
#include "kavatmtestactionresult.h"
#include "kavatmtestproceduredef.h"
#include "kavatmtestprocedureresult.h"
#include "kavsysexception.h"

#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>
#include <QtTest/QtTest>

#include <functional>
#include <memory>

// The client side, scripted by the test: it answers each "execute" through `answer`.
class ScriptedClient : public KAVAtmClientOrchestratorConnection {
public:
    using KAVAtmClientOrchestratorConnection::KAVAtmClientOrchestratorConnection;
    using KAVWorkConnection::SendCommand;

    void Update(const QUuid &id, QJsonObject update)
    {
        update.insert("id", id.toString(QUuid::WithBraces));
        SendCommand("actionupdate", update);
    }
};

class tst_KAVAtmOrchestratorClient : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void skipRule();
    void updates_data();
    void updates();
    void singleActionRefusedWhileInFlight();
    void completionOnlyInBatchModes_data();
    void completionOnlyInBatchModes();
    void registration();
    void unsendableActionFailsAtOnce();
    void addingTwice();
    void abortFailsWhatIsLeft();
    void handlersDuringAdvance();

private:
    KAVAtmTestProcedureResult *procedure(const QList<QJsonObject> &actions);
    // Answers every execute: Completed with the result named in the action's "expect".
    void answerByExpectation();

    QTcpServer m_server;
    QTcpSocket *m_socket = nullptr;
    ScriptedClient *m_client = nullptr;
    KAVAtmOrchestratorClientConnection *m_connection = nullptr;
    KAVAtmOrchestratorClient *m_session = nullptr;
    QList<QJsonObject> m_executed;
    std::vector<std::unique_ptr<KAVAtmTestProcedureDef>> m_definitions;
    std::vector<std::unique_ptr<KAVAtmTestProcedureResult>> m_results;
};

void tst_KAVAtmOrchestratorClient::init()
{
    QVERIFY(m_server.listen(QHostAddress::LocalHost, 0));
    m_socket = new QTcpSocket(this);
    m_client = new ScriptedClient(this, m_socket);
    connect(m_socket, &QTcpSocket::connected, m_client, &KAVWorkConnection::Authenticate);
    m_socket->connectToHost(QHostAddress::LocalHost, m_server.serverPort());
    QVERIFY(m_server.waitForNewConnection(5000));
    m_connection = new KAVAtmOrchestratorClientConnection(this, m_server.nextPendingConnection());
    m_connection->Authenticate();
    m_session = new KAVAtmOrchestratorClient(nullptr, m_connection);
    QTRY_VERIFY(m_client->IsAuthenticated() && m_connection->IsAuthenticated());
    m_executed.clear();
    connect(m_client, &KAVAtmClientOrchestratorConnection::ExecuteRequested, this,
            [this](const QUuid &id, const QJsonValue &data) {
                QJsonObject executed = data.toObject();
                executed.insert("id", id.toString(QUuid::WithBraces));
                m_executed.append(executed);
            });
}

void tst_KAVAtmOrchestratorClient::cleanup()
{
    delete m_session;
    delete m_connection;
    delete m_client;
    delete m_socket;
    m_server.close();
    m_results.clear();
    m_definitions.clear();
}

KAVAtmTestProcedureResult *
tst_KAVAtmOrchestratorClient::procedure(const QList<QJsonObject> &actions)
{
    auto definition = std::make_unique<KAVAtmTestProcedureDef>("p.json");
    for (const QJsonObject &json : actions) {
        auto *action = new KAVAtmTestActionDef;
        action->FromJson(json);
        definition->AddTestActionDef(*action, definition->GetActionsCount());
    }
    m_results.emplace_back(definition->CreateResult());
    m_definitions.push_back(std::move(definition));
    return m_results.back().get();
}

void tst_KAVAtmOrchestratorClient::answerByExpectation()
{
    connect(m_client, &KAVAtmClientOrchestratorConnection::ExecuteRequested, this,
            [this](const QUuid &id, const QJsonValue &data) {
                const int result = data["expect"].toInt(KAVAtmEnums::Pass);
                m_client->Update(id, {{"status", KAVAtmEnums::Completed}, {"result", result}});
            });
}

static QJsonObject action(const char *name, int expect = KAVAtmEnums::Pass, bool always = false)
{
    return {{"action", "TimeWait"}, {"name", name}, {"expect", expect}, {"alwaysExecute", always}};
}

void tst_KAVAtmOrchestratorClient::skipRule()
{
    answerByExpectation();
    KAVAtmTestProcedureResult *first
        = procedure({action("a"), action("b", KAVAtmEnums::Fail), action("c"),
                     action("d", KAVAtmEnums::Pass, true), action("e")});
    KAVAtmTestProcedureResult *second = procedure({action("x")});
    QSignalSpy finished(m_session, &KAVAtmOrchestratorClient::TestProcedureExecutionFinished);
    m_session->AddProcedures({first, second});
    m_session->ExecuteNextProcedure();
    QTRY_COMPARE(finished.size(), 2);

    QStringList sent;
    for (const QJsonObject &executed : m_executed)
        sent.append(executed.value("action").toString() + ":" + executed.value("name").toString());
    QCOMPARE(sent,
             QStringList({"ResetUserSetting:", "TimeWait:a", "TimeWait:b", "TimeWait:d",
                          "ResetUserSetting:", "TimeWait:x"}));
    const QList<KAVAtmTestActionResult *> results = first->GetActionResults();
    for (int skipped : {3, 5}) {
        QCOMPARE(results[skipped]->GetStatus(), KAVAtmEnums::Completed);
        QCOMPARE(results[skipped]->GetResult(), KAVAtmEnums::Unknown);
        QCOMPARE(results[skipped]->GetDetails(),
                 QStringLiteral("The action is not executed due to the previous failure."));
    }
    QCOMPARE(results[4]->GetResult(), KAVAtmEnums::Pass);
    QCOMPARE(second->GetActionResults().last()->GetResult(), KAVAtmEnums::Pass);
    QVERIFY(!m_session->IsExecuting());
}

void tst_KAVAtmOrchestratorClient::updates_data()
{
    QTest::addColumn<QJsonObject>("update");
    QTest::addColumn<bool>("ownId");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("details");

    QTest::newRow("executing updates, sends nothing")
        << QJsonObject {{"status", 1}, {"result", 1}, {"details", "d"}} << true << 1 << 1 << "d";
    QTest::newRow("completed without result keeps it")
        << QJsonObject {{"status", 3}} << true << 3 << 0 << "";
    QTest::newRow("no status is ignored") << QJsonObject {{"result", 2}} << true << 0 << 0 << "";
    QTest::newRow("other action's update is ignored")
        << QJsonObject {{"status", 3}, {"result", 2}} << false << 0 << 0 << "";
    QTest::newRow("out of range stored as it came")
        << QJsonObject {{"status", 7}, {"result", 9}} << true << 7 << 9 << "";
}

void tst_KAVAtmOrchestratorClient::updates()
{
    QFETCH(QJsonObject, update);
    QFETCH(bool, ownId);
    QFETCH(int, status);
    QFETCH(int, result);
    QFETCH(QString, details);

    KAVAtmTestProcedureResult *run = procedure({action("a"), action("b")});
    m_session->AddProcedures({run});
    m_session->ExecuteNextProcedure();
    QTRY_COMPARE(m_executed.size(), 1);
    const QUuid id = QUuid::fromString(m_executed.first().value("id").toString());
    m_client->Update(ownId ? id : QUuid::createUuid(), update);
    m_client->SendClient(1, "sync"); // a message after the update: once it is in, so is the update
    QSignalSpy registered(m_session, &KAVAtmOrchestratorClient::ClientRegistered);
    QVERIFY(registered.wait(5000));

    const KAVAtmTestActionResult *reset = run->GetActionResults().first();
    QCOMPARE(int(reset->GetStatus()), status);
    QCOMPARE(int(reset->GetResult()), result);
    QCOMPARE(reset->GetDetails(), details);
    QTRY_COMPARE(m_executed.size(), status == KAVAtmEnums::Completed ? 2 : 1);
}

void tst_KAVAtmOrchestratorClient::singleActionRefusedWhileInFlight()
{
    KAVAtmTestProcedureResult *run = procedure({action("a")});
    m_session->AddProcedures({run});
    m_session->ExecuteNextProcedure();
    KAVAtmTestActionDef def;
    KAVAtmTestActionResult single(&def, nullptr);
    try {
        m_session->ExecuteSingleAction(&single);
        QFAIL("no exception");
    } catch (const KAVSysException &e) {
        QCOMPARE(
            e.GetMessage(),
            QStringLiteral("There is running action existing, cannot execute single test action."));
    }
    QCOMPARE(single.GetStatus(), KAVAtmEnums::Pending);
}

void tst_KAVAtmOrchestratorClient::completionOnlyInBatchModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("completions");
    QTest::newRow("Batch") << int(KAVAtmEnums::Batch) << 1;
    QTest::newRow("UiBatch") << int(KAVAtmEnums::UiBatch) << 1;
    QTest::newRow("Recording") << int(KAVAtmEnums::Recording) << 0;
    QTest::newRow("ExternalBatch") << int(KAVAtmEnums::ExternalBatch) << 0;
    QTest::newRow("Undefined") << int(KAVAtmEnums::Undefined) << 0;
}

void tst_KAVAtmOrchestratorClient::completionOnlyInBatchModes()
{
    QFETCH(int, mode);
    QFETCH(int, completions);
    answerByExpectation();
    m_session->SetPlatformMode(KAVAtmEnums::PlatformMode(mode));
    QSignalSpy completed(m_session, &KAVAtmOrchestratorClient::ClientExecutionCompleted);
    QSignalSpy finished(m_session, &KAVAtmOrchestratorClient::TestProcedureExecutionFinished);
    m_session->AddProcedures({procedure({action("a")})});
    m_session->ExecuteNextProcedure();
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(completed.size(), completions);
}

void tst_KAVAtmOrchestratorClient::registration()
{
    QCOMPARE(m_session->GetDescription(),
             qMakePair(qint64(0), QStringLiteral("Unknown [Unknown]")));
    QSignalSpy registered(m_session, &KAVAtmOrchestratorClient::ClientRegistered);
    m_client->SendCommand("client", QJsonObject());
    m_client->SendCommand("client", QJsonObject {{"pid", 1099511627776.0}, {"name", "Tessaron"}});
    QVERIFY(registered.wait(5000));
    QCOMPARE(registered.size(), 1);
    QCOMPARE(m_session->GetDescription(),
             qMakePair(qint64(0), QStringLiteral("Tessaron [Unknown]")));
    // A client says who it is once: a second registration must not make it another process.
    m_client->SendClient(4242, QString());
    QVERIFY(!registered.wait(300));
    QCOMPARE(m_session->GetDescription().second, QStringLiteral("Tessaron [Unknown]"));
}

void tst_KAVAtmOrchestratorClient::unsendableActionFailsAtOnce()
{
    m_connection->SetMaximumFrameSize(1024);
    QJsonObject big = action("big");
    big.insert("payload", QString(2000, 'x'));
    KAVAtmTestProcedureResult *run = procedure({big, action("after")});
    answerByExpectation();
    QSignalSpy finished(m_session, &KAVAtmOrchestratorClient::TestProcedureExecutionFinished);
    m_session->AddProcedures({run});
    m_session->ExecuteNextProcedure();
    QVERIFY(finished.wait(5000));
    const KAVAtmTestActionResult *failed = run->GetActionResults().at(1);
    QCOMPARE(failed->GetResult(), KAVAtmEnums::Fail);
    QVERIFY2(failed->GetDetails().contains("limit 1024"), qPrintable(failed->GetDetails()));
    // It was never sent; the action after it is skipped as after any failure.
    QCOMPARE(m_executed.size(), 1);
    QCOMPARE(run->GetActionResults().at(2)->GetResult(), KAVAtmEnums::Unknown);
}

void tst_KAVAtmOrchestratorClient::addingTwice()
{
    KAVAtmTestProcedureResult *run = procedure({action("a")});
    m_session->AddProcedures({run});
    m_session->AddProcedures({run});
    const QList<KAVAtmTestActionResult *> results = run->GetActionResults();
    QCOMPARE(results.size(), 3);
    QCOMPARE(results[0]->GetActionType(), QStringLiteral("ResetUserSetting"));
    QCOMPARE(results[1]->GetActionType(), QStringLiteral("ResetUserSetting"));
    QSignalSpy started(m_session, &KAVAtmOrchestratorClient::TestProcedureExecutionStarted);
    m_session->ExecuteNextProcedure();
    m_session->Abort("stop");
    QCOMPARE(started.size(), 1); // queued once
}

void tst_KAVAtmOrchestratorClient::abortFailsWhatIsLeft()
{
    KAVAtmTestProcedureResult *first = procedure({action("a"), action("b")});
    KAVAtmTestProcedureResult *second = procedure({action("c")});
    QSignalSpy finished(m_session, &KAVAtmOrchestratorClient::TestActionExecutionFinished);
    QSignalSpy procedures(m_session, &KAVAtmOrchestratorClient::TestProcedureExecutionFinished);
    m_session->AddProcedures({first, second});
    m_session->ExecuteNextProcedure();
    QTRY_COMPARE(m_executed.size(), 1);
    m_session->Abort("The client exited.");
    QCOMPARE(finished.size(), 5); // two resets and three actions
    QCOMPARE(procedures.size(), 2);
    for (KAVAtmTestProcedureResult *run : {first, second}) {
        for (const KAVAtmTestActionResult *result : run->GetActionResults()) {
            QCOMPARE(result->GetStatus(), KAVAtmEnums::Completed);
            QCOMPARE(result->GetResult(), KAVAtmEnums::Fail);
            QCOMPARE(result->GetDetails(), QStringLiteral("The client exited."));
        }
    }
    QVERIFY(!m_session->IsExecuting());
    QTest::qWait(50);
    QCOMPARE(m_executed.size(), 1); // nothing more was sent
}

void tst_KAVAtmOrchestratorClient::handlersDuringAdvance()
{
    answerByExpectation();
    KAVAtmTestProcedureResult *first = procedure({action("a"), action("b")});
    KAVAtmTestProcedureResult *later = procedure({action("c")});
    // A procedure handed over while the first is being finished queues behind it (the
    // session still counts as executing), as the orchestrator's Execute does.
    connect(m_session, &KAVAtmOrchestratorClient::TestProcedureExecutionFinished, this,
            [&](const KAVAtmTestProcedureResult *finished) {
                if (finished != first)
                    return;
                QVERIFY(m_session->IsExecuting());
                m_session->AddProcedures({later});
            });
    // Aborting while an action's completion is announced keeps that action's verdict.
    connect(m_session, &KAVAtmOrchestratorClient::TestActionExecutionFinished, this,
            [&](const KAVAtmTestActionResult *action) {
                if (action->GetParentProcedureResult() == later
                    && action->GetActionType() == "TimeWait")
                    m_session->Abort("stopped");
            });
    QSignalSpy finished(m_session, &KAVAtmOrchestratorClient::TestProcedureExecutionFinished);
    m_session->AddProcedures({first});
    m_session->ExecuteNextProcedure();
    QTRY_COMPARE(finished.size(), 2);
    QCOMPARE(later->GetActionResults().last()->GetResult(), KAVAtmEnums::Pass);
    QVERIFY(!m_session->IsExecuting());
}

QTEST_GUILESS_MAIN(tst_KAVAtmOrchestratorClient)
#include "tst_kavatmorchestratorclient.moc"
