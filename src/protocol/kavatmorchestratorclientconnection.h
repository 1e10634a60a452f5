// The runner's side of the runner-client connection.
#ifndef KAVATMORCHESTRATORCLIENTCONNECTION_H
#define KAVATMORCHESTRATORCLIENTCONNECTION_H

#include "kavautomation_export.h"
#include "kavworkconnection.h"

#include <QtCore/QJsonObject>
#include <QtCore/QUuid>

#include <memory>

class KAVAtmOrchestratorClientConnectionPrivate;

// The runner's side of the connection to one client: sends actions, receives the client's
// registration, action updates and recording data. A client proves the secret the runner gave
// it when it launched it; which one it proved tells the runner which client it is.
class KAVAUTOMATION_EXPORT KAVAtmOrchestratorClientConnection : public KAVWorkConnection {
    Q_OBJECT
public:
    KAVAtmOrchestratorClientConnection(QObject *parent, QTcpSocket *socket);
    ~KAVAtmOrchestratorClientConnection() override;

    // Returns false, with the reason, for an action that cannot be sent (too large).
    bool SendExecute(const QUuid &id, const QJsonObject &data, QString *errorString = nullptr);

    // The secrets of the clients the runner launched: a peer must prove one of them, or, when
    // builtInAccepted, the built-in key of hosts started without a secret. Until this is called
    // only the built-in key is accepted.
    void SetClientSecrets(const QList<QByteArray> &secrets, bool builtInAccepted);
    // The secret the peer proved: empty for the built-in key, and before authentication.
    QByteArray GetAuthenticatedSecret() const;

Q_SIGNALS:
    void ClientRegistered(QJsonValue data);
    void ActionStatusUpdated(QJsonValue data);
    void RecordingDataReceived(QJsonValue data);
    // Recording started (1), paused (2) or stopped (0) in the client; -1 for a status the
    // client named wrongly.
    void RecordingStatusReceived(int status);

protected:
    bool ReceiveCommand(const QByteArray &command, const QJsonValue &data) override;
    QByteArray GetAuthenticationKey() const override;
    QByteArray GetPeerAuthenticationKey() const override;
    QList<QByteArray> GetPeerAuthenticationKeys() const override;

private:
    const std::unique_ptr<KAVAtmOrchestratorClientConnectionPrivate> d;
};

#endif // KAVATMORCHESTRATORCLIENTCONNECTION_H
