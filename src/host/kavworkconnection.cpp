#include "kavworkconnection.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QLoggingCategory>
#include <QtCore/QMessageAuthenticationCode>
#include <QtCore/QPointer>
#include <QtCore/QRandomGenerator>
#include <QtCore/QTimer>
#include <QtCore/QtEndian>
#include <QtNetwork/QTcpSocket>

Q_LOGGING_CATEGORY(lcWork, "kav.host.work", QtWarningMsg)

namespace {

enum FrameType : quint8 {
    HelloFrame = 1, // version, nonce
    ProofFrame = 2, // HMAC-SHA256 over the two nonces
    CommandFrame = 3, // name length, name, JSON payload
    AcceptFrame = 4, // the peer's proof was verified
};

constexpr quint8 ProtocolVersion = 1;
constexpr int NonceSize = 32;
constexpr int ProofSize = 32;
constexpr int MaximumCommandNameSize = 64;
const QByteArray ProofLabel = QByteArrayLiteral("KAVWorkConnection proof v1");

QByteArray frame(const QByteArray &body)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(body.size()), bytes.data());
    return bytes + body;
}

bool isCommandName(const QByteArray &name)
{
    if (name.isEmpty() || name.size() > MaximumCommandNameSize)
        return false;
    for (char c : name) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            return false;
    }
    return true;
}

bool constantTimeEquals(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    quint8 difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= quint8(a[i]) ^ quint8(b[i]);
    return difference == 0;
}

// The proof the prover sends: its key over the verifier's nonce, then its own.
QByteArray proof(const QByteArray &key, const QByteArray &verifierNonce,
                 const QByteArray &proverNonce)
{
    return QMessageAuthenticationCode::hash(ProofLabel + verifierNonce + proverNonce, key,
                                            QCryptographicHash::Sha256);
}

} // namespace

class KAVWorkConnectionPrivate {
public:
    explicit KAVWorkConnectionPrivate(KAVWorkConnection *q) : q(q) { }

    void OnReadyRead();
    void ProcessFrame(const QByteArray &body);
    void OnHello(const QByteArray &body);
    void OnCommand(const QByteArray &body);
    void OnAccept(const QByteArray &body);
    void OnProof(const QByteArray &body);
    void SendProof();
    void CompleteIfAuthenticated();
    void ScheduleDispatch();
    void DispatchIncoming();
    void OnSocketError();
    void OnDisconnected();
    void Fail(KAVWorkConnection::Error error, const QString &message);
    void ResetSession();
    bool HandshakeInProgress() const { return started && !authenticated; }

    KAVWorkConnection *const q;
    QPointer<QTcpSocket> socket;
    QTimer handshakeTimer;
    QByteArray buffer;
    qsizetype readOffset = 0;

    // The handshake of the socket's current connection.
    bool started = false;
    bool proofSent = false;
    bool peerVerified = false;
    bool peerAccepted = false;
    bool authenticated = false;
    bool broken = false;
    quint64 sessionId = 0;
    QByteArray ownNonce;
    QByteArray peerNonce;

    QList<QByteArray> pendingFrames;
    qsizetype pendingBytes = 0;
    QList<QPair<QByteArray, QJsonValue>> incoming;
    bool dispatchScheduled = false;

    KAVWorkConnection::Error error = KAVWorkConnection::NoError;
    QString errorString;
};

KAVWorkConnection::KAVWorkConnection(QObject *parent, QTcpSocket *socket)
    : QObject(parent), d(new KAVWorkConnectionPrivate(this))
{
    d->socket = socket;
    d->handshakeTimer.setSingleShot(true);
    d->handshakeTimer.setInterval(DefaultHandshakeTimeout);
    connect(&d->handshakeTimer, &QTimer::timeout, this, [this] {
        d->Fail(HandshakeTimeoutError, QStringLiteral("The authentication handshake timed out."));
    });
    if (!socket) {
        qCWarning(lcWork, "KAVWorkConnection: created without a socket");
        return;
    }
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // Bounds what the socket takes from the network ahead of the frame checks.
    socket->setReadBufferSize(1024 * 1024);
    connect(socket, &QTcpSocket::connected, this, [this, socket] {
        // A socket may connect again after a failed attempt or a lost connection.
        d->ResetSession();
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    });
    connect(socket, &QTcpSocket::readyRead, this, [this] { d->OnReadyRead(); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this] { d->OnSocketError(); });
    connect(socket, &QTcpSocket::disconnected, this, [this] { d->OnDisconnected(); });
}

