// Round trips of "execute" and "actionupdate" over an authenticated loopback connection, next
// to a bare QTcpSocket ping-pong of the same payload bytes (the floor). The client side runs
// in its own thread, as it would in its own process.
//
// Usage: bench_wire [round trips, default 20000]

#include "kavatmclientorchestratorconnection.h"
#include "kavatmorchestratorclientconnection.h"
#include "kavatmtestactionresult.h"
#include "kavatmtimewaitactiondef.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QJsonDocument>
#include <QtCore/QThread>
#include <QtCore/QtEndian>
#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

struct Figures {
    double medianMicroseconds = 0;
    double p99Microseconds = 0;
    double messagesPerSecond = 0;
};

Figures figures(QList<qint64> nanoseconds, qint64 totalNanoseconds)
{
    std::sort(nanoseconds.begin(), nanoseconds.end());
    Figures f;
    f.medianMicroseconds = nanoseconds.at(nanoseconds.size() / 2) / 1000.0;
    f.p99Microseconds = nanoseconds.at(nanoseconds.size() * 99 / 100) / 1000.0;
    // Two messages per round trip.
    f.messagesPerSecond = 2.0 * nanoseconds.size() / (totalNanoseconds / 1e9);
    return f;
}

// Sends a request, waits for its reply, count times; times each round trip.
class PingPong {
public:
    PingPong(int count, std::function<void()> send) : m_count(count), m_send(std::move(send))
    {
        m_samples.reserve(count);
    }

    // Call for each reply.
    void Replied()
    {
        m_samples.append(m_one.nsecsElapsed());
        if (m_samples.size() == m_count)
            m_loop.quit();
        else
            Next();
    }

    Figures Run()
    {
        QElapsedTimer total;
        total.start();
        Next();
        m_loop.exec();
        return figures(m_samples, total.nsecsElapsed());
    }

private:
    void Next()
    {
        m_one.start();
        m_send();
    }

    const int m_count;
    const std::function<void()> m_send;
    QList<qint64> m_samples;
    QElapsedTimer m_one;
    QEventLoop m_loop;
};

void stopPeer(QThread *peer)
{
    peer->quit();
    peer->wait();
    delete peer;
}

QJsonObject executeData()
{
    KAVAtmTimeWaitActionDef def;
    def.SetName(QStringLiteral("wait for the sheet to settle"));
    def.SetWaitTime(0);
    QJsonObject data = def.ToJson();
    data.insert(QStringLiteral("procedurePath"), QStringLiteral("/home/tester/procedures/orders"));
    return data;
}

// The final update a client sends for a passed action.
void complete(KAVAtmTestActionResult &result)
{
    result.SetStatus(KAVAtmEnums::Completed);
    result.SetResult(KAVAtmEnums::Pass);
    result.RecordStartTime();
    result.RecordFinishTime();
}

QJsonObject updateData(const QUuid &id)
{
    KAVAtmTimeWaitActionDef def;
    KAVAtmTestActionResult result(id, &def, nullptr);
    complete(result);
    return result.ToJson();
}

// Runs fn in a new thread with an event loop; the objects it makes live there.
QThread *startPeer(const std::function<void()> &fn)
{
    QThread *thread = QThread::create([fn] {
        fn();
        QEventLoop loop;
        QObject::connect(QThread::currentThread(), &QThread::finished, &loop, &QEventLoop::quit);
        loop.exec();
    });
    thread->start();
    return thread;
}

