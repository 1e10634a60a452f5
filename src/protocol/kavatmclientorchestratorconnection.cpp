#include "kavatmclientorchestratorconnection.h"
#include "kavatmprotocol_p.h"
#include "kavatmtestactionresult.h"

#include <QtCore/QJsonObject>

using namespace KAVAtmProtocol;

KAVAtmClientOrchestratorConnection::KAVAtmClientOrchestratorConnection(QObject *parent,
                                                                       QTcpSocket *socket)
    : KAVWorkConnection(parent, socket)
{
}

KAVAtmClientOrchestratorConnection::~KAVAtmClientOrchestratorConnection() = default;

void KAVAtmClientOrchestratorConnection::SendClient(qint64 pid, const QString &name)
{
    SendCommand(CommandClient,
                QJsonObject {{QStringLiteral("pid"), pid}, {QStringLiteral("name"), name}});
}

void KAVAtmClientOrchestratorConnection::SendActionUpdate(const KAVAtmTestActionResult *result)
{
    if (!result)
        return;
    SendCommand(CommandActionUpdate, result->ToJson());
}

void KAVAtmClientOrchestratorConnection::SendRecordingData(const QJsonValue &data)
{
    SendCommand(CommandRecordingData, data);
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
    return ClientKey;
}

QByteArray KAVAtmClientOrchestratorConnection::GetPeerAuthenticationKey() const
{
    return OrchestratorKey;
}
