#include "kavatmconfiguration.h"
#include "kavatmlogging_p.h"
#include "kavatmprotocol_p.h"

#include <QtCore/QRegularExpression>
#include <QtNetwork/QHostInfo>

class KAVAtmConfigurationPrivate {
public:
    QHostAddress orchestratorAddress {QHostAddress::LocalHost};
    quint16 orchestratorPort = 0;
    QByteArray clientSecret;
    QHostAddress clientAddress {QHostAddress::LocalHost};
};

KAVAtmConfiguration::KAVAtmConfiguration() : d(new KAVAtmConfigurationPrivate)
{
    const QString address = qEnvironmentVariable("KAVAtmOrchestratorAddress");
    if (!address.isEmpty()) {
        QHostAddress parsed(address);
        if (parsed.isNull()) {
            const QList<QHostAddress> found = QHostInfo::fromName(address).addresses();
            if (!found.isEmpty())
                parsed = found.first();
        }
        d->orchestratorAddress = parsed;
    }
    const QString port = qEnvironmentVariable("KAVAtmOrchestratorPort");
    if (!port.isEmpty())
        d->orchestratorPort = quint16(port.toULongLong(nullptr, 10) & 0xffff);
    const QByteArray secret = qgetenv(KAVAtmProtocol::SecretVariable);
    if (!secret.isEmpty()) {
        static const QRegularExpression hex(
            QStringLiteral("^[0-9a-fA-F]{%1}$").arg(2 * KAVAtmProtocol::SecretSize));
        if (hex.match(QString::fromLatin1(secret)).hasMatch())
            d->clientSecret = QByteArray::fromHex(secret);
        else
            qCWarning(lcProtocol, "%s does not hold a secret; the built-in key is used.",
                      KAVAtmProtocol::SecretVariable);
    }
}

KAVAtmConfiguration::KAVAtmConfiguration(const KAVAtmConfiguration &other) = default;
KAVAtmConfiguration &KAVAtmConfiguration::operator=(const KAVAtmConfiguration &other) = default;
KAVAtmConfiguration::~KAVAtmConfiguration() = default;

QHostAddress KAVAtmConfiguration::GetOrchestratorAddress() const
{
    return d->orchestratorAddress;
}

QByteArray KAVAtmConfiguration::GetClientSecret() const
{
    return d->clientSecret;
}

QHostAddress KAVAtmConfiguration::GetClientAddress() const
{
    return d->clientAddress;
}

quint16 KAVAtmConfiguration::GetOrchestratorPort() const
{
    return d->orchestratorPort;
}

void KAVAtmConfiguration::SetOrchestratorAddress(const QHostAddress &address)
{
    d->orchestratorAddress = address;
}

void KAVAtmConfiguration::SetClientAddress(const QHostAddress &address)
{
    d->clientAddress = address;
}

void KAVAtmConfiguration::SetOrchestratorPort(quint16 port)
{
    d->orchestratorPort = port;
}
