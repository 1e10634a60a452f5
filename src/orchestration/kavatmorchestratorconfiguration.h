#ifndef KAVATMORCHESTRATORCONFIGURATION_H
#define KAVATMORCHESTRATORCONFIGURATION_H

#include "kavatmclientdefinition.h"

#include <QtCore/QJsonObject>
#include <QtCore/QJsonValue>

class KAVAtmOrchestratorConfigurationPrivate;

// The clients the runner can launch, from "KAVAutomationOrchestrator.json".
class KAVAUTOMATION_EXPORT KAVAtmOrchestratorConfiguration {
public:
    // Reads the default file: "<application directory>/<application name>.json".
    KAVAtmOrchestratorConfiguration();
    explicit KAVAtmOrchestratorConfiguration(const QString &filePath);
    explicit KAVAtmOrchestratorConfiguration(const QJsonValue &json);
    KAVAtmOrchestratorConfiguration(const KAVAtmOrchestratorConfiguration &other);
    KAVAtmOrchestratorConfiguration &operator=(const KAVAtmOrchestratorConfiguration &other);
    ~KAVAtmOrchestratorConfiguration();

    static QString GetDefaultFilePath();

    QList<KAVAtmClientDefinition> GetClients() const;
    // Atomic: a failed save leaves the previous file whole and says why in errorString.
    bool SaveToJsonFile(const QString &filePath, QString *errorString = nullptr) const;

private:
    void FromJson(const QJsonValue &json);
    QJsonObject ToJson() const;

    QSharedDataPointer<KAVAtmOrchestratorConfigurationPrivate> d;
};

#endif // KAVATMORCHESTRATORCONFIGURATION_H
