#include "kavatmclientorchestratorconnection.h"
#include "kavatmconnectionkeys_p.h"
#include "kavatmorchestratorclientconnection.h"
#include "kavatmtestactionresult.h"

#include <QtCore/QJsonObject>

namespace {
const QByteArray CommandClient = QByteArrayLiteral("client");
const QByteArray CommandActionUpdate = QByteArrayLiteral("actionupdate");
const QByteArray CommandRecordingData = QByteArrayLiteral("recordingdata");
const QByteArray CommandExecute = QByteArrayLiteral("execute");
const QByteArray CommandCancel = QByteArrayLiteral("cancel");
} // namespace

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
    return KAVAtmConnectionKeys::OrchestratorKey;
}

QByteArray KAVAtmOrchestratorClientConnection::GetPeerAuthenticationKey() const
{
    return KAVAtmConnectionKeys::ClientKey;
}

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
    return KAVAtmConnectionKeys::ClientKey;
}

QByteArray KAVAtmClientOrchestratorConnection::GetPeerAuthenticationKey() const
{
    return KAVAtmConnectionKeys::OrchestratorKey;
}
