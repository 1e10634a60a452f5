#include "kavworkconnection.h"
#include "kavworkconnection_p.h"

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

// Bytes buffered by all connections of the process; everything runs on one thread.
qint64 s_bufferedBytes = 0;
qint64 s_bufferedBytesLimit = KAVWorkConnection::DefaultBufferedBytesLimit;

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

KAVWorkConnectionPrivate::~KAVWorkConnectionPrivate()
{
    s_bufferedBytes -= accounted;
}

QTcpSocket *KAVWorkConnection::GetSocket() const
{
    return static_cast<QTcpSocket *>(d->socket.data());
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

qint32 KAVWorkConnection::GetMaximumFrameSize() const
{
    return d->maximumFrameSize;
}

void KAVWorkConnection::SetMaximumFrameSize(qint32 bytes)
{
    d->maximumFrameSize = qBound(MaximumHandshakeFrameSize, bytes, MaximumFrameSize);
}

qint64 KAVWorkConnection::GetBufferedBytes()
{
    return s_bufferedBytes;
}

qint64 KAVWorkConnection::GetBufferedBytesLimit()
{
    return s_bufferedBytesLimit;
}

void KAVWorkConnection::SetBufferedBytesLimit(qint64 bytes)
{
    s_bufferedBytesLimit = qMax<qint64>(MaximumHandshakeFrameSize, bytes);
}

int KAVWorkConnection::GetPeerKeyIndex() const
{
    return d->peerKeyIndex;
}

QList<QByteArray> KAVWorkConnection::GetPeerAuthenticationKeys() const
{
    return {GetPeerAuthenticationKey()};
}

void KAVWorkConnection::SetProofAfterPeer(bool after)
{
    d->proofAfterPeer = after;
}

void KAVWorkConnection::Authenticate()
{
    if (!d->socket || d->socket->state() != QAbstractSocket::ConnectedState) {
        qCWarning(lcWork, "KAVWorkConnection::Authenticate: the socket is not connected");
        return;
    }
    if (d->started || d->broken)
        return;
    if (GetPeerAuthenticationKeys().isEmpty())
        qCWarning(lcWork, "KAVWorkConnection::Authenticate: no peer key to check");

    d->started = true;
    d->ownNonce.resize(NonceSize);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(d->ownNonce.data()),
                                          NonceSize / sizeof(quint32));
    d->handshakeTimer.start();
    d->Write(frame(QByteArray(1, char(HelloFrame)) + char(ProtocolVersion) + d->ownNonce));
    // The peer's hello may have come first.
    if (!d->peerNonce.isEmpty() && !d->proofAfterPeer)
        d->SendProof();
}

bool KAVWorkConnection::SendCommand(const QByteArray &command, const QJsonValue &data,
                                    QString *errorString)
{
    const auto refuse = [errorString](const QString &reason) {
        qCWarning(lcWork).noquote() << "KAVWorkConnection::SendCommand:" << reason;
        if (errorString)
            *errorString = reason;
        return false;
    };
    if (!isCommandName(command)) {
        return refuse(QStringLiteral("invalid command name \"%1\"")
                          .arg(QString::fromLatin1(command.left(MaximumCommandNameSize))));
    }
    const QJsonArray wrapped = data.isUndefined() ? QJsonArray() : QJsonArray {data};
    QByteArray body;
    body.reserve(2 + command.size() + 64);
    body.append(char(CommandFrame)).append(char(command.size())).append(command);
    body.append(QJsonDocument(wrapped).toJson(QJsonDocument::Compact));
    if (body.size() > d->maximumFrameSize) {
        return refuse(QStringLiteral("\"%1\" is too large to send: %2 bytes (limit %3 bytes).")
                          .arg(QString::fromLatin1(command), QString::number(body.size()),
                               QString::number(d->maximumFrameSize)));
    }
    if (d->authenticated && d->socket && d->socket->state() == QAbstractSocket::ConnectedState) {
        d->Write(frame(body));
        return true;
    }
    if (d->pendingFrames.size() >= MaximumPendingCommands
        || d->pendingBytes + body.size() > d->maximumFrameSize) {
        return refuse(QStringLiteral("not authenticated, and too much is waiting already; \"%1\" "
                                     "is dropped.")
                          .arg(QString::fromLatin1(command)));
    }
    d->pendingBytes += body.size();
    d->pendingFrames.append(frame(body));
    return true;
}