KAVWorkConnection::~KAVWorkConnection() = default;

QTcpSocket *KAVWorkConnection::GetSocket() const
{
    return d->socket;
}

bool KAVWorkConnection::IsAuthenticated() const
{
    return d->authenticated;
}

KAVWorkConnection::Error KAVWorkConnection::GetError() const
{
    return d->error;
}

QString KAVWorkConnection::GetErrorString() const
{
    return d->errorString;
}

int KAVWorkConnection::GetHandshakeTimeout() const
{
    return d->handshakeTimer.interval();
}

void KAVWorkConnection::SetHandshakeTimeout(int milliseconds)
{
    d->handshakeTimer.setInterval(milliseconds);
}

void KAVWorkConnection::Authenticate()
{
    if (!d->socket || d->socket->state() != QAbstractSocket::ConnectedState) {
        qCWarning(lcWork, "KAVWorkConnection::Authenticate: the socket is not connected");
        return;
    }
    if (d->started || d->broken)
        return;
    if (GetAuthenticationKey().isEmpty() || GetPeerAuthenticationKey().isEmpty())
        qCWarning(lcWork, "KAVWorkConnection::Authenticate: an authentication key is empty");

    d->started = true;
    d->ownNonce.resize(NonceSize);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(d->ownNonce.data()),
                                          NonceSize / sizeof(quint32));
    d->handshakeTimer.start();
    d->socket->write(frame(QByteArray(1, char(HelloFrame)) + char(ProtocolVersion) + d->ownNonce));
    // The peer's hello may have come first.
    if (!d->peerNonce.isEmpty())
        d->SendProof();
}

void KAVWorkConnection::SendCommand(const QByteArray &command, const QJsonValue &data)
{
    if (!isCommandName(command)) {
        qCWarning(lcWork, "KAVWorkConnection::SendCommand: invalid command name \"%s\"",
                  command.left(MaximumCommandNameSize).constData());
        return;
    }
    const QJsonArray wrapped = data.isUndefined() ? QJsonArray() : QJsonArray {data};
    QByteArray body;
    body.reserve(2 + command.size() + 64);
    body.append(char(CommandFrame)).append(char(command.size())).append(command);
    body.append(QJsonDocument(wrapped).toJson(QJsonDocument::Compact));
    if (body.size() > MaximumFrameSize) {
        qCWarning(lcWork,
                  "KAVWorkConnection::SendCommand: \"%s\" is too large to send (%lld bytes)",
                  command.constData(), qlonglong(body.size()));
        return;
    }
    if (d->authenticated && d->socket && d->socket->state() == QAbstractSocket::ConnectedState) {
        d->socket->write(frame(body));
        return;
    }
    if (d->pendingFrames.size() >= MaximumPendingCommands
        || d->pendingBytes + body.size() > MaximumFrameSize) {
        qCWarning(lcWork,
                  "KAVWorkConnection::SendCommand: not authenticated and %d commands "
                  "waiting already; \"%s\" is dropped",
                  MaximumPendingCommands, command.constData());
        return;
    }
    d->pendingBytes += body.size();
    d->pendingFrames.append(frame(body));
}

bool KAVWorkConnection::ReceiveCommand(const QByteArray &, const QJsonValue &)
{
    return false;
}

void KAVWorkConnectionPrivate::OnReadyRead()
{
    if (!socket)
        return;
    if (broken) {
        socket->readAll();
        return;
    }
    buffer.append(socket->readAll());

    // Signals emitted while a frame is handled may end the session or delete this object.
    // The read position is a member: a nested call continues where this one is.
    QPointer<KAVWorkConnection> guard(q);
    const quint64 session = sessionId;
    while (buffer.size() - readOffset >= 4) {
        const quint32 length = qFromBigEndian<quint32>(buffer.constData() + readOffset);
        const quint32 limit = authenticated ? KAVWorkConnection::MaximumFrameSize
                                            : KAVWorkConnection::MaximumHandshakeFrameSize;
        // Checked before waiting for the body: a claimed size is never reserved.
        if (length == 0 || length > limit) {
            Fail(length == 0 ? KAVWorkConnection::ProtocolError
                             : KAVWorkConnection::FrameTooLargeError,
                 QStringLiteral("Protocol violation: a frame of %1 bytes (limit %2).")
                     .arg(length)
                     .arg(limit));
            return;
        }
        if (buffer.size() - readOffset - 4 < qsizetype(length))
            break;
        const QByteArray body = buffer.mid(readOffset + 4, length);
        readOffset += 4 + length;
        ProcessFrame(body);
        if (!guard || broken || session != sessionId)
            return;
    }
    buffer.remove(0, readOffset);
    readOffset = 0;
}

