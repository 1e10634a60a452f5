// The authenticated command channel on its own: framing, handshake, hostile peers.

#include "kavworkconnection.h"

#include <QtCore/QJsonObject>
#include <QtCore/QtEndian>
#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>
#include <QtTest/QtTest>

namespace {

const QByteArray KeyA = "first key of the pair";
const QByteArray KeyB = "second key of the pair";

// One side of the channel: proves its key, checks the peer's, and takes only "hello" and
// "work" commands.
class TestConnection : public KAVWorkConnection {
    Q_OBJECT
public:
    TestConnection(QObject *parent, QTcpSocket *socket, QByteArray key, QByteArray peerKey)
        : KAVWorkConnection(parent, socket), key(std::move(key)), peerKey(std::move(peerKey))
    {
    }
    using KAVWorkConnection::SendCommand;
    using KAVWorkConnection::SetProofAfterPeer;

    QByteArray key;
    QByteArray peerKey;
    // When set: the keys the peer may prove, and this side's key for each.
    QList<QByteArray> peerKeys;
    QList<QByteArray> keysByPeer;

Q_SIGNALS:
    void Received(QByteArray command, QJsonValue data);

protected:
    bool ReceiveCommand(const QByteArray &command, const QJsonValue &data) override
    {
        if (command != "hello" && command != "work")
            return false;
        Q_EMIT Received(command, data);
        return true;
    }
    QByteArray GetAuthenticationKey() const override
    {
        return keysByPeer.isEmpty() ? key : keysByPeer.value(GetPeerKeyIndex());
    }
    QByteArray GetPeerAuthenticationKey() const override { return peerKey; }
    QList<QByteArray> GetPeerAuthenticationKeys() const override
    {
        return peerKeys.isEmpty() ? KAVWorkConnection::GetPeerAuthenticationKeys() : peerKeys;
    }
};

QByteArray framed(const QByteArray &body)
{
    QByteArray bytes(4, 0);
    qToBigEndian<quint32>(quint32(body.size()), bytes.data());
    return bytes + body;
}

} // namespace

class tst_KAVWorkConnection : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void payloadsArriveAsSent_data();
    void payloadsArriveAsSent();
    void unknownCommandIsDropped();
    void wrongKey_data();
    void wrongKey();
    void rawPeer_data();
    void rawPeer();
    void malformedFrameAfterAuthentication();
    void nestedLoopStillReceives();
    void reconnectAuthenticatesAgain();
    void oneOfSeveralPeerKeys_data();
    void oneOfSeveralPeerKeys();
    void unreadDataAreBounded();

private:
    void connectPair(bool authenticate = true);
    QTcpSocket *connectRaw();

    QTcpServer *m_server = nullptr;
    QTcpSocket *m_clientSocket = nullptr;
    TestConnection *m_client = nullptr;
    TestConnection *m_serverSide = nullptr;
    QByteArray m_serverKey;
    int m_serverFailures = 0;
};

void tst_KAVWorkConnection::init()
{
    m_server = new QTcpServer(this);
    QVERIFY(m_server->listen(QHostAddress::LocalHost, 0));
    m_clientSocket = new QTcpSocket(this);
    m_client = new TestConnection(this, m_clientSocket, KeyA, KeyB);
    m_serverSide = nullptr;
    m_serverKey = KeyB;
    m_serverFailures = 0;
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        m_serverSide
            = new TestConnection(this, m_server->nextPendingConnection(), m_serverKey, KeyA);
        m_serverSide->SetHandshakeTimeout(500);
        connect(m_serverSide, &KAVWorkConnection::AuthenticationFailed, this,
                [this] { ++m_serverFailures; });
        m_serverSide->Authenticate();
    });
    connect(m_clientSocket, &QTcpSocket::connected, m_client, &KAVWorkConnection::Authenticate);
}

void tst_KAVWorkConnection::cleanup()
{
    delete m_serverSide;
    delete m_client;
    delete m_clientSocket;
    delete m_server;
}