bool KAVWorkConnection::ReceiveCommand(const QByteArray &, const QJsonValue &)
{
    return false;
}

void KAVWorkConnectionPrivate::OnReadyRead()
{
    if (!socket)
        return;
    const QByteArray bytes = socket->readAll();
    Receive(bytes);
}

void KAVWorkConnectionPrivate::Receive(const QByteArray &bytes)
{
    if (broken)
        return;
    // Checked before the bytes are kept: many peers each holding back most of a large frame
    // must not exhaust the process.
    if (s_bufferedBytes - accounted + (buffer.size() - readOffset) + bytes.size()
        > s_bufferedBytesLimit) {
        Fail(KAVWorkConnection::BufferLimitError,
             QStringLiteral("The unread data of all connections would exceed %1 bytes.")
                 .arg(s_bufferedBytesLimit));
        return;
    }
    buffer.append(bytes);
    AccountBuffer();

    // Signals emitted while a frame is handled may end the session or delete this object.
    // The read position is a member: a nested call continues where this one is.
    QPointer<KAVWorkConnection> guard(q);
    const quint64 session = sessionId;
    while (buffer.size() - readOffset >= 4) {
        const quint32 length = qFromBigEndian<quint32>(buffer.constData() + readOffset);
        const quint32 limit = authenticated ? quint32(maximumFrameSize)
                                            : quint32(KAVWorkConnection::MaximumHandshakeFrameSize);
        // Checked before waiting for the body: a claimed size is never reserved.
        if (length == 0 || length > limit) {
            Fail(length == 0 ? KAVWorkConnection::ProtocolError
                             : KAVWorkConnection::FrameTooLargeError,
                 QStringLiteral("Protocol violation: a frame of %1 bytes (limit %2).")
                     .arg(QString::number(length), QString::number(limit)));
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
    AccountBuffer();
}

void KAVWorkConnectionPrivate::AccountBuffer()
{
    const qint64 now = buffer.size() - readOffset;
    s_bufferedBytes += now - accounted;
    accounted = now;
}

void KAVWorkConnectionPrivate::Write(const QByteArray &bytes)
{
    if (socket && socket->state() == QAbstractSocket::ConnectedState)
        socket->write(bytes);
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
                 .arg(QString::number(quint8(body.at(1))), QString::number(ProtocolVersion)));
        return;
    }
    peerNonce = body.mid(2);
    if (started && !proofAfterPeer)
        SendProof();
}

void KAVWorkConnectionPrivate::SendProof()
{
    if (proofSent)
        return;
    proofSent = true;
    Write(frame(char(ProofFrame) + proof(q->GetAuthenticationKey(), peerNonce, ownNonce)));
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
    // Every candidate is compared, each in constant time, whichever matches.
    const QList<QByteArray> keys = q->GetPeerAuthenticationKeys();
    int matched = -1;
    for (int i = 0; i < keys.size(); ++i) {
        if (!keys.at(i).isEmpty()
            && constantTimeEquals(body.mid(1), proof(keys.at(i), ownNonce, peerNonce))
            && matched < 0)
            matched = i;
    }
    if (matched < 0) {
        Fail(KAVWorkConnection::AuthenticationError,
             QStringLiteral("The peer failed to prove its key."));
        return;
    }
    peerVerified = true;
    peerKeyIndex = matched;
    // Each side counts as authenticated only once the other has accepted its proof, so a
    // wrong key on either side fails the handshake on both.
    Write(frame(QByteArray(1, char(AcceptFrame))));
    if (proofAfterPeer)
        SendProof(); // now that the key it proved tells which of ours to prove
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
        Write(pending);
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
    AccountBuffer();
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
    AccountBuffer();
    started = proofSent = peerVerified = peerAccepted = authenticated = broken = false;
    peerKeyIndex = -1;
    ++sessionId;
    ownNonce.clear();
    peerNonce.clear();
}
