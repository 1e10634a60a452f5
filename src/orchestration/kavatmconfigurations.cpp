#include "kavatmclientdefinition.h"
#include "kavatmconfiguration.h"
#include "kavatmorchestratorconfiguration.h"
#include "kavatmsavefile_p.h"
#include "kavsyslogging.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QStandardPaths>
#include <QtNetwork/QHostInfo>

// ---- Client definition

class KAVAtmClientDefinitionData : public QSharedData {
public:
    QString displayName;
    QString executable;
    QList<QString> arguments;
    QString workingDir;
    QHash<QString, QString> environment;
    QString platform;
};

KAVAtmClientDefinition::KAVAtmClientDefinition() : d(new KAVAtmClientDefinitionData) { }
KAVAtmClientDefinition::KAVAtmClientDefinition(const KAVAtmClientDefinition &other) = default;
KAVAtmClientDefinition &KAVAtmClientDefinition::operator=(const KAVAtmClientDefinition &other)
    = default;
KAVAtmClientDefinition::~KAVAtmClientDefinition() = default;

QHash<QString, QString> KAVAtmClientDefinition::GetInstallationRoots()
{
    static const QHash<QString, QString> roots = [] {
        const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
            + QDir::separator() + QStringLiteral("Brightel") + QDir::separator()
            + QStringLiteral("webdeploy") + QDir::separator();
        return QHash<QString, QString> {
            {QStringLiteral("${Corvid_Dev}"), base + QStringLiteral("dev")},
            {QStringLiteral("${Corvid_Staging}"), base + QStringLiteral("staging")},
            {QStringLiteral("${Corvid_Prod}"), base + QStringLiteral("production")},
        };
    }();
    return roots;
}

QString KAVAtmClientDefinition::ResolveInstallation(const QString &root)
{
    const QDir rootDir(root);
    if (!rootDir.exists())
        return QString();
    // Oldest first: with several installed builds the least recently modified one wins.
    const QStringList entries = rootDir.entryList(QDir::Dirs, QDir::Time | QDir::Reversed);
    QStringList directories;
    for (const QString &entry : entries)
        directories.append(rootDir.absolutePath() + QDir::separator() + entry);
    for (const QString &directory : std::as_const(directories)) {
        const QString found
            = QStandardPaths::findExecutable(QStringLiteral("CorvidApp"), {directory});
        if (!found.isEmpty())
            return QDir::toNativeSeparators(found);
    }
    return QString();
}

QString KAVAtmClientDefinition::GetPlatform() const
{
    return d->platform;
}

QString KAVAtmClientDefinition::GetDisplayName() const
{
    return d->displayName;
}

QString KAVAtmClientDefinition::GetExecutable() const
{
    const QHash<QString, QString> roots = GetInstallationRoots();
    for (auto it = roots.cbegin(); it != roots.cend(); ++it) {
        if (d->executable.contains(it.key()))
            return ResolveInstallation(it.value());
    }
    return d->executable;
}

QString KAVAtmClientDefinition::GetWorkingDir() const
{
    const QHash<QString, QString> roots = GetInstallationRoots();
    for (auto it = roots.cbegin(); it != roots.cend(); ++it) {
        if (d->workingDir.contains(it.key()))
            return QFileInfo(ResolveInstallation(it.value())).absoluteDir().path();
    }
    return d->workingDir;
}

QList<QString> KAVAtmClientDefinition::GetArguments() const
{
    return d->arguments;
}

QHash<QString, QString> KAVAtmClientDefinition::GetEnvironmentVariables() const
{
    return d->environment;
}

void KAVAtmClientDefinition::SetPlatform(const QString &platform)
{
    d->platform = platform;
}

void KAVAtmClientDefinition::SetDisplayName(const QString &displayName)
{
    d->displayName = displayName;
}

void KAVAtmClientDefinition::SetExecutable(const QString &executable)
{
    d->executable = executable;
}

void KAVAtmClientDefinition::SetWorkingDir(const QString &workingDir)
{
    d->workingDir = workingDir;
}

void KAVAtmClientDefinition::SetArguments(const QList<QString> &arguments)
{
    d->arguments = arguments;
}

void KAVAtmClientDefinition::SetEnvironmentVariables(const QHash<QString, QString> &environment)
{
    d->environment = environment;
}

// ---- Orchestrator configuration

class KAVAtmOrchestratorConfigurationData : public QSharedData {
public:
    QList<KAVAtmClientDefinition> clients;
};

KAVAtmOrchestratorConfiguration::KAVAtmOrchestratorConfiguration()
    : KAVAtmOrchestratorConfiguration(GetDefaultFilePath())
{
}

KAVAtmOrchestratorConfiguration::KAVAtmOrchestratorConfiguration(const QString &filePath)
    : d(new KAVAtmOrchestratorConfigurationData)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug("[KAVAtmOrchestratorConfiguration] Failed to read KAVAutomationOrchestrator.json "
               "file.");
        return;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError) {
        qDebug("[KAVAtmOrchestratorConfiguration] Failed to parse KAVAutomationOrchestrator.json "
               "file.");
        qDebug().noquote() << error.errorString();
        return;
    }
    FromJson(document.object());
}

KAVAtmOrchestratorConfiguration::KAVAtmOrchestratorConfiguration(const QJsonValue &json)
    : d(new KAVAtmOrchestratorConfigurationData)
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

void KAVAtmOrchestratorConfiguration::SaveToJsonFile(const QString &filePath)
{
    const KAVAtmSaveFile::Outcome outcome
        = KAVAtmSaveFile::Write(filePath, QJsonDocument(ToJson()).toJson(QJsonDocument::Indented));
    if (outcome != KAVAtmSaveFile::Outcome::Saved) {
        qCDebug(LOG_CAT_KAV_DEFAULT) << "[KAVAtmOrchestratorConfiguration] Failed to open the file "
                                        "to write. May be you do not have permission on it.";
    }
}

// ---- Connection settings

class KAVAtmConfigurationData {
public:
    QHostAddress orchestratorAddress {QHostAddress::LocalHost};
    quint16 orchestratorPort = 0;
    QHostAddress clientAddress {QHostAddress::LocalHost};
};

KAVAtmConfiguration::KAVAtmConfiguration() : d(new KAVAtmConfigurationData)
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
}

KAVAtmConfiguration::KAVAtmConfiguration(const KAVAtmConfiguration &other) = default;
KAVAtmConfiguration &KAVAtmConfiguration::operator=(const KAVAtmConfiguration &other) = default;
KAVAtmConfiguration::~KAVAtmConfiguration() = default;

QHostAddress KAVAtmConfiguration::GetOrchestratorAddress() const
{
    return d->orchestratorAddress;
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
