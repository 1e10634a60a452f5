#include "kavatmexecutescriptaction.h"
#include "kavatmautomationcasemanager.h"
#include "kavatmexecutorregistry_p.h"
#include "kavatmjsengine.h"
#include "kavatmjserror_p.h"
#include "kavatmplatform.h"
#include "kavatmtestactionbase_p.h"
#include "kavatmtestactionresult.h"
#include "kavcmdcontroller.h"
#include "kavfeatenvironmentmanager.h"

#include <QtCore/QPointer>

KAVATM_REGISTER_EXECUTOR(KAVAtmExecuteScriptAction)

class KAVAtmExecuteScriptActionPrivate
    : public KAVAtmExecutorPrivate<KAVAtmExecuteScriptActionDef> {
public:
    // The case this action registered; empty once it is cleared.
    QString key;
    QPointer<KAVAtmAutomationCaseManager> manager;
    int deadline = 0; // the engine's token, while this action's deadline is set
};

KAVAtmExecuteScriptAction::KAVAtmExecuteScriptAction(KAVAtmPlatform &platform, const QUuid &id,
                                                     const QJsonValue &data)
    : KAVAtmTestActionBase(*new KAVAtmExecuteScriptActionPrivate, platform, id, data)
{
}

KAVAtmExecuteScriptAction::~KAVAtmExecuteScriptAction()
{
    Cleanup();
}

QByteArray KAVAtmExecuteScriptAction::GetActionName()
{
    return KAVAtmExecuteScriptActionDef::GetActionName();
}

void KAVAtmExecuteScriptAction::Execute()
{
    Q_D(KAVAtmExecuteScriptAction);
    KAVAtmTestActionBase::Execute();
    if (d->def.GetScriptFilePath().isEmpty()) {
        ReportResult(KAVAtmEnums::Warning, tr("There is no script file defined in the action."),
                     QString());
        return;
    }
    if (!d->def.GetBaselineError().isEmpty()) {
        ReportResult(KAVAtmEnums::Fail, d->def.GetBaselineError(), QString());
        return;
    }
    KAVAtmJsEngine *engine = KAVAtmJsEngine::GetInstance();
    // Module code and the script file's own top level run before the case's deadline exists.
    if (d->def.GetTimeout() > 0) {
        d->deadline = engine->SetDeadline(
            qMin<qint64>(d->def.GetTimeout(), KAVAtmAutomationCaseManager::MaximumTimeout) * 1000
            + KAVAtmAutomationCaseManager::StopGrace);
    }
    KAVAtmAutomationCaseManager *manager = KAVAtmAutomationCaseManager::GetManager();
    engine->RegisterQObject(QStringLiteral("kavCmdController"), KAVCmdController::GetController());
    engine->RegisterQObject(QStringLiteral("kavFeatEnvironmentManager"),
                            KAVFeatEnvironmentManager::GetManager());

    const KAVAtmExecuteScriptActionDef::ImportModules modules = d->def.GetImportModules();
    for (auto it = modules.cbegin(); it != modules.cend(); ++it) {
        const QJSValue loaded = it.value().second == QLatin1String("import")
            ? engine->ImportModule(it.key(), it.value().first)
            : engine->ExecuteScriptFile(it.key(), false);
        if (engine->WasStopped()) {
            ReportStopped();
            return;
        }
        if (loaded.isError()) {
            // Named: a procedure may load several, and the engine's text may not say which.
            ReportScriptError(QStringLiteral("%1: %2").arg(it.key(), loaded.toString()), loaded);
            return;
        }
    }

    const QJSValue function = engine->ExecuteScriptFile(d->def.GetScriptFilePath(), true);
    if (engine->WasStopped()) {
        ReportStopped();
        return;
    }
    if (function.isError() || !function.isCallable()) {
        ReportScriptError(function.toString(), function);
        return;
    }
    d->def.SetScriptFunction(function);
    d->key = manager->RegisterCase(GetId(), &d->def);
    d->manager = manager;
    // Only this action's own case ends it.
    connect(manager, &KAVAtmAutomationCaseManager::TestCaseCompleted, this,
            [this, d, manager](const QString &key) {
                if (key != d->key || IsEnded())
                    return;
                const KAVAtmTestActionResult *result = manager->GetCaseInfo(key);
                if (result)
                    ReportResult(*result);
                else
                    ReportResult(KAVAtmEnums::Fail, tr("The script case is gone."), QString());
            });
    connect(manager, &KAVAtmAutomationCaseManager::TestCaseCancelled, this,
            [this, d](const QString &key) {
                if (key != d->key || IsEnded())
                    return;
                ReportResult(KAVAtmEnums::Fail, tr("The script case was cancelled."), QString());
            });
    manager->ExecuteCase(d->key);
}

void KAVAtmExecuteScriptAction::ReportScriptError(const QString &details, const QJSValue &error)
{
    KAVAtmTestActionResult result(GetId(), GetActionDef(), nullptr);
    result.SetStatus(KAVAtmEnums::Completed);
    result.SetResult(KAVAtmEnums::Fail);
    result.SetDetails(details);
    KAVAtmJsError::AddTo(error, &result);
    ReportResult(result);
}

void KAVAtmExecuteScriptAction::ReportStopped()
{
    ReportResult(KAVAtmEnums::Fail,
                 tr("Timeout.") + QLatin1Char(' ')
                     + tr("The script was still running and was stopped."),
                 QString());
}

void KAVAtmExecuteScriptAction::OnTimeout()
{
    Q_D(KAVAtmExecuteScriptAction);
    // A running case ends as a case time-out, with what it recorded so far.
    KAVAtmAutomationCaseManager *manager = d->manager;
    if (manager && !d->key.isEmpty() && manager->GetCurrentExecutingCase() == d->key) {
        manager->TimeOutCase(d->key);
        if (IsEnded())
            return;
    }
    KAVAtmTestActionBase::OnTimeout();
}

void KAVAtmExecuteScriptAction::Cleanup()
{
    Q_D(KAVAtmExecuteScriptAction);
    // Ended first (its own time-out, say), the action takes its case along: nothing may go on
    // referring to the definition that goes with it.
    if (const int deadline = std::exchange(d->deadline, 0))
        KAVAtmJsEngine::GetInstance()->ClearDeadline(deadline);
    const QString key = std::exchange(d->key, QString());
    KAVAtmAutomationCaseManager *manager = d->manager;
    if (key.isEmpty() || !manager)
        return;
    disconnect(manager, nullptr, this, nullptr);
    if (manager->GetCurrentExecutingCase() == key
        && manager->GetStatus(key) == KAVAtmEnums::Executing)
        manager->CancelExecutingCase();
    manager->ClearCase(key);
}
