#include "kavatmorchestratorconfiguration.h"
#include "kavatmlogging_p.h"
#include "kavatmreadfile.h"
#include "kavatmsavefile.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>

class KAVAtmOrchestratorConfigurationPrivate : public QSharedData {
public:
    QList<KAVAtmClientDefinition> clients;
};

KAVAtmOrchestratorConfiguration::KAVAtmOrchestratorConfiguration()
    : KAVAtmOrchestratorConfiguration(GetDefaultFilePath())
{
}

KAVAtmOrchestratorConfiguration::KAVAtmOrchestratorConfiguration(const QString &filePath)
    : d(new KAVAtmOrchestratorConfigurationPrivate)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        qCDebug(lcOrchestration,
                "[KAVAtmOrchestratorConfiguration] Failed to read "
                "KAVAutomationOrchestrator.json file.");
        return;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError) {
        qCDebug(lcOrchestration,
                "[KAVAtmOrchestratorConfiguration] Failed to parse "
                "KAVAutomationOrchestrator.json file.");
        qCDebug(lcOrchestration).noquote() << error.errorString();
        return;
    }
    FromJson(document.object());
}

KAVAtmOrchestratorConfiguration::KAVAtmOrchestratorConfiguration(const QJsonValue &json)
    : d(new KAVAtmOrchestratorConfigurationPrivate)
{
    FromJson(json);
}

KAVAtmOrchestratorConfiguration::KAVAtmOrchestratorConfiguration(
    const KAVAtmOrchestratorConfiguration &other)
    = default;
KAVAtmOrchestratorConfiguration &
KAVAtmOrchestratorConfiguration::operator=(const KAVAtmOrchestratorConfiguration &other)
    = default;
KAVAtmOrchestratorConfiguration::~KAVAtmOrchestratorConfiguration() = default;

QString KAVAtmOrchestratorConfiguration::GetDefaultFilePath()
{
    return QStringLiteral("%1%2%3.json")
        .arg(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()), QDir::separator(),
             QCoreApplication::applicationName());
}

QList<KAVAtmClientDefinition> KAVAtmOrchestratorConfiguration::GetClients() const
{
    return d->clients;
}

void KAVAtmOrchestratorConfiguration::FromJson(const QJsonValue &json)
{
    const QJsonObject root = json.toObject();
    const QJsonArray clients = root.value(QLatin1String("clients")).toArray();
    for (const QJsonValue &value : clients) {
        const QJsonObject object = value.toObject();
        KAVAtmClientDefinition client;
        client.SetPlatform(object.value(QLatin1String("platform")).toString());
        client.SetDisplayName(object.value(QLatin1String("displayName")).toString());
        client.SetExecutable(object.value(QLatin1String("executable")).toString());
        client.SetWorkingDir(object.value(QLatin1String("workingDir")).toString());
        QList<QString> arguments;
        for (const QJsonValue &argument : object.value(QLatin1String("arguments")).toArray())
            arguments.append(argument.toString());
        client.SetArguments(arguments);
        QHash<QString, QString> environment;
        const QJsonObject variables = object.value(QLatin1String("environment")).toObject();
        for (auto it = variables.constBegin(); it != variables.constEnd(); ++it)
            environment.insert(it.key(), it.value().toString());
        client.SetEnvironmentVariables(environment);
        d->clients.append(client);
    }
}

QJsonObject KAVAtmOrchestratorConfiguration::ToJson() const
{
    QJsonArray clients;
    for (const KAVAtmClientDefinition &client : d->clients) {
        QJsonObject environment;
        const QHash<QString, QString> variables = client.GetEnvironmentVariables();
        for (auto it = variables.cbegin(); it != variables.cend(); ++it)
            environment.insert(it.key(), it.value());
        clients.append(QJsonObject {
            {QStringLiteral("platform"), client.GetPlatform()},
            {QStringLiteral("displayName"), client.GetDisplayName()},
            {QStringLiteral("executable"), client.GetExecutable()},
            {QStringLiteral("workingDir"), client.GetWorkingDir()},
            {QStringLiteral("arguments"), QJsonArray::fromStringList(client.GetArguments())},
            {QStringLiteral("environment"), environment},
        });
    }
    return QJsonObject {{QStringLiteral("clients"), clients}};
}

bool KAVAtmOrchestratorConfiguration::SaveToJsonFile(const QString &filePath,
                                                     QString *errorString) const
{
    QString error;
    if (KAVAtmSaveFile::Write(filePath, QJsonDocument(ToJson()).toJson(QJsonDocument::Indented),
                              &error)
        == KAVAtmSaveFile::Outcome::Saved)
        return true;
    qCDebug(lcOrchestration).noquote()
        << "[KAVAtmOrchestratorConfiguration] Failed to write" << filePath << ':' << error;
    if (errorString)
        *errorString = error;
    return false;
}