void KAVWorkConnectionPrivate::ProcessFrame(const QByteArray &body)
{
    switch (quint8(body.at(0))) {
    case HelloFrame:
        OnHello(body);
        return;
    case ProofFrame:
        OnProof(body);
        return;
    case CommandFrame:
        OnCommand(body);
        return;
    case AcceptFrame:
        OnAccept(body);
        return;
    default:
        Fail(KAVWorkConnection::ProtocolError,
             QStringLiteral("Protocol violation: an unknown frame type %1.")
                 .arg(quint8(body.at(0))));
        return;
    }
}

void KAVWorkConnectionPrivate::OnCommand(const QByteArray &body)
{
    if (!authenticated) {
        Fail(KAVWorkConnection::ProtocolError,
             QStringLiteral("Protocol violation: a command before authentication."));
        return;
    }
    const int nameSize = body.size() > 1 ? quint8(body.at(1)) : 0;
    const QByteArray name = body.mid(2, nameSize);
    if (body.size() < 2 + nameSize || !isCommandName(name)) {
        Fail(KAVWorkConnection::ProtocolError,
             QStringLiteral("Protocol violation: a malformed command name."));
        return;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body.mid(2 + nameSize), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isArray()
        || document.array().size() > 1) {
        Fail(KAVWorkConnection::ProtocolError,
             QStringLiteral("Protocol violation: a malformed payload of \"%1\".")
                 .arg(QString::fromLatin1(name)));
        return;
    }
    const QJsonArray wrapped = document.array();
    incoming.append(
        {name, wrapped.isEmpty() ? QJsonValue(QJsonValue::Undefined) : wrapped.first()});
    ScheduleDispatch();
}

void KAVWorkConnectionPrivate::OnHello(const QByteArray &body)
{
    if (authenticated || !peerNonce.isEmpty() || body.size() != 2 + NonceSize) {
        Fail(KAVWorkConnection::ProtocolError,
             QStringLiteral("Protocol violation: an unexpected greeting."));
        return;
    }
    if (quint8(body.at(1)) != ProtocolVersion) {
        Fail(KAVWorkConnection::AuthenticationError,
             QStringLiteral("The peer speaks protocol version %1, this side %2.")
                 .arg(quint8(body.at(1)))
                 .arg(ProtocolVersion));
        return;
    }
    peerNonce = body.mid(2);
    if (started)
        SendProof();
}

void KAVWorkConnectionPrivate::SendProof()
{
    if (proofSent)
        return;
    proofSent = true;
    socket->write(frame(char(ProofFrame) + proof(q->GetAuthenticationKey(), peerNonce, ownNonce)));
    CompleteIfAuthenticated();
}

void KAVWorkConnectionPrivate::OnProof(const QByteArray &body)
{
    // The peer can only answer a nonce this side has sent, after its own greeting.
    if (!started || peerNonce.isEmpty() || peerVerified || body.size() != 1 + ProofSize) {
        Fail(KAVWorkConnection::ProtocolError,
             QStringLiteral("Protocol violation: an unexpected proof."));
        return;
    }
    const QByteArray expected = proof(q->GetPeerAuthenticationKey(), ownNonce, peerNonce);
    if (!constantTimeEquals(body.mid(1), expected)) {
        Fail(KAVWorkConnection::AuthenticationError,
             QStringLiteral("The peer failed to prove its key."));
        return;
    }
    peerVerified = true;
    // Each side counts as authenticated only once the other has accepted its proof, so a
    // wrong key on either side fails the handshake on both.
    socket->write(frame(QByteArray(1, char(AcceptFrame))));
    CompleteIfAuthenticated();
}

