#include "kavatmorchestratorclientconnection.h"
#include "kavatmprotocol_p.h"

using namespace KAVAtmProtocol;

class KAVAtmOrchestratorClientConnectionPrivate {
public:
    QList<QByteArray> secrets;
    bool builtInAccepted = true;
};

KAVAtmOrchestratorClientConnection::KAVAtmOrchestratorClientConnection(QObject *parent,
                                                                       QTcpSocket *socket)
    : KAVWorkConnection(parent, socket), d(new KAVAtmOrchestratorClientConnectionPrivate)
{
    // The runner proves its key once it knows which client's key the peer proved.
    SetProofAfterPeer(true);
}

KAVAtmOrchestratorClientConnection::~KAVAtmOrchestratorClientConnection() = default;

bool KAVAtmOrchestratorClientConnection::SendExecute(const QUuid &id, const QJsonObject &data,
                                                     QString *errorString)
{
    return SendCommand(CommandExecute,
                       QJsonObject {{QStringLiteral("id"), id.toString(QUuid::WithBraces)},
                                    {QStringLiteral("data"), data}},
                       errorString);
}

void KAVAtmOrchestratorClientConnection::SetClientSecrets(const QList<QByteArray> &secrets,
                                                          bool builtInAccepted)
{
    d->secrets = secrets;
    d->secrets.removeAll(QByteArray());
    d->builtInAccepted = builtInAccepted;
}

QByteArray KAVAtmOrchestratorClientConnection::GetAuthenticatedSecret() const
{
    const int index = GetPeerKeyIndex();
    return index >= 0 && index < d->secrets.size() ? d->secrets.at(index) : QByteArray();
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
    else if (command == CommandRecordingStatus) {
        const QJsonValue status = data.toObject().value(QLatin1String("status"));
        const int value = status.isDouble() ? status.toInt(-1) : -1;
        Q_EMIT RecordingStatusReceived(value >= 0 && value <= 2 ? value : -1);
    } else
        return false;
    return true;
}

QByteArray KAVAtmOrchestratorClientConnection::GetAuthenticationKey() const
{
    const QByteArray secret = GetAuthenticatedSecret();
    return secret.isEmpty() ? OrchestratorKey : DeriveOrchestratorKey(secret);
}

QByteArray KAVAtmOrchestratorClientConnection::GetPeerAuthenticationKey() const
{
    const QByteArray secret = GetAuthenticatedSecret();
    return secret.isEmpty() ? ClientKey : DeriveClientKey(secret);
}

QList<QByteArray> KAVAtmOrchestratorClientConnection::GetPeerAuthenticationKeys() const
{
    // Secrets first: their positions are what GetPeerKeyIndex() reports.
    QList<QByteArray> keys;
    for (const QByteArray &secret : std::as_const(d->secrets))
        keys.append(DeriveClientKey(secret));
    if (d->builtInAccepted)
        keys.append(ClientKey);
    return keys;
}
