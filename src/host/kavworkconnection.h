#ifndef KAVWORKCONNECTION_H
#define KAVWORKCONNECTION_H

#include "kavhost_export.h"

#include <QtCore/QJsonValue>
#include <QtCore/QObject>

#include <memory>

class KAVWorkConnectionPrivate;
class QTcpSocket;

// An authenticated command channel over a TCP socket.
//
// Each message is one frame: a 4-byte big-endian body length, then the body. Before anything
// else the two sides prove to each other that they hold the agreed keys: each sends a fresh
// random nonce, answers the peer's nonce with an HMAC-SHA256 made with its own key, checks the
// peer's answer with the peer's key and tells the peer it accepted. Each side is authenticated
// once it has accepted the peer and been accepted. Commands sent before that are held back;
// commands received before that end the connection. A malformed, oversized or unexpected frame ends
// the connection too (ErrorOccurred), before any memory is reserved for it.
//
// Received commands are delivered from the event loop, not from inside the socket's readyRead,
// so a receiver may run a nested event loop and still get the commands that follow.
//
// A side may accept several peer keys (a server whose clients each hold their own): it then
// proves its own key only after the peer has proven one of them, and tells which.
class KAVHOST_EXPORT KAVWorkConnection : public QObject {
    Q_OBJECT
public:
    enum Error {
        NoError,
        SocketError, // the socket reported an error, the peer closing included
        ProtocolError, // a malformed or unexpected frame
        FrameTooLargeError, // a frame above the size limit
        AuthenticationError, // the peer's proof did not match, or the handshake did not finish
        HandshakeTimeoutError,
        BufferLimitError, // the unread data of all connections went over the process's limit
    };
    Q_ENUM(Error)

    // Largest body accepted once authenticated, and during the handshake.
    static constexpr qint32 MaximumFrameSize = 64 * 1024 * 1024;
    static constexpr qint32 MaximumHandshakeFrameSize = 256;
    // Commands held back before authentication, at most.
    static constexpr int MaximumPendingCommands = 10000;
    static constexpr int DefaultHandshakeTimeout = 10000;
    static constexpr qint64 DefaultBufferedBytesLimit = 256 * 1024 * 1024;

    KAVWorkConnection(QObject *parent, QTcpSocket *socket);
    ~KAVWorkConnection() override;

    QTcpSocket *GetSocket() const;
    bool IsAuthenticated() const;
    Error GetError() const;
    QString GetErrorString() const;

    // Milliseconds from Authenticate() until both proofs must have been exchanged.
    int GetHandshakeTimeout() const;
    void SetHandshakeTimeout(int milliseconds);

    // The largest frame sent or taken once authenticated: MaximumFrameSize unless lowered, for
    // example for a peer that has not said yet who it is.
    qint32 GetMaximumFrameSize() const;
    void SetMaximumFrameSize(qint32 bytes);

    // Bytes received and not handled yet, over every connection of the process, and the most
    // there may be: a connection whose data would go past it fails.
    static qint64 GetBufferedBytes();
    static qint64 GetBufferedBytesLimit();
    static void SetBufferedBytesLimit(qint64 bytes);

    // Which of the accepted peer keys the peer proved; -1 until it has.
    int GetPeerKeyIndex() const;

public Q_SLOTS:
    // Starts the handshake on the socket's current connection. Call it again after a reconnect.
    void Authenticate();

Q_SIGNALS:
    void Authenticated();
    void AuthenticationFailed();
    void ErrorOccurred();

protected:
    // Sends one message; held back until authenticated. The name is 1 to 64 ASCII letters.
    // Returns false, with the reason, for a message that cannot be sent (too large, say).
    bool SendCommand(const QByteArray &command, const QJsonValue &data,
                     QString *errorString = nullptr);
    // Called once per received message, in arrival order. Returns whether it was consumed; the
    // base consumes nothing, and an unconsumed command is logged and dropped.
    virtual bool ReceiveCommand(const QByteArray &command, const QJsonValue &data);

    // This side's key, proven to the peer, and the key the peer must prove.
    virtual QByteArray GetAuthenticationKey() const = 0;
    virtual QByteArray GetPeerAuthenticationKey() const = 0;
    // Every key the peer may prove; by default the one above. With several, this side should
    // prove its own key after the peer (SetProofAfterPeer), once it knows which one it proved.
    virtual QList<QByteArray> GetPeerAuthenticationKeys() const;
    void SetProofAfterPeer(bool after);

private:
    friend class KAVWorkConnectionPrivate;
    const std::unique_ptr<KAVWorkConnectionPrivate> d;
};

#endif // KAVWORKCONNECTION_H
