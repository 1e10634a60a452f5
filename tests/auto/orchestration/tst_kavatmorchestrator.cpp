// The orchestrator against clients that lie: who may speak for a launched process, and what an
// unregistered or unbound peer can hold. Launched programs are placeholders (sleep); the
// clients are played by the test, with the secret read from the program's environment.

#include "kavatmclientorchestratorconnection.h"
#include "kavatmorchestrator.h"
#include "kavatmorchestratorconfiguration.h"
#include "kavatmtestproceduredef.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QTemporaryDir>
#include <QtNetwork/QTcpSocket>
#include <QtTest/QtTest>

#include <unistd.h>

namespace {

struct Launched {
    qint64 pid = 0;
    QByteArray secret;
};

struct SocketHolder {
    QTcpSocket socket;
};

// A client played by the test; its socket is made before it and goes after it.
class FakeClient : private SocketHolder, public KAVAtmClientOrchestratorConnection {
public:
    FakeClient() : KAVAtmClientOrchestratorConnection(nullptr, &socket)
    {
        QObject::connect(&socket, &QTcpSocket::connected, this, &KAVWorkConnection::Authenticate);
    }
    using KAVWorkConnection::SendCommand;

    // True once authenticated, false once refused.
    bool Connect(quint16 port)
    {
        QSignalSpy authenticated(this, &KAVWorkConnection::Authenticated);
        QSignalSpy failed(this, &KAVWorkConnection::AuthenticationFailed);
        socket.connectToHost(QHostAddress::LocalHost, port);
        QDeadlineTimer deadline(5000);
        while (authenticated.isEmpty() && failed.isEmpty() && !deadline.hasExpired())
            QTest::qWait(10);
        return !authenticated.isEmpty();
    }
    bool IsConnected() const { return socket.state() == QAbstractSocket::ConnectedState; }
};

QList<qint64> childProcesses()
{
    QList<qint64> found;
    const QStringList entries = QDir("/proc").entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        QFile stat("/proc/" + entry + "/stat");
        if (!entry.front().isDigit() || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toLongLong() == getpid())
            found.append(entry.toLongLong());
    }
    return found;
}

QByteArray environmentValue(qint64 pid, const QByteArray &name)
{
    QFile file(QStringLiteral("/proc/%1/environ").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    for (const QByteArray &entry : file.readAll().split('\0')) {
        if (entry.startsWith(name + '='))
            return entry.mid(name.size() + 1);
    }
    return QByteArray();
}

} // namespace

class tst_KAVAtmOrchestrator : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void whoMaySpeakForAProcess_data();
    void whoMaySpeakForAProcess();
    void peerThatNeverRegisters();
    void largeMessageBeforeRegistering();
    void recordingDataOnlyFromRecordingClients_data();
    void recordingDataOnlyFromRecordingClients();
    void unregisteredPeersAreBounded();
    void noWorkForAnAbortedClient();

private:
    Launched Launch(KAVAtmEnums::PlatformMode mode = KAVAtmEnums::ExternalBatch);

    KAVAtmOrchestrator *m_orchestrator = nullptr;
    QTemporaryDir m_dir;
    KAVAtmTestProcedureDef *m_procedure = nullptr;
};

void tst_KAVAtmOrchestrator::initTestCase()
{
    m_orchestrator = KAVAtmOrchestrator::GetInstance();
    QVERIFY(m_orchestrator->Initialize());
    m_orchestrator->SetRegistrationTimeout(500);
    m_orchestrator->SetClientOutputForwarded(false);
    QFile file(m_dir.filePath("procedure.json"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"({"schema":"com.brightel.kav.automation.procedure:1","name":"p","label":"P",
                   "actions":[{"action":"TimeWait"}]})");
    file.close();
    QVERIFY(m_orchestrator->LoadProcedures({file.fileName()}).isEmpty());
    m_procedure = m_orchestrator->GetLoadedProcedures().first();
}

void tst_KAVAtmOrchestrator::cleanup()
{
    m_orchestrator->SetBuiltInKeyAccepted(false);
}