void tst_KAVWorkConnection::connectPair(bool authenticate)
{
    QSignalSpy authenticated(m_client, &KAVWorkConnection::Authenticated);
    m_clientSocket->connectToHost(QHostAddress::LocalHost, m_server->serverPort());
    if (!authenticate)
        return;
    QVERIFY(authenticated.wait(5000));
    QTRY_VERIFY(m_serverSide && m_serverSide->IsAuthenticated());
}

QTcpSocket *tst_KAVWorkConnection::connectRaw()
{
    auto *raw = new QTcpSocket(this);
    raw->connectToHost(QHostAddress::LocalHost, m_server->serverPort());
    if (!raw->waitForConnected(5000))
        return nullptr;
    return QTest::qWaitFor([this] { return bool(m_serverSide); }, 5000) ? raw : nullptr;
}

void tst_KAVWorkConnection::payloadsArriveAsSent_data()
{
    QTest::addColumn<QJsonValue>("payload");
    QTest::newRow("object") << QJsonValue(QJsonObject {{"pid", 42}, {"name", "Tessaron"}});
    QTest::newRow("array") << QJsonValue(QJsonArray {1, "two", QJsonValue::Null});
    QTest::newRow("string") << QJsonValue(QString::fromUtf8("\xc3\xa9 and \"quotes\""));
    QTest::newRow("number") << QJsonValue(3.25);
    QTest::newRow("bool") << QJsonValue(true);
    QTest::newRow("null") << QJsonValue(QJsonValue::Null);
    QTest::newRow("undefined") << QJsonValue(QJsonValue::Undefined);
}

void tst_KAVWorkConnection::payloadsArriveAsSent()
{
    QFETCH(QJsonValue, payload);
    connectPair();
    QSignalSpy received(m_serverSide, &TestConnection::Received);
    m_client->SendCommand("work", payload);
    QTRY_COMPARE(received.size(), 1);
    QCOMPARE(received.first().at(0).toByteArray(), QByteArray("work"));
    QCOMPARE(received.first().at(1).value<QJsonValue>(), payload);
}

void tst_KAVWorkConnection::unknownCommandIsDropped()
{
    connectPair();
    QSignalSpy received(m_serverSide, &TestConnection::Received);
    QTest::ignoreMessage(QtWarningMsg, "KAVWorkConnection: unknown command \"Work\" ignored");
    m_client->SendCommand("Work", 1);
    m_client->SendCommand("work", 2);
    QTRY_COMPARE(received.size(), 1);
    QCOMPARE(received.first().at(1).value<QJsonValue>(), QJsonValue(2));
    QVERIFY(m_serverSide->IsAuthenticated());
}

void tst_KAVWorkConnection::wrongKey_data()
{
    QTest::addColumn<bool>("wrongClient");
    QTest::newRow("client proves a wrong key") << true;
    QTest::newRow("server proves a wrong key") << false;
}

void tst_KAVWorkConnection::wrongKey()
{
    QFETCH(bool, wrongClient);
    if (wrongClient)
        m_client->key = "not the agreed key";
    else
        m_serverKey = "not the agreed key";
    QSignalSpy clientFailed(m_client, &KAVWorkConnection::AuthenticationFailed);
    QSignalSpy clientAuthenticated(m_client, &KAVWorkConnection::Authenticated);
    m_client->SendCommand("hello", "queued before authentication");
    connectPair(false);
    QTRY_VERIFY(m_serverSide);
    QSignalSpy received(m_serverSide, &TestConnection::Received);
    QTRY_COMPARE(clientFailed.size(), 1);
    QTRY_COMPARE(m_serverFailures, 1);
    QTest::qWait(50);
    QCOMPARE(received.size(), 0);
    QCOMPARE(clientAuthenticated.size(), 0);
    QVERIFY(!m_serverSide->IsAuthenticated());
    QVERIFY(!m_client->IsAuthenticated());
}

