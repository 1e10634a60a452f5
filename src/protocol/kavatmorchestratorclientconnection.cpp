#include "kavatmorchestratorclientconnection.h"
#include "kavatmprotocol_p.h"

using namespace KAVAtmProtocol;

KAVAtmOrchestratorClientConnection::KAVAtmOrchestratorClientConnection(QObject *parent,
                                                                       QTcpSocket *socket)
    : KAVWorkConnection(parent, socket)
{
}

KAVAtmOrchestratorClientConnection::~KAVAtmOrchestratorClientConnection() = default;

void KAVAtmOrchestratorClientConnection::SendExecute(const QUuid &id, const QJsonObject &data)
{
    SendCommand(CommandExecute,
                QJsonObject {{QStringLiteral("id"), id.toString(QUuid::WithBraces)},
                             {QStringLiteral("data"), data}});
}

bool KAVAtmOrchestratorClientConnection::ReceiveCommand(const QByteArray &command,
                                                        const QJsonValue &data)
{
    if (KAVWorkConnection::ReceiveCommand(command, data))
        return true;
    if (command == CommandClient)
        Q_EMIT ClientRegistered(data);
    else if (command == CommandActionUpdate)
        Q_EMIT ActionStatusUpdated(data);
    else if (command == CommandRecordingData)
        Q_EMIT RecordingDataReceived(data);
    else
        return false;
    return true;
}

QByteArray KAVAtmOrchestratorClientConnection::GetAuthenticationKey() const
{
    return OrchestratorKey;
}

QByteArray KAVAtmOrchestratorClientConnection::GetPeerAuthenticationKey() const
{
    return ClientKey;
}
