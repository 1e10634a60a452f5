#include "kavatmclientdefinition.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QStandardPaths>

class KAVAtmClientDefinitionPrivate : public QSharedData {
public:
    QString displayName;
    QString executable;
    QList<QString> arguments;
    QString workingDir;
    QHash<QString, QString> environment;
    QString platform;
};

KAVAtmClientDefinition::KAVAtmClientDefinition() : d(new KAVAtmClientDefinitionPrivate) { }
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