void tst_KAVWorkConnection::rawPeer_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("error");

    const QByteArray command("\x03\x05"
                             "hello"
                             "[1]");
    QTest::newRow("command before authentication")
        << framed(command) << int(KAVWorkConnection::ProtocolError);
    QTest::newRow("garbage") << QByteArray("GET / HTTP/1.1\r\n\r\n")
                             << int(KAVWorkConnection::FrameTooLargeError);
    // Before authentication no frame is above 256 bytes: one just above is refused from its
    // header alone, not awaited.
    QTest::newRow("257 bytes before authentication")
        << QByteArray("\x00\x00\x01\x01\x01", 5) << int(KAVWorkConnection::FrameTooLargeError);
    QTest::newRow("huge length prefix")
        << QByteArray("\x7f\xff\xff\xf0\x01", 5) << int(KAVWorkConnection::FrameTooLargeError);
    QTest::newRow("empty frame") << QByteArray(4, 0) << int(KAVWorkConnection::ProtocolError);
    QTest::newRow("bad greeting") << QByteArray("\x00\x00\x00\x02\x01\x01", 6)
                                  << int(KAVWorkConnection::ProtocolError);
    QTest::newRow("256 bytes of greeting") << framed(QByteArray(1, '\x01') + QByteArray(255, 'x'))
                                           << int(KAVWorkConnection::ProtocolError);
    QTest::newRow("truncated frame, then silence") << QByteArray("\x00\x00\x00\x22\x01\x01\x02", 7)
                                                   << int(KAVWorkConnection::HandshakeTimeoutError);
    QTest::newRow("silence") << QByteArray() << int(KAVWorkConnection::HandshakeTimeoutError);
}

void tst_KAVWorkConnection::rawPeer()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, error);
    QTcpSocket *raw = connectRaw();
    QVERIFY(raw);
    QSignalSpy received(m_serverSide, &TestConnection::Received);
    QSignalSpy disconnected(raw, &QTcpSocket::disconnected);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("KAVWorkConnection: .*"));
    raw->write(bytes);
    QVERIFY(disconnected.wait(5000));
    QCOMPARE(int(m_serverSide->GetError()), error);
    QCOMPARE(m_serverFailures, 1);
    QCOMPARE(received.size(), 0);
    delete raw;
}

void tst_KAVWorkConnection::malformedFrameAfterAuthentication()
{
    connectPair();
    QSignalSpy errors(m_serverSide, &KAVWorkConnection::ErrorOccurred);
    QSignalSpy received(m_serverSide, &TestConnection::Received);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("KAVWorkConnection: .*"));
    // A command name no peer would take is refused before it is sent.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("invalid command name"));
    QVERIFY(!m_client->SendCommand(QByteArray(65, 'a'), 1));
    m_client->SendCommand("work", 1);
    // A valid frame header around a payload that is not JSON.
    m_clientSocket->write(QByteArray("\x00\x00\x00\x06\x03\x01x{{{", 10));
    m_client->SendCommand("work", 2);
    QTRY_COMPARE(errors.size(), 1);
    QCOMPARE(m_serverSide->GetError(), KAVWorkConnection::ProtocolError);
    QTRY_COMPARE(received.size(), 1); // what came before the bad frame is still delivered
    QTRY_COMPARE(m_clientSocket->state(), QAbstractSocket::UnconnectedState);
}

void tst_KAVWorkConnection::nestedLoopStillReceives()
{
    connectPair();
    QList<int> order;
    connect(m_client, &TestConnection::Received, this,
            [&](const QByteArray &, const QJsonValue &data) {
                const int n = data.toInt();
                order.append(n);
                if (n != 1)
                    return;
                QEventLoop loop;
                QTimer::singleShot(5000, &loop, &QEventLoop::quit);
                connect(m_client, &TestConnection::Received, &loop, &QEventLoop::quit);
                loop.exec();
                order.append(-1);
            });
    m_serverSide->SendCommand("work", 1);
    m_serverSide->SendCommand("work", 2);
    QTRY_COMPARE(order, QList<int>({1, 2, -1}));
}

