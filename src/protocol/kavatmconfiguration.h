#ifndef KAVATMCONFIGURATION_H
#define KAVATMCONFIGURATION_H

#include "kavautomation_export.h"

#include <QtCore/QSharedPointer>
#include <QtNetwork/QHostAddress>

class KAVAtmConfigurationPrivate;

// Where runner and clients meet: from "KAVAtmOrchestratorAddress" and "KAVAtmOrchestratorPort";
// and, for a host the runner launched, the secret it proves, from "KAVAtmClientSecret".
// Copies share their data: a setter on one changes what all report.
class KAVAUTOMATION_EXPORT KAVAtmConfiguration {
public:
    KAVAtmConfiguration();
    KAVAtmConfiguration(const KAVAtmConfiguration &other);
    KAVAtmConfiguration &operator=(const KAVAtmConfiguration &other);
    ~KAVAtmConfiguration();

    QHostAddress GetOrchestratorAddress() const;
    QHostAddress GetClientAddress() const;
    quint16 GetOrchestratorPort() const;
    // Empty when the variable is not set or does not hold a secret (64 hexadecimal digits).
    QByteArray GetClientSecret() const;
    void SetOrchestratorAddress(const QHostAddress &address);
    void SetClientAddress(const QHostAddress &address);
    void SetOrchestratorPort(quint16 port);

private:
    QSharedPointer<KAVAtmConfigurationPrivate> d;
};

#endif // KAVATMCONFIGURATION_H
