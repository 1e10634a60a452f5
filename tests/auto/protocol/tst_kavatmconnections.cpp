#include "kavatmclientorchestratorconnection.h"
#include "kavatmorchestratorclientconnection.h"
#include "kavatmtestactionresult.h"

#include <QtCore/QJsonArray>
#include <QtCore/QtEndian>
#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>
#include <QtTest/QtTest>

#include <memory>

// Both sides with their protected sender opened up, and optionally a wrong key.
class TestOrchestratorSide : public KAVAtmOrchestratorClientConnection {
public:
    using KAVAtmOrchestratorClientConnection::KAVAtmOrchestratorClientConnection;
    using KAVWorkConnection::SendCommand;
    QByteArray key;

protected:
    QByteArray GetAuthenticationKey() const override
    {
        return key.isEmpty() ? KAVAtmOrchestratorClientConnection::GetAuthenticationKey() : key;
    }
};

class TestClientSide : public KAVAtmClientOrchestratorConnection {
public:
    using KAVAtmClientOrchestratorConnection::KAVAtmClientOrchestratorConnection;
    using KAVWorkConnection::SendCommand;
    QByteArray key;

protected:
    QByteArray GetAuthenticationKey() const override
    {
        return key.isEmpty() ? KAVAtmClientOrchestratorConnection::GetAuthenticationKey() : key;
    }
};

class tst_KAVAtmConnections : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void clientCommands_data();
    void clientCommands();
    void executeAndCancel_data();
    void executeAndCancel();
    void unknownCommandIsDropped();
    void wrongKey_data();
    void wrongKey();
    void rawPeer_data();
    void rawPeer();
    void malformedFrameAfterAuthentication();
    void nestedLoopStillReceives();
    void reconnectAuthenticatesAgain();

private:
    void connectPair(bool authenticate = true);
    QTcpSocket *connectRaw();

    QTcpServer *m_server = nullptr;
    QTcpSocket *m_clientSocket = nullptr;
    TestClientSide *m_client = nullptr;
    TestOrchestratorSide *m_orchestrator = nullptr;
    int m_orchestratorFailures = 0;
};

void tst_KAVAtmConnections::init()
{
    m_server = new QTcpServer(this);
    QVERIFY(m_server->listen(QHostAddress::LocalHost, 0));
    m_clientSocket = new QTcpSocket(this);
    m_client = new TestClientSide(this, m_clientSocket);
    m_orchestrator = nullptr;
    m_orchestratorFailures = 0;
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        QTcpSocket *socket = m_server->nextPendingConnection();
        m_orchestrator = new TestOrchestratorSide(this, socket);
        if (property("orchestratorKey").isValid())
            m_orchestrator->key = property("orchestratorKey").toByteArray();
        m_orchestrator->SetHandshakeTimeout(500);
        connect(m_orchestrator, &KAVWorkConnection::AuthenticationFailed, this,
                [this] { ++m_orchestratorFailures; });
        m_orchestrator->Authenticate();
    });
    connect(m_clientSocket, &QTcpSocket::connected, m_client, &KAVWorkConnection::Authenticate);
}

void tst_KAVAtmConnections::cleanup()
{
    delete m_orchestrator;
    delete m_client;
    delete m_clientSocket;
    delete m_server;
    setProperty("orchestratorKey", QVariant());
}

void tst_KAVAtmConnections::connectPair(bool authenticate)
{
    QSignalSpy authenticated(m_client, &KAVWorkConnection::Authenticated);
    m_clientSocket->connectToHost(QHostAddress::LocalHost, m_server->serverPort());
    if (!authenticate)
        return;
    QVERIFY(authenticated.wait(5000));
    QTRY_VERIFY(m_orchestrator && m_orchestrator->IsAuthenticated());
}

QTcpSocket *tst_KAVAtmConnections::connectRaw()
{
    auto *raw = new QTcpSocket(this);
    raw->connectToHost(QHostAddress::LocalHost, m_server->serverPort());
    if (!raw->waitForConnected(5000))
        return nullptr;
    QDeadlineTimer deadline(5000);
    while (!m_orchestrator && !deadline.hasExpired())
        QTest::qWait(10);
    return m_orchestrator ? raw : nullptr;
}

static QList<QJsonValue> payloads()
{
    return {QJsonObject {{"pid", 42}, {"name", "Tessaron"}},
            QJsonArray {1, "two", QJsonValue::Null, QJsonObject {{"n", 1.5}}},
            QString::fromUtf8("text with \xc3\xa9 and \"quotes\""),
            3.25,
            true,
            QJsonValue(QJsonValue::Null),
            QJsonValue(QJsonValue::Undefined)};
}

static const char *const payloadNames[]
    = {"object", "array", "string", "number", "bool", "null", "undefined"};