void tst_KAVWorkConnection::reconnectAuthenticatesAgain()
{
    connectPair();
    QPointer<TestConnection> first = m_serverSide;
    m_serverSide->GetSocket()->abort();
    QTRY_COMPARE(m_clientSocket->state(), QAbstractSocket::UnconnectedState);
    QVERIFY(!m_client->IsAuthenticated());

    m_client->SendCommand("hello", 99);
    connectPair();
    QVERIFY(m_serverSide != first);
    QSignalSpy received(m_serverSide, &TestConnection::Received);
    QTRY_COMPARE(received.size(), 1);
    QCOMPARE(received.first().at(1).value<QJsonValue>(), QJsonValue(99));
    delete first;
}

void tst_KAVWorkConnection::oneOfSeveralPeerKeys_data()
{
    QTest::addColumn<QByteArray>("clientKey");
    QTest::addColumn<QByteArray>("clientExpects"); // the server's key the client checks
    QTest::addColumn<int>("index"); // -1: refused
    QTest::newRow("the second of three") << QByteArray("two") << QByteArray("server for two") << 1;
    // The server proves the key that goes with the one the client proved, never another.
    QTest::newRow("server proves another's key")
        << QByteArray("two") << QByteArray("server for one") << -1;
    QTest::newRow("none of them") << QByteArray("four") << QByteArray("server for four") << -1;
}

void tst_KAVWorkConnection::oneOfSeveralPeerKeys()
{
    QFETCH(QByteArray, clientKey);
    QFETCH(QByteArray, clientExpects);
    QFETCH(int, index);
    m_server->disconnect(this);
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        m_serverSide = new TestConnection(this, m_server->nextPendingConnection(), {}, {});
        m_serverSide->peerKeys = {"one", "two", "three"};
        m_serverSide->keysByPeer = {"server for one", "server for two", "server for three"};
        m_serverSide->SetProofAfterPeer(true);
        m_serverSide->Authenticate();
    });
    m_client->key = clientKey;
    m_client->peerKey = clientExpects;
    if (index < 0)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("KAVWorkConnection: .*"));
    QSignalSpy authenticated(m_client, &KAVWorkConnection::Authenticated);
    QSignalSpy failed(m_client, &KAVWorkConnection::AuthenticationFailed);
    m_clientSocket->connectToHost(QHostAddress::LocalHost, m_server->serverPort());
    QTRY_COMPARE(authenticated.size() + failed.size(), 1);
    QCOMPARE(authenticated.size(), index >= 0 ? 1 : 0);
    if (index >= 0) {
        QTRY_VERIFY(m_serverSide->IsAuthenticated());
        QCOMPARE(m_serverSide->GetPeerKeyIndex(), index);
    }
}

void tst_KAVWorkConnection::unreadDataAreBounded()
{
    connectPair();
    const qint64 limit = KAVWorkConnection::GetBufferedBytesLimit();
    KAVWorkConnection::SetBufferedBytesLimit(8192);
    QSignalSpy errors(m_serverSide, &KAVWorkConnection::ErrorOccurred);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("KAVWorkConnection: .*"));
    // Most of a large frame, held back: within one peer's frame limit, but not the process's.
    m_clientSocket->write(QByteArray("\x00\x01\x00\x00\x03", 5) + QByteArray(10000, 'x'));
    QVERIFY(errors.wait(5000));
    QCOMPARE(m_serverSide->GetError(), KAVWorkConnection::BufferLimitError);
    KAVWorkConnection::SetBufferedBytesLimit(limit);
    QCOMPARE(KAVWorkConnection::GetBufferedBytes(), 0);
}

QTEST_GUILESS_MAIN(tst_KAVWorkConnection)
#include "tst_kavworkconnection.moc"
