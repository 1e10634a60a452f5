// The client's (host's) side of the runner-client connection.
#ifndef KAVATMCLIENTORCHESTRATORCONNECTION_H
#define KAVATMCLIENTORCHESTRATORCONNECTION_H

#include "kavautomation_export.h"
#include "kavworkconnection.h"

#include <QtCore/QUuid>

class KAVAtmTestActionResult;

// The client's side of the connection to the runner: registers the client, sends action
// updates and recording data, receives actions to run.
class KAVAUTOMATION_EXPORT KAVAtmClientOrchestratorConnection : public KAVWorkConnection {
    Q_OBJECT
public:
    KAVAtmClientOrchestratorConnection(QObject *parent, QTcpSocket *socket);
    ~KAVAtmClientOrchestratorConnection() override;

    void SendClient(qint64 pid, const QString &name);
    void SendActionUpdate(const KAVAtmTestActionResult *result);
    void SendRecordingData(const QJsonValue &data);

Q_SIGNALS:
    void ExecuteRequested(QUuid id, QJsonValue actionData);
    void CancelRequested(QUuid id);

protected:
    bool ReceiveCommand(const QByteArray &command, const QJsonValue &data) override;
    QByteArray GetAuthenticationKey() const override;
    QByteArray GetPeerAuthenticationKey() const override;
};

#endif // KAVATMCLIENTORCHESTRATORCONNECTION_H