void tst_KAVAtmConnections::clientCommands_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QJsonValue>("payload");
    const QList<QJsonValue> values = payloads();
    for (const char *command : {"client", "actionupdate", "recordingdata"}) {
        for (int i = 0; i < values.size(); ++i)
            QTest::addRow("%s %s", command, payloadNames[i]) << QByteArray(command) << values[i];
    }
}

void tst_KAVAtmConnections::clientCommands()
{
    QFETCH(QByteArray, command);
    QFETCH(QJsonValue, payload);
    connectPair();
    QSignalSpy registered(m_orchestrator, &KAVAtmOrchestratorClientConnection::ClientRegistered);
    QSignalSpy updated(m_orchestrator, &KAVAtmOrchestratorClientConnection::ActionStatusUpdated);
    QSignalSpy recorded(m_orchestrator, &KAVAtmOrchestratorClientConnection::RecordingDataReceived);
    m_client->SendCommand(command, payload);
    QTRY_COMPARE(registered.size() + updated.size() + recorded.size(), 1);
    QSignalSpy &spy = command == "client" ? registered
        : command == "actionupdate"       ? updated
                                          : recorded;
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.first().first().value<QJsonValue>(), payload);
}

void tst_KAVAtmConnections::executeAndCancel_data()
{
    QTest::addColumn<QJsonValue>("payload");
    QTest::addColumn<QUuid>("id");
    QTest::addColumn<bool>("isCancel");
    const QUuid id = QUuid::createUuid();
    const QList<QJsonValue> values = payloads();
    for (int i = 0; i < values.size(); ++i) {
        const QJsonObject execute {{"id", id.toString(QUuid::WithoutBraces)}, {"data", values[i]}};
        const bool objectData = values[i].isObject();
        // Only an object payload carries an id; any "data" is passed on as it came.
        QTest::addRow("execute data %s", payloadNames[i]) << QJsonValue(execute) << id << false;
        // A payload that is not an object has no id; its "data" reads as undefined.
        if (!objectData)
            QTest::addRow("execute payload %s", payloadNames[i]) << values[i] << QUuid() << false;
        QTest::addRow("cancel %s", payloadNames[i]) << values[i] << QUuid() << true;
    }
    QTest::addRow("cancel id") << QJsonValue(id.toString()) << id << true;
}

void tst_KAVAtmConnections::executeAndCancel()
{
    QFETCH(QJsonValue, payload);
    QFETCH(QUuid, id);
    QFETCH(bool, isCancel);
    connectPair();
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

void tst_KAVAtmConnections::unknownCommandIsDropped()
{
    connectPair();
    QSignalSpy registered(m_orchestrator, &KAVAtmOrchestratorClientConnection::ClientRegistered);
    QTest::ignoreMessage(QtWarningMsg, "KAVWorkConnection: unknown command \"Client\" ignored");
    m_client->SendCommand("Client", QJsonObject {{"pid", 1}});
    m_client->SendClient(7, "Tessaron");
    QTRY_COMPARE(registered.size(), 1);
    QCOMPARE(registered.first().first().value<QJsonValue>()["pid"].toInt(), 7);
    QVERIFY(m_orchestrator->IsAuthenticated());
}

void tst_KAVAtmConnections::wrongKey_data()
{
    QTest::addColumn<bool>("wrongClient");
    QTest::newRow("client proves a wrong key") << true;
    QTest::newRow("runner proves a wrong key") << false;
}

void tst_KAVAtmConnections::wrongKey()
{
    QFETCH(bool, wrongClient);
    const QByteArray wrong = "AAAAAAAAAAAAAAAAAAAAA";
    if (wrongClient)
        m_client->key = wrong;
    else
        setProperty("orchestratorKey", wrong);
    QSignalSpy clientFailed(m_client, &KAVWorkConnection::AuthenticationFailed);
    QSignalSpy clientAuthenticated(m_client, &KAVWorkConnection::Authenticated);
    m_client->SendClient(1, "queued before authentication");
    connectPair(false);
    QTRY_VERIFY(m_orchestrator);
    QSignalSpy registered(m_orchestrator, &KAVAtmOrchestratorClientConnection::ClientRegistered);
    QTRY_COMPARE(clientFailed.size(), 1);
    QTRY_COMPARE(m_orchestratorFailures, 1);
    QTest::qWait(50);
    QCOMPARE(registered.size(), 0);
    QCOMPARE(clientAuthenticated.size(), 0);
    QVERIFY(!m_orchestrator->IsAuthenticated());
    QVERIFY(!m_client->IsAuthenticated());
}

void tst_KAVAtmConnections::rawPeer_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("error");

    QByteArray command("\x03\x06"
                       "client"
                       R"([{"pid":1}])");
    QByteArray framed(4, 0);
    qToBigEndian<quint32>(quint32(command.size()), framed.data());
    QTest::newRow("command before authentication")
        << framed + command << int(KAVWorkConnection::ProtocolError);
    QTest::newRow("garbage") << QByteArray("GET / HTTP/1.1\r\n\r\n")
                             << int(KAVWorkConnection::FrameTooLargeError);
    QTest::newRow("huge length prefix")
        << QByteArray("\x7f\xff\xff\xf0\x01", 5) << int(KAVWorkConnection::FrameTooLargeError);
    QTest::newRow("empty frame") << QByteArray(4, 0) << int(KAVWorkConnection::ProtocolError);
    QTest::newRow("bad greeting") << QByteArray("\x00\x00\x00\x02\x01\x01", 6)
                                  << int(KAVWorkConnection::ProtocolError);
    QTest::newRow("truncated frame, then silence") << QByteArray("\x00\x00\x00\x22\x01\x01\x02", 7)
                                                   << int(KAVWorkConnection::HandshakeTimeoutError);
    QTest::newRow("silence") << QByteArray() << int(KAVWorkConnection::HandshakeTimeoutError);
}

