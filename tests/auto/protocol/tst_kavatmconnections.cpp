// The two typed sides of the runner-client connection talking to each other.

#include "kavatmclientorchestratorconnection.h"
#include "kavatmorchestratorclientconnection.h"
#include "kavatmtestactionresult.h"

#include <QtCore/QJsonArray>
#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>
#include <QtTest/QtTest>

// The runner side with its protected sender opened up, for payloads the typed senders never make.
class TestOrchestratorSide : public KAVAtmOrchestratorClientConnection {
public:
    using KAVAtmOrchestratorClientConnection::KAVAtmOrchestratorClientConnection;
    using KAVWorkConnection::SendCommand;
};

class tst_KAVAtmConnections : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void typedSenders();
    void executeAndCancel_data();
    void executeAndCancel();

private:
    QTcpServer *m_server = nullptr;
    QTcpSocket *m_clientSocket = nullptr;
    KAVAtmClientOrchestratorConnection *m_client = nullptr;
    TestOrchestratorSide *m_orchestrator = nullptr;
};

void tst_KAVAtmConnections::init()
{
    m_server = new QTcpServer(this);
    QVERIFY(m_server->listen(QHostAddress::LocalHost, 0));
    m_clientSocket = new QTcpSocket(this);
    m_client = new KAVAtmClientOrchestratorConnection(this, m_clientSocket);
    m_orchestrator = nullptr;
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        m_orchestrator = new TestOrchestratorSide(this, m_server->nextPendingConnection());
        m_orchestrator->Authenticate();
    });
    connect(m_clientSocket, &QTcpSocket::connected, m_client, &KAVWorkConnection::Authenticate);
    QSignalSpy authenticated(m_client, &KAVWorkConnection::Authenticated);
    m_clientSocket->connectToHost(QHostAddress::LocalHost, m_server->serverPort());
    QVERIFY(authenticated.wait(5000));
    QTRY_VERIFY(m_orchestrator && m_orchestrator->IsAuthenticated());
}

void tst_KAVAtmConnections::cleanup()
{
    delete m_orchestrator;
    delete m_client;
    delete m_clientSocket;
    delete m_server;
}

void tst_KAVAtmConnections::typedSenders()
{
    QSignalSpy registered(m_orchestrator, &KAVAtmOrchestratorClientConnection::ClientRegistered);
    QSignalSpy updated(m_orchestrator, &KAVAtmOrchestratorClientConnection::ActionStatusUpdated);
    QSignalSpy recorded(m_orchestrator, &KAVAtmOrchestratorClientConnection::RecordingDataReceived);
    KAVAtmTestActionResult result(nullptr, nullptr);
    result.SetStatus(KAVAtmEnums::Completed);
    result.SetResult(KAVAtmEnums::Warning);
    m_client->SendClient(4242, "Tessaron");
    m_client->SendActionUpdate(&result);
    m_client->SendActionUpdate(nullptr);
    m_client->SendRecordingData(QJsonObject {{"action", "WaitNest"}});
    QTRY_COMPARE(recorded.size(), 1);
    QCOMPARE(registered.first().first().value<QJsonValue>(),
             QJsonValue(QJsonObject {{"pid", 4242}, {"name", "Tessaron"}}));
    QCOMPARE(updated.size(), 1);
    QCOMPARE(updated.first().first().value<QJsonValue>(), QJsonValue(result.ToJson()));
    QCOMPARE(recorded.first().first().value<QJsonValue>(),
             QJsonValue(QJsonObject {{"action", "WaitNest"}}));
}

void tst_KAVAtmConnections::executeAndCancel_data()
{
    QTest::addColumn<QJsonValue>("payload");
    QTest::addColumn<QUuid>("id");
    QTest::addColumn<bool>("isCancel");
    const QUuid id = QUuid::createUuid();
    // Only an object payload carries an id; its "data" is passed on as it came.
    QTest::newRow("execute") << QJsonValue(
        QJsonObject {{"id", id.toString(QUuid::WithoutBraces)}, {"data", QJsonArray {1, "two"}}})
                             << id << false;
    QTest::newRow("execute, not an object") << QJsonValue(3.25) << QUuid() << false;
    QTest::newRow("cancel, not a text") << QJsonValue(QJsonObject {{"id", 1}}) << QUuid() << true;
    QTest::newRow("cancel") << QJsonValue(id.toString()) << id << true;
}

void tst_KAVAtmConnections::executeAndCancel()
{
    QFETCH(QJsonValue, payload);
    QFETCH(QUuid, id);
    QFETCH(bool, isCancel);
    QSignalSpy executed(m_client, &KAVAtmClientOrchestratorConnection::ExecuteRequested);
    QSignalSpy cancelled(m_client, &KAVAtmClientOrchestratorConnection::CancelRequested);
    m_orchestrator->SendCommand(isCancel ? "cancel" : "execute", payload);
    QSignalSpy &spy = isCancel ? cancelled : executed;
    QTRY_COMPARE(spy.size(), 1);
    QCOMPARE(spy.first().first().value<QUuid>(), id);
    if (!isCancel) {
        QCOMPARE(spy.first().at(1).value<QJsonValue>(), payload.toObject().value("data"));
        executed.clear();
        m_orchestrator->SendExecute(QUuid(), QJsonObject {{"action", "TimeWait"}});
        QTRY_COMPARE(executed.size(), 1);
        QCOMPARE(executed.first().at(1).value<QJsonValue>(), QJsonObject({{"action", "TimeWait"}}));
    }
}

QTEST_GUILESS_MAIN(tst_KAVAtmConnections)
#include "tst_kavatmconnections.moc"
