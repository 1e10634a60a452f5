#ifndef KAVWORKCONNECTION_P_H
#define KAVWORKCONNECTION_P_H

//
//  The channel's private object: not part of the installed interface. The fuzz targets drive it
//  directly (Receive), without a network.
//

#include "kavworkconnection.h"

#include <QtCore/QList>
#include <QtCore/QPair>
#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtNetwork/QAbstractSocket>

class KAVWorkConnectionPrivate {
public:
    explicit KAVWorkConnectionPrivate(KAVWorkConnection *q) : q(q) { }
    ~KAVWorkConnectionPrivate();

    static KAVWorkConnectionPrivate *get(KAVWorkConnection *q) { return q->d.get(); }

    void OnReadyRead();
    // Takes bytes as they came from the peer and handles every whole frame among them.
    void Receive(const QByteArray &bytes);
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
    void Write(const QByteArray &bytes);
    // Keeps the process-wide count of buffered bytes in step with this buffer.
    void AccountBuffer();
    bool HandshakeInProgress() const { return started && !authenticated; }

    KAVWorkConnection *const q;
    // As its base class: a socket being destroyed announces its disconnection from the base
    // class's destructor, when it is no QTcpSocket any more.
    QPointer<QAbstractSocket> socket;
    QTimer handshakeTimer;
    QByteArray buffer;
    qsizetype readOffset = 0;
    qint64 accounted = 0;
    qint32 maximumFrameSize = KAVWorkConnection::MaximumFrameSize;
    bool proofAfterPeer = false;

    // The handshake of the socket's current connection.
    bool started = false;
    bool proofSent = false;
    bool peerVerified = false;
    bool peerAccepted = false;
    bool authenticated = false;
    bool broken = false;
    int peerKeyIndex = -1;
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

#endif // KAVWORKCONNECTION_P_H
