// The client's (host's) side of the runner-client connection.
#ifndef KAVATMCLIENTORCHESTRATORCONNECTION_H
#define KAVATMCLIENTORCHESTRATORCONNECTION_H

#include "kavautomation_export.h"
#include "kavworkconnection.h"

#include <QtCore/QUuid>

#include <memory>

class KAVAtmClientOrchestratorConnectionPrivate;
class KAVAtmTestActionResult;

// The client's side of the connection to the runner: registers the client, sends action
// updates and recording data, receives actions to run.
class KAVAUTOMATION_EXPORT KAVAtmClientOrchestratorConnection : public KAVWorkConnection {
    Q_OBJECT
public:
    KAVAtmClientOrchestratorConnection(QObject *parent, QTcpSocket *socket);
    ~KAVAtmClientOrchestratorConnection() override;

    // The secret the runner gave this host: both keys are made from it. Without one the
    // built-in keys are used, which a runner accepts only when told to.
    void SetClientSecret(const QByteArray &secret);

    void SendClient(qint64 pid, const QString &name);
    // Each returns false, with the reason, when the message cannot be sent (too large).
    bool SendActionUpdate(const KAVAtmTestActionResult *result, QString *errorString = nullptr);
    bool SendRecordingData(const QJsonValue &data, QString *errorString = nullptr);
    // Tells the runner that recording started, paused or stopped.
    bool SendRecordingStatus(int status);

Q_SIGNALS:
    void ExecuteRequested(QUuid id, QJsonValue actionData);
    void CancelRequested(QUuid id);

protected:
    bool ReceiveCommand(const QByteArray &command, const QJsonValue &data) override;
    QByteArray GetAuthenticationKey() const override;
    QByteArray GetPeerAuthenticationKey() const override;

private:
    const std::unique_ptr<KAVAtmClientOrchestratorConnectionPrivate> d;
};

#endif // KAVATMCLIENTORCHESTRATORCONNECTION_H
