// The runner's side of the runner-client connection.
#ifndef KAVATMORCHESTRATORCLIENTCONNECTION_H
#define KAVATMORCHESTRATORCLIENTCONNECTION_H

#include "kavautomation_export.h"
#include "kavworkconnection.h"

#include <QtCore/QJsonObject>
#include <QtCore/QUuid>

// The runner's side of the connection to one client: sends actions, receives the client's
// registration, action updates and recording data.
class KAVAUTOMATION_EXPORT KAVAtmOrchestratorClientConnection : public KAVWorkConnection {
    Q_OBJECT
public:
    KAVAtmOrchestratorClientConnection(QObject *parent, QTcpSocket *socket);
    ~KAVAtmOrchestratorClientConnection() override;

    void SendExecute(const QUuid &id, const QJsonObject &data);

Q_SIGNALS:
    void ClientRegistered(QJsonValue data);
    void ActionStatusUpdated(QJsonValue data);
    void RecordingDataReceived(QJsonValue data);

protected:
    bool ReceiveCommand(const QByteArray &command, const QJsonValue &data) override;
    QByteArray GetAuthenticationKey() const override;
    QByteArray GetPeerAuthenticationKey() const override;
};

#endif // KAVATMORCHESTRATORCLIENTCONNECTION_H