Figures benchConnection(int count)
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();

    QEventLoop clientReady;
    QThread *peer = startPeer([port] {
        auto *socket = new QTcpSocket;
        auto *client = new KAVAtmClientOrchestratorConnection(nullptr, socket);
        QObject::connect(socket, &QTcpSocket::connected, client,
                         &KAVAtmClientOrchestratorConnection::Authenticate);
        QObject::connect(client, &KAVAtmClientOrchestratorConnection::ExecuteRequested, client,
                         [client](const QUuid &id, const QJsonValue &) {
                             KAVAtmTimeWaitActionDef def;
                             KAVAtmTestActionResult result(id, &def, nullptr);
                             complete(result);
                             client->SendActionUpdate(&result);
                         });
        QObject::connect(QThread::currentThread(), &QThread::finished, client, [client, socket] {
            delete client;
            delete socket;
        });
        socket->connectToHost(QHostAddress::LocalHost, port);
    });

    server.waitForNewConnection(10000);
    QTcpSocket *socket = server.nextPendingConnection();
    KAVAtmOrchestratorClientConnection orchestrator(nullptr, socket);
    QObject::connect(&orchestrator, &KAVWorkConnection::Authenticated, &clientReady,
                     &QEventLoop::quit);
    orchestrator.Authenticate();
    clientReady.exec();

    const QJsonObject data = executeData();
    QUuid current;
    PingPong pingPong(count, [&] {
        current = QUuid::createUuid();
        orchestrator.SendExecute(current, data);
    });
    QObject::connect(&orchestrator, &KAVAtmOrchestratorClientConnection::ActionStatusUpdated,
                     &orchestrator, [&](const QJsonValue &update) {
                         if (QUuid::fromString(update[QLatin1String("id")].toString()) != current)
                             qFatal("update for the wrong action");
                         pingPong.Replied();
                     });
    const Figures result = pingPong.Run();
    stopPeer(peer);
    return result;
}

QByteArray framed(const QByteArray &body)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(body.size()), bytes.data());
    return bytes + body;
}

// Reads whole length-prefixed messages from the socket and calls onMessage for each.
void onMessages(QTcpSocket *socket, const std::function<void()> &onMessage)
{
    auto buffer = std::make_shared<QByteArray>();
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, buffer, onMessage] {
        buffer->append(socket->readAll());
        while (buffer->size() >= 4) {
            const quint32 length = qFromBigEndian<quint32>(buffer->constData());
            if (buffer->size() < qsizetype(4 + length))
                break;
            buffer->remove(0, 4 + length);
            onMessage();
        }
    });
}

Figures benchBareSocket(int count)
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();
    const QByteArray request = framed(
        QJsonDocument(QJsonObject {{"id", QUuid::createUuid().toString()}, {"data", executeData()}})
            .toJson(QJsonDocument::Compact));
    const QByteArray reply
        = framed(QJsonDocument(updateData(QUuid::createUuid())).toJson(QJsonDocument::Compact));

    QThread *peer = startPeer([port, reply] {
        auto *socket = new QTcpSocket;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        onMessages(socket, [socket, reply] { socket->write(reply); });
        QObject::connect(QThread::currentThread(), &QThread::finished, socket,
                         [socket] { delete socket; });
        socket->connectToHost(QHostAddress::LocalHost, port);
    });
    server.waitForNewConnection(10000);
    QTcpSocket *socket = server.nextPendingConnection();
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);

    PingPong pingPong(count, [&] { socket->write(request); });
    onMessages(socket, [&] { pingPong.Replied(); });
    const Figures result = pingPong.Run();
    stopPeer(peer);
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? qMax(10, QByteArray(argv[1]).toInt()) : 20000;

    // A warm-up pass of each, then the measured ones.
    benchBareSocket(qMin(count, 1000));
    benchConnection(qMin(count, 1000));
    const Figures bare = benchBareSocket(count);
    const Figures work = benchConnection(count);

    std::printf("round trips: %d (execute + actionupdate, client side in its own thread)\n", count);
    std::printf("%-34s %12s %12s %14s\n", "", "median us", "p99 us", "messages/s");
    std::printf("%-34s %12.1f %12.1f %14.0f\n", "bare QTcpSocket ping-pong (floor)",
                bare.medianMicroseconds, bare.p99Microseconds, bare.messagesPerSecond);
    std::printf("%-34s %12.1f %12.1f %14.0f\n", "authenticated KAVWorkConnection",
                work.medianMicroseconds, work.p99Microseconds, work.messagesPerSecond);
    return 0;
}