Launched tst_KAVAtmOrchestrator::Launch(KAVAtmEnums::PlatformMode mode)
{
    const QList<qint64> before = childProcesses();
    const KAVAtmOrchestratorConfiguration configuration(
        QJsonValue(QJsonObject {{"clients",
                                 QJsonArray {QJsonObject {{"displayName", "placeholder"},
                                                          {"executable", "/bin/sleep"},
                                                          {"arguments", QJsonArray {"60"}}}}}}));
    qint64 started = 0;
    if (!m_orchestrator->StartPlatform("placeholder", {m_procedure}, mode, configuration, &started))
        return {};
    // Found once it runs the program, with the secret in its environment.
    Launched launched;
    QDeadlineTimer deadline(5000);
    while (launched.secret.isEmpty() && !deadline.hasExpired()) {
        QTest::qWait(10);
        for (qint64 pid : childProcesses()) {
            const QByteArray secret = environmentValue(pid, "KAVAtmClientSecret");
            if (!before.contains(pid) && !secret.isEmpty())
                launched = {pid, QByteArray::fromHex(secret)};
        }
    }
    return started == launched.pid ? launched : Launched();
}

void tst_KAVAtmOrchestrator::whoMaySpeakForAProcess_data()
{
    QTest::addColumn<QString>("proves"); // "own" secret, "other" launch's, "none", "random"
    QTest::addColumn<bool>("builtInAccepted");
    QTest::addColumn<bool>("authenticates");
    QTest::addColumn<bool>("connects");
    // Each claims its own process id.
    QTest::newRow("its own secret and process") << "own" << false << true << true;
    QTest::newRow("another client's process") << "other" << false << true << false;
    QTest::newRow("no secret") << "none" << false << false << false;
    QTest::newRow("a secret of nobody") << "random" << false << false << false;
    QTest::newRow("no secret, when accepted") << "none" << true << true << true;
}

void tst_KAVAtmOrchestrator::whoMaySpeakForAProcess()
{
    QFETCH(QString, proves);
    QFETCH(bool, builtInAccepted);
    QFETCH(bool, authenticates);
    QFETCH(bool, connects);
    m_orchestrator->SetBuiltInKeyAccepted(builtInAccepted);
    const Launched own = Launch();
    const Launched other = Launch();
    QVERIFY(own.pid && other.pid);
    QSignalSpy connected(m_orchestrator, &KAVAtmOrchestrator::TestClientConnected);

    FakeClient client;
    if (proves == "own")
        client.SetClientSecret(own.secret);
    else if (proves == "other")
        client.SetClientSecret(other.secret);
    else if (proves == "random")
        client.SetClientSecret(QByteArray(32, 'r'));
    if (!authenticates)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("KAVWorkConnection: .*"));
    QCOMPARE(client.Connect(m_orchestrator->GetListeningPort()), authenticates);
    if (!authenticates)
        return;
    client.SendClient(own.pid, "Tessaron");
    if (connects) {
        QTRY_COMPARE(connected.size(), 1);
        QCOMPARE(connected.first().first().toLongLong(), own.pid);
        return;
    }
    // Refused, and neither process can be spoken for by this connection any more.
    QTRY_VERIFY(!client.IsConnected());
    QCOMPARE(connected.size(), 0);

    // The client with the right secret still registers afterwards.
    FakeClient genuine;
    genuine.SetClientSecret(own.secret);
    QVERIFY(genuine.Connect(m_orchestrator->GetListeningPort()));
    genuine.SendClient(own.pid, "Tessaron");
    QTRY_COMPARE(connected.size(), 1);
    // Once: a second client with the same secret is not taken for the same process.
    FakeClient second;
    second.SetClientSecret(own.secret);
    QVERIFY(second.Connect(m_orchestrator->GetListeningPort()));
    second.SendClient(own.pid, "Tessaron");
    QTRY_VERIFY(!second.IsConnected());
    QCOMPARE(connected.size(), 1);
}

void tst_KAVAtmOrchestrator::peerThatNeverRegisters()
{
    const Launched launched = Launch();
    FakeClient client;
    client.SetClientSecret(launched.secret);
    QVERIFY(client.Connect(m_orchestrator->GetListeningPort()));
    QElapsedTimer elapsed;
    elapsed.start();
    QTRY_VERIFY_WITH_TIMEOUT(!client.IsConnected(), 5000);
    QVERIFY(elapsed.elapsed() >= 400);
}

void tst_KAVAtmOrchestrator::largeMessageBeforeRegistering()
{
    const Launched launched = Launch();
    FakeClient client;
    client.SetClientSecret(launched.secret);
    QVERIFY(client.Connect(m_orchestrator->GetListeningPort()));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("KAVWorkConnection: .*"));
    // Up to 64 MiB once registered; nowhere near that before.
    client.SendCommand("client",
                       QJsonObject {{"pid", launched.pid}, {"pad", QString(100000, 'x')}});
    QTRY_VERIFY(!client.IsConnected());
}