void tst_KAVAtmConnections::rawPeer()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, error);
    QTcpSocket *raw = connectRaw();
    QVERIFY(raw);
    QSignalSpy registered(m_orchestrator, &KAVAtmOrchestratorClientConnection::ClientRegistered);
    QSignalSpy disconnected(raw, &QTcpSocket::disconnected);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("KAVWorkConnection: .*"));
    raw->write(bytes);
    QVERIFY(disconnected.wait(5000));
    QCOMPARE(int(m_orchestrator->GetError()), error);
    QCOMPARE(m_orchestratorFailures, 1);
    QCOMPARE(registered.size(), 0);
    delete raw;
}

void tst_KAVAtmConnections::malformedFrameAfterAuthentication()
{
    connectPair();
    QSignalSpy errors(m_orchestrator, &KAVWorkConnection::ErrorOccurred);
    QSignalSpy updated(m_orchestrator, &KAVAtmOrchestratorClientConnection::ActionStatusUpdated);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("KAVWorkConnection: .*"));
    m_client->SendCommand("actionupdate", 1);
    // A valid frame header around a payload that is not JSON.
    m_clientSocket->write(QByteArray("\x00\x00\x00\x06\x03\x01x{{{", 10));
    m_client->SendCommand("actionupdate", 2);
    QTRY_COMPARE(errors.size(), 1);
    QCOMPARE(m_orchestrator->GetError(), KAVWorkConnection::ProtocolError);
    QTRY_COMPARE(updated.size(), 1); // what came before the bad frame is still delivered
    QTRY_COMPARE(m_clientSocket->state(), QAbstractSocket::UnconnectedState);
}

void tst_KAVAtmConnections::nestedLoopStillReceives()
{
    connectPair();
    QList<int> order;
    connect(m_client, &KAVAtmClientOrchestratorConnection::ExecuteRequested, this,
            [&](const QUuid &, const QJsonValue &data) {
                const int n = data["n"].toInt();
                order.append(n);
                if (n != 1)
                    return;
                QEventLoop loop;
                QTimer::singleShot(5000, &loop, &QEventLoop::quit);
                connect(m_client, &KAVAtmClientOrchestratorConnection::ExecuteRequested, &loop,
                        &QEventLoop::quit);
                loop.exec();
                order.append(-1);
            });
    m_orchestrator->SendExecute(QUuid::createUuid(), {{"n", 1}});
    m_orchestrator->SendExecute(QUuid::createUuid(), {{"n", 2}});
    QTRY_COMPARE(order, QList<int>({1, 2, -1}));
}

void tst_KAVAtmConnections::reconnectAuthenticatesAgain()
{
    connectPair();
    QPointer<TestOrchestratorSide> first = m_orchestrator;
    m_orchestrator->GetSocket()->abort();
    QTRY_COMPARE(m_clientSocket->state(), QAbstractSocket::UnconnectedState);
    QVERIFY(!m_client->IsAuthenticated());

    m_client->SendClient(99, "sent while disconnected");
    connectPair();
    QVERIFY(m_orchestrator != first);
    QSignalSpy registered(m_orchestrator, &KAVAtmOrchestratorClientConnection::ClientRegistered);
    QTRY_COMPARE(registered.size(), 1);
    QCOMPARE(registered.first().first().value<QJsonValue>()["pid"].toInt(), 99);
    delete first;
}

QTEST_GUILESS_MAIN(tst_KAVAtmConnections)
#include "tst_kavatmconnections.moc"
