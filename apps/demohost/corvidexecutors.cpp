#include "corvidexecutors.h"
#include "corviddocument.h"
#include "corvidplatform.h"

#include "kavcmdcommand.h"
#include "kavcmdcontroller.h"
#include "kavfeatenvironment.h"
#include "kavfeatenvironmentmanager.h"

#include <QtCore/QDir>
#include <QtCore/QJsonObject>
#include <QtWidgets/QApplication>
#include <QtWidgets/QDialog>

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
    // Each procedure starts where the host started: what an earlier one left open (a popup, a
    // command with its dialog, documents) would make the same files pass alone and fail
    // after another. A popup closes first: its command may be waiting in it.
    for (int closed = 0; closed < 32 && QApplication::activeModalWidget(); ++closed) {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
    }
    if (KAVCmdCommand *command = KAVCmdController::GetController()->GetCurrentCommand())
        command->Finish();
    CorvidPlatform *platform = corvid(GetPlatform());
    for (CorvidDocument *document : platform->GetDocuments())
        platform->CloseDocument(document);
    platform->ResetUserSettings();
    ReportResult(KAVAtmEnums::Pass, QString(), QString());
}
