#include "kavatmclientorchestratorconnection.h"
#include "kavatmprotocol_p.h"
#include "kavatmtestactionresult.h"

#include <QtCore/QJsonObject>

using namespace KAVAtmProtocol;

class KAVAtmClientOrchestratorConnectionPrivate {
public:
    QByteArray secret;
};

KAVAtmClientOrchestratorConnection::KAVAtmClientOrchestratorConnection(QObject *parent,
                                                                       QTcpSocket *socket)
    : KAVWorkConnection(parent, socket), d(new KAVAtmClientOrchestratorConnectionPrivate)
{
}

void KAVAtmClientOrchestratorConnection::SetClientSecret(const QByteArray &secret)
{
    d->secret = secret;
}

KAVAtmClientOrchestratorConnection::~KAVAtmClientOrchestratorConnection() = default;

void KAVAtmClientOrchestratorConnection::SendClient(qint64 pid, const QString &name)
{
    SendCommand(CommandClient,
                QJsonObject {{QStringLiteral("pid"), pid}, {QStringLiteral("name"), name}});
}

bool KAVAtmClientOrchestratorConnection::SendActionUpdate(const KAVAtmTestActionResult *result,
                                                          QString *errorString)
{
    if (!result)
        return false;
    return SendCommand(CommandActionUpdate, result->ToJson(), errorString);
}

bool KAVAtmClientOrchestratorConnection::SendRecordingData(const QJsonValue &data,
                                                           QString *errorString)
{
    return SendCommand(CommandRecordingData, data, errorString);
}

bool KAVAtmClientOrchestratorConnection::SendRecordingStatus(int status)
{
    return SendCommand(CommandRecordingStatus, QJsonObject {{QStringLiteral("status"), status}});
}

bool KAVAtmClientOrchestratorConnection::ReceiveCommand(const QByteArray &command,
                                                        const QJsonValue &data)
{
    if (KAVWorkConnection::ReceiveCommand(command, data))
        return true;
    if (command == CommandExecute) {
        const QJsonObject payload = data.toObject();
        Q_EMIT ExecuteRequested(QUuid::fromString(payload.value(QLatin1String("id")).toString()),
                                payload.value(QLatin1String("data")));
    } else if (command == CommandCancel) {
        Q_EMIT CancelRequested(QUuid::fromString(data.toString()));
    } else {
        return false;
    }
    return true;
}

QByteArray KAVAtmClientOrchestratorConnection::GetAuthenticationKey() const
{
    return d->secret.isEmpty() ? ClientKey : DeriveClientKey(d->secret);
}

QByteArray KAVAtmClientOrchestratorConnection::GetPeerAuthenticationKey() const
{
    return d->secret.isEmpty() ? OrchestratorKey : DeriveOrchestratorKey(d->secret);
}
