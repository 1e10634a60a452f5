#include "kavatmdataassertaction.h"
#include "kavatmautomationcasemanager.h"
#include "kavatmexecutorregistry_p.h"
#include "kavatmjsengine.h"
#include "kavatmserializer_p.h"
#include "kavatmtestactionbase_p.h"

KAVATM_REGISTER_EXECUTOR(KAVAtmDataAssertAction)

class KAVAtmDataAssertActionPrivate : public KAVAtmExecutorPrivate<KAVAtmDataAssertActionDef> { };

KAVAtmDataAssertAction::KAVAtmDataAssertAction(KAVAtmPlatform &platform, const QUuid &id,
                                               const QJsonValue &data)
    : KAVAtmTestActionBase(*new KAVAtmDataAssertActionPrivate, platform, id, data)
{
}

KAVAtmDataAssertAction::~KAVAtmDataAssertAction() = default;

QByteArray KAVAtmDataAssertAction::GetActionName()
{
    return KAVAtmDataAssertActionDef::GetActionName();
}

QByteArray KAVAtmDataAssertAction::SerializeContainer(const QString &configJsonString)
{
    return KAVAtmSerializer::SerializeContainer(configJsonString);
}

void KAVAtmDataAssertAction::Execute()
{
    Q_D(KAVAtmDataAssertAction);
    KAVAtmTestActionBase::Execute();
    if (!d->def.GetBaselineError().isEmpty()) {
        ReportResult(KAVAtmEnums::Fail, d->def.GetBaselineError(), QString());
        return;
    }
    // The embedded modules are loaded with the case manager: the first assertion of a process
    // must find them too.
    KAVAtmAutomationCaseManager::GetManager();
    KAVAtmJsEngine *engine = KAVAtmJsEngine::GetInstance();
    const QJSValue module = engine->GetGlobalProperty(QStringLiteral("dataAssertAction"));
    const QJSValue function = module.property(QStringLiteral("dataAssert"));
    if (!function.isCallable()) {
        ReportResult(KAVAtmEnums::Fail, tr("Data Assert Function is not callable"), QString());
        return;
    }
    QJSValue result;
    // The assertion runs on this thread to its end: only the engine's watchdog can stop it.
    const qint64 timeout = qMin(d->def.GetTimeout(), KAVAtmAutomationCaseManager::MaximumTimeout);
    const int deadline = timeout > 0 ? engine->SetDeadline(timeout * 1000) : 0;
    try {
        result = function.callWithInstance(
            module, {d->def.GetBaselineJsonString(), d->def.GetConfigJsonString()});
    } catch (const std::exception &exception) {
        result = QJSValue(QString::fromLocal8Bit(exception.what()));
    } catch (...) {
        result = QJSValue(QStringLiteral("Unknown exception happens!"));
    }
    const bool stopped = engine->WasStopped();
    engine->ClearDeadline(deadline);
    if (stopped) {
        ReportResult(KAVAtmEnums::Fail,
                     tr("Timeout.") + QLatin1Char(' ')
                         + tr("The script was still running and was stopped."),
                     QString());
        return;
    }
    // Only a result object that says it had no error is a pass.
    if (result.isError() || !result.isObject() || result.isArray()) {
        ReportResult(KAVAtmEnums::Fail,
                     result.isError()
                         ? result.toString()
                         : tr("The data assertion gave no result: %1").arg(result.toString()),
                     QString());
        return;
    }
    const QJSValue actual = result.property(QStringLiteral("actual"));
    const QString data = actual.isString() ? actual.toString() : QString();
    if (result.property(QStringLiteral("hasError")).toBool()) {
        ReportResult(KAVAtmEnums::Fail, result.property(QStringLiteral("errorMsg")).toString(),
                     data);
        return;
    }
    // Nothing serialised and nothing to compare with: nothing was asserted, and no baseline
    // will come of it.
    if (data.isEmpty() && d->def.GetBaselineJsonString().isEmpty()) {
        ReportResult(KAVAtmEnums::Warning,
                     tr("There is no current document: nothing was asserted."), QString());
        return;
    }
    ReportResult(KAVAtmEnums::Pass, QString(), data);
}
