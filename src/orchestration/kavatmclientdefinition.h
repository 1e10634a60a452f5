#ifndef KAVATMCLIENTDEFINITION_H
#define KAVATMCLIENTDEFINITION_H

#include "kavautomation_export.h"

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QSharedDataPointer>
#include <QtCore/QString>

class KAVAtmClientDefinitionPrivate;

// One host program the runner can start as a client. The executable and the working directory
// may name an installation variable ("${Corvid_Dev}", "${Corvid_Staging}", "${Corvid_Prod}"),
// which resolves to the "CorvidApp" of an installed build.
class KAVAUTOMATION_EXPORT KAVAtmClientDefinition {
public:
    KAVAtmClientDefinition();
    KAVAtmClientDefinition(const KAVAtmClientDefinition &other);
    KAVAtmClientDefinition &operator=(const KAVAtmClientDefinition &other);
    ~KAVAtmClientDefinition();

    QString GetPlatform() const;
    QString GetDisplayName() const;
    // Resolved: a stored text naming an installation variable gives the found program, or empty.
    QString GetExecutable() const;
    // Resolved: a variable gives the directory of the found program.
    QString GetWorkingDir() const;
    QList<QString> GetArguments() const;
    QHash<QString, QString> GetEnvironmentVariables() const;

    void SetPlatform(const QString &platform);
    void SetDisplayName(const QString &displayName);
    void SetExecutable(const QString &executable);
    void SetWorkingDir(const QString &workingDir);
    void SetArguments(const QList<QString> &arguments);
    void SetEnvironmentVariables(const QHash<QString, QString> &environment);

    // The installation variables and their roots.
    static QHash<QString, QString> GetInstallationRoots();
    // The "CorvidApp" in the least recently modified directory of the root that holds one.
    static QString ResolveInstallation(const QString &root);

private:
    QSharedDataPointer<KAVAtmClientDefinitionPrivate> d;
};

#endif // KAVATMCLIENTDEFINITION_H
