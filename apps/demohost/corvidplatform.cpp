#include "corvidplatform.h"
#include "corviddocument.h"
#include "corvidexecutors.h"

#include "kavatmsetselectionactiondef.h"
#include "kavfeatbrowserwidget.h"
#include "kavfeatenvironment.h"
#include "kavfeatenvironmentmanager.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>

CorvidPlatform::CorvidPlatform()
    : KAVAtmPlatform(KAVAtmEnums::Corvid),
      m_defaults({{QStringLiteral("units"), QStringLiteral("mm")},
                  {QStringLiteral("partSpacing"), 5.0},
                  {QStringLiteral("autoNest"), true}}),
      m_settings(m_defaults)
{
    RegisterActionWithType(KAVAtmOpenFileActionDef::GetActionName(),
                           CorvidOpenFileAction::staticMetaObject);
    RegisterActionWithType(KAVAtmCloseFileActionDef::GetActionName(),
                           CorvidCloseFileAction::staticMetaObject);
    RegisterActionWithType(KAVAtmSwitchEnvironmentActionDef::GetActionName(),
                           CorvidSwitchEnvironmentAction::staticMetaObject);
    RegisterActionWithType(KAVAtmResetUserSettingActionDef::GetActionName(),
                           CorvidResetUserSettingAction::staticMetaObject);
}

CorvidPlatform::~CorvidPlatform()
{
    qDeleteAll(std::exchange(m_documents, {}));
}

void CorvidPlatform::ClosePlatform()
{
    // Not from inside the request's own handling: the event loop ends the application.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

QVariantMap CorvidPlatform::GetDefaultUserSettings() const
{
    return m_defaults;
}

void CorvidPlatform::SetDefaultUserSetting(const QString &key, const QVariant &value)
{
    m_defaults.insert(key, value);
    m_settings.insert(key, value);
}

void CorvidPlatform::ResetUserSettings()
{
    m_settings = m_defaults;
}

QVariantMap CorvidPlatform::GetUserSettings() const
{
    return m_settings;
}

void CorvidPlatform::SetUserSetting(const QString &key, const QVariant &value)
{
    m_settings.insert(key, value);
}

CorvidDocument *CorvidPlatform::OpenDocument(const QString &filePath, QString *error)
{
    Q_EMIT DocumentOpening(filePath);
    CorvidDocument *document = CorvidDocument::Open(filePath, error, nullptr);
    if (!document)
        return nullptr;
    m_documents.append(document);
    KAVFeatEnvironment *environment = document->GetEnvironment();
    KAVFeatEnvironmentManager::GetManager()->SetCurrentEnvironment(environment);
    // Monitors first, so the waits see the processing from its first report.
    SetSourceProcessorMonitor(environment);
    SetFeatureProcessorMonitor(environment);
    SetUpdateMonitor(environment);
    if (m_settings.value(QStringLiteral("autoNest")).toBool())
        document->Process();
    return document;
}

CorvidDocument *CorvidPlatform::FindDocument(const QString &nameOrPath) const
{
    for (CorvidDocument *document : m_documents) {
        if (document->GetEnvironment()->GetName() == nameOrPath
            || QFileInfo(document->GetFilePath()) == QFileInfo(nameOrPath))
            return document;
    }
    return nullptr;
}

CorvidDocument *CorvidPlatform::GetCurrentDocument() const
{
    KAVFeatEnvironment *current = KAVFeatEnvironmentManager::GetManager()->GetCurrentEnvironment();
    for (CorvidDocument *document : m_documents) {
        if (document->GetEnvironment() == current)
            return document;
    }
    return nullptr;
}

void CorvidPlatform::CloseDocument(CorvidDocument *document)
{
    if (!m_documents.removeAll(document))
        return;
    Q_EMIT DocumentClosing(document->GetFilePath());
    KAVFeatEnvironmentManager *manager = KAVFeatEnvironmentManager::GetManager();
    manager->RemoveEnvironment(document->GetEnvironment());
    if (!manager->GetCurrentEnvironment() && !m_documents.isEmpty())
        manager->SetCurrentEnvironment(m_documents.last()->GetEnvironment());
    document->deleteLater();
}

QList<CorvidDocument *> CorvidPlatform::GetDocuments() const
{
    return m_documents;
}

bool CorvidPlatform::HandleRecordSelection(const KAVFeatObjectSet &selections)
{
    QStringList paths;
    for (const KAVFeatObject *object : selections)
        paths.append(KAVFeatBrowserWidget::GetFullPath(object));
    // A set has no order; a sorted list records the same selection the same way.
    paths.sort();
    KAVAtmSetSelectionActionDef definition;
    definition.SetSelectionPathList(paths);
    SendRecordingData(definition.ToJson());
    return true;
}