void KAVWorkConnectionPrivate::OnAccept(const QByteArray &body)
{
    if (!proofSent || peerAccepted || body.size() != 1) {
        Fail(KAVWorkConnection::ProtocolError,
             QStringLiteral("Protocol violation: an unexpected acceptance."));
        return;
    }
    peerAccepted = true;
    CompleteIfAuthenticated();
}

void KAVWorkConnectionPrivate::CompleteIfAuthenticated()
{
    if (authenticated || !peerVerified || !peerAccepted)
        return;
    authenticated = true;
    handshakeTimer.stop();
    pendingBytes = 0;
    for (const QByteArray &pending : std::exchange(pendingFrames, {}))
        socket->write(pending);
    // From the event loop, like received commands: a handler may run a nested loop, and the
    // socket does not announce new data while its own readyRead is being handled.
    const quint64 session = sessionId;
    QMetaObject::invokeMethod(
        q,
        [this, session] {
            if (authenticated && session == sessionId)
                Q_EMIT q->Authenticated();
        },
        Qt::QueuedConnection);
}

void KAVWorkConnectionPrivate::ScheduleDispatch()
{
    if (dispatchScheduled)
        return;
    dispatchScheduled = true;
    QMetaObject::invokeMethod(
        q, [this] { DispatchIncoming(); }, Qt::QueuedConnection);
}

void KAVWorkConnectionPrivate::DispatchIncoming()
{
    dispatchScheduled = false;
    QPointer<KAVWorkConnection> guard(q);
    // A receiver may run a nested event loop: later commands are then delivered by a nested
    // call of this function, which takes them from the same queue.
    while (!incoming.isEmpty()) {
        const auto [name, data] = incoming.takeFirst();
        if (!incoming.isEmpty())
            ScheduleDispatch();
        const bool consumed = q->ReceiveCommand(name, data);
        if (!guard)
            return;
        if (!consumed)
            qCWarning(lcWork, "KAVWorkConnection: unknown command \"%s\" ignored",
                      name.constData());
    }
}

void KAVWorkConnectionPrivate::OnSocketError()
{
    if (broken || !socket)
        return;
    // Whatever the peer sent before it closed is still delivered.
    QPointer<KAVWorkConnection> guard(q);
    OnReadyRead();
    if (!guard || broken)
        return;
    Fail(KAVWorkConnection::SocketError, socket->errorString());
}

void KAVWorkConnectionPrivate::OnDisconnected()
{
    if (!broken && HandshakeInProgress()) {
        QPointer<KAVWorkConnection> guard(q);
        Fail(KAVWorkConnection::AuthenticationError,
             QStringLiteral("The connection closed during the authentication handshake."));
        if (!guard)
            return;
    }
    ResetSession();
}

void KAVWorkConnectionPrivate::Fail(KAVWorkConnection::Error failure, const QString &message)
{
    if (broken)
        return;
    broken = true;
    error = failure;
    errorString = message;
    handshakeTimer.stop();
    buffer.clear();
    readOffset = 0;
    // The peer closing an established connection is how a session normally ends.
    if (failure == KAVWorkConnection::SocketError && authenticated && socket
        && socket->error() == QAbstractSocket::RemoteHostClosedError)
        qCDebug(lcWork).noquote() << "KAVWorkConnection:" << message;
    else
        qCWarning(lcWork).noquote() << "KAVWorkConnection:" << message;

    // A socket or protocol error before Authenticate() is not an authentication failure.
    const bool reportsError = failure != KAVWorkConnection::AuthenticationError
        && failure != KAVWorkConnection::HandshakeTimeoutError;
    const bool handshakeFailed = !authenticated && (started || !reportsError);
    QPointer<KAVWorkConnection> guard(q);
    if (handshakeFailed)
        Q_EMIT q->AuthenticationFailed();
    if (guard && reportsError)
        Q_EMIT q->ErrorOccurred();
    if (guard && socket && socket->state() != QAbstractSocket::UnconnectedState)
        socket->abort();
}

void KAVWorkConnectionPrivate::ResetSession()
{
    handshakeTimer.stop();
    buffer.clear();
    readOffset = 0;
    started = proofSent = peerVerified = peerAccepted = authenticated = broken = false;
    ++sessionId;
    ownNonce.clear();
    peerNonce.clear();
}