void tst_KAVAtmOrchestrator::recordingDataOnlyFromRecordingClients_data()
{
    QTest::addColumn<bool>("registers");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("forwarded");
    QTest::newRow("registered, recording") << true << int(KAVAtmEnums::Recording) << true;
    QTest::newRow("registered, batch") << true << int(KAVAtmEnums::ExternalBatch) << false;
    QTest::newRow("never registered") << false << int(KAVAtmEnums::Recording) << false;
}

void tst_KAVAtmOrchestrator::recordingDataOnlyFromRecordingClients()
{
    QFETCH(bool, registers);
    QFETCH(int, mode);
    QFETCH(bool, forwarded);
    const Launched launched = Launch(KAVAtmEnums::PlatformMode(mode));
    QSignalSpy connected(m_orchestrator, &KAVAtmOrchestrator::TestClientConnected);
    QSignalSpy recorded(m_orchestrator, &KAVAtmOrchestrator::RecordingDataReceived);
    FakeClient client;
    client.SetClientSecret(launched.secret);
    QVERIFY(client.Connect(m_orchestrator->GetListeningPort()));
    if (registers) {
        client.SendClient(launched.pid, "Tessaron");
        QTRY_COMPARE(connected.size(), 1);
    }
    if (!forwarded)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Recording data .* dropped"));
    client.SendRecordingData(QJsonObject {{"action", "WaitNest"}});
    client.SendRecordingData(QJsonObject {{"action", "WaitUpdate"}});
    QTest::qWait(200);
    QCOMPARE(recorded.size(), forwarded ? 2 : 0);
}

void tst_KAVAtmOrchestrator::unregisteredPeersAreBounded()
{
    // Silent peers: each holds a connection until the handshake times out, but never more
    // of them than the limit.
    std::vector<std::unique_ptr<QTcpSocket>> peers;
    const int extra = 6;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Too many clients.*"));
    for (int i = 0; i < KAVAtmOrchestrator::MaximumUnregisteredClients + extra; ++i) {
        peers.push_back(std::make_unique<QTcpSocket>());
        peers.back()->connectToHost(QHostAddress::LocalHost, m_orchestrator->GetListeningPort());
    }
    for (int i = 1; i < extra; ++i)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Too many clients.*"));
    const auto closed = [&peers] {
        return std::count_if(peers.cbegin(), peers.cend(), [](const auto &peer) {
            return peer->state() == QAbstractSocket::UnconnectedState;
        });
    };
    // Refused at once, long before any handshake could time out.
    QTRY_VERIFY_WITH_TIMEOUT(closed() >= extra, 3000);
    QTest::qWait(200);
    QCOMPARE(closed(), qsizetype(extra));
}

void tst_KAVAtmOrchestrator::noWorkForAnAbortedClient()
{
    const Launched launched = Launch(KAVAtmEnums::ExternalBatch);
    QVERIFY(launched.pid);
    QSignalSpy connected(m_orchestrator, &KAVAtmOrchestrator::TestClientConnected);
    FakeClient client;
    client.SetClientSecret(launched.secret);
    QVERIFY(client.Connect(m_orchestrator->GetListeningPort()));
    client.SendClient(launched.pid, "Tessaron");
    QTRY_COMPARE(connected.size(), 1);
    QVERIFY(m_orchestrator->Execute(launched.pid, {m_procedure}));
    QSignalSpy exited(m_orchestrator, &KAVAtmOrchestrator::TestClientExitedUnexpectedly);
    QSignalSpy ended(m_orchestrator, &KAVAtmOrchestrator::TestClientDisconnected);
    // Procedures handed to it now would never run, and nothing would say so.
    m_orchestrator->AbortClient(launched.pid, "stopped");
    QVERIFY(!m_orchestrator->Execute(launched.pid, {m_procedure}));
    QVERIFY(!m_orchestrator->Execute(-1, {m_procedure}));
    // Killed by the runner: an end it brought about is not the host's fault.
    QTRY_COMPARE(ended.size(), 1);
    QCOMPARE(exited.size(), 0);
}

QTEST_GUILESS_MAIN(tst_KAVAtmOrchestrator)
#include "tst_kavatmorchestrator.moc"
