#include "corvidexecutors.h"
#include "corviddocument.h"
#include "corvidplatform.h"

#include "kavfeatenvironment.h"
#include "kavfeatenvironmentmanager.h"

#include <QtCore/QDir>
#include <QtCore/QJsonObject>

namespace {

CorvidPlatform *corvid(KAVAtmPlatform *platform)
{
    return static_cast<CorvidPlatform *>(platform);
}

// A relative document path is relative to the procedure file's folder.
QString documentPath(const QString &file, const QJsonValue &data)
{
    const QJsonValue procedurePath = data[QLatin1String("procedurePath")];
    if (file.isEmpty() || QDir::isAbsolutePath(file) || !procedurePath.isString())
        return file;
    return QDir(procedurePath.toString()).filePath(file);
}

template<typename Definition> std::unique_ptr<Definition> readDefinition(const QJsonValue &data)
{
    auto definition = std::make_unique<Definition>();
    definition->FromJson(data.toObject());
    return definition;
}

} // namespace

CorvidOpenFileAction::CorvidOpenFileAction(KAVAtmPlatform &platform, const QUuid &id,
                                           const QJsonValue &data)
    : KAVAtmTestActionBase(platform, id, data), m_def(readDefinition<KAVAtmOpenFileActionDef>(data))
{
}

void CorvidOpenFileAction::Execute()
{
    KAVAtmTestActionBase::Execute();
    QString error;
    const QString path = documentPath(m_def->GetFilePath(), GetData());
    if (!corvid(GetPlatform())->OpenDocument(path, &error)) {
        ReportResult(KAVAtmEnums::Fail, error, QString());
        return;
    }
    ReportResult(KAVAtmEnums::Pass, QString(), QString());
}

CorvidCloseFileAction::CorvidCloseFileAction(KAVAtmPlatform &platform, const QUuid &id,
                                             const QJsonValue &data)
    : KAVAtmTestActionBase(platform, id, data),
      m_def(readDefinition<KAVAtmCloseFileActionDef>(data))
{
}

void CorvidCloseFileAction::Execute()
{
    KAVAtmTestActionBase::Execute();
    CorvidPlatform *platform = corvid(GetPlatform());
    CorvidDocument *document = m_def->GetFilePath().isEmpty()
        ? platform->GetCurrentDocument()
        : platform->FindDocument(documentPath(m_def->GetFilePath(), GetData()));
    if (!document) {
        ReportResult(KAVAtmEnums::Fail,
                     m_def->GetFilePath().isEmpty()
                         ? tr("There is no document to close.")
                         : tr("The document is not open: %1").arg(m_def->GetFilePath()),
                     QString());
        return;
    }
    platform->CloseDocument(document);
    ReportResult(KAVAtmEnums::Pass, QString(), QString());
}

CorvidSwitchEnvironmentAction::CorvidSwitchEnvironmentAction(KAVAtmPlatform &platform,
                                                             const QUuid &id,
                                                             const QJsonValue &data)
    : KAVAtmTestActionBase(platform, id, data),
      m_def(readDefinition<KAVAtmSwitchEnvironmentActionDef>(data))
{
}

void CorvidSwitchEnvironmentAction::Execute()
{
    KAVAtmTestActionBase::Execute();
    CorvidDocument *document = corvid(GetPlatform())->FindDocument(m_def->GetEnvironment());
    if (!document) {
        ReportResult(KAVAtmEnums::Fail,
                     tr("There is no environment named %1.").arg(m_def->GetEnvironment()),
                     QString());
        return;
    }
    KAVFeatEnvironmentManager::GetManager()->SetCurrentEnvironment(document->GetEnvironment());
    ReportResult(KAVAtmEnums::Pass, QString(), QString());
}

CorvidResetUserSettingAction::CorvidResetUserSettingAction(KAVAtmPlatform &platform,
                                                           const QUuid &id, const QJsonValue &data)
    : KAVAtmTestActionBase(platform, id, data),
      m_def(readDefinition<KAVAtmResetUserSettingActionDef>(data))
{
}

void CorvidResetUserSettingAction::Execute()
{
    KAVAtmTestActionBase::Execute();
    GetPlatform()->ResetUserSettings();
    ReportResult(KAVAtmEnums::Pass, QString(), QString());
}
