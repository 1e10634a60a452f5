#include "kavatmautomationcasemanager.h"
#include "kavatmexecutescriptactiondef.h"
#include "kavatmjsengine.h"
#include "kavatmjserror_p.h"
#include "kavatmjsuihelper.h"
#include "kavatmlogging_p.h"
#include "kavatmsavefile.h"
#include "kavatmtestactionresult.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QHash>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QPointer>
#include <QtCore/QTimer>

namespace {
KAVAtmAutomationCaseManager *s_manager = nullptr;
} // namespace

class KAVAtmAutomationCaseManagerPrivate {
public:
    explicit KAVAtmAutomationCaseManagerPrivate(KAVAtmAutomationCaseManager *q) : q(q) { }

    const KAVAtmExecuteScriptActionDef *Definition(const KAVAtmTestActionResult *result) const
    {
        return qobject_cast<const KAVAtmExecuteScriptActionDef *>(result->GetActionDef());
    }
    QStringList Find(const QString &category, const QString &name) const;
    void Enqueue(const QString &key);
    void StartNext();
    void Start(const QString &key);
    // The current case is over: nothing it left may run on.
    void EndCurrent();
    // Takes the case out of the table, the queue and, when it executes, out of execution.
    void Delete(const QString &key);
    void StopTimer();
    // What the script left in context.data, as the text the result keeps.
    static QString DataText(const QJSValue &data);

    KAVAtmAutomationCaseManager *const q;
    QHash<QString, KAVAtmTestActionResult *> cases;
    // Keys, not results: a case deleted while it waits can never be started.
    QList<QString> queue;
    QString current;
    QPointer<QTimer> timer;
    qint64 timeout = 0;
    int deadline = 0; // the engine's token for the executing case
    std::unique_ptr<KAVAtmJsUiHelper> uiHelper;
    bool starting = false;
};

QStringList KAVAtmAutomationCaseManagerPrivate::Find(const QString &category,
                                                     const QString &name) const
{
    QStringList found;
    for (auto it = cases.cbegin(); it != cases.cend(); ++it) {
        const KAVAtmExecuteScriptActionDef *def = it.value() ? Definition(it.value()) : nullptr;
        if (!def)
            continue;
        if ((category.isEmpty() || category == def->GetCategory())
            && (name.isEmpty() || name == def->GetName()))
            found.append(it.key());
    }
    return found;
}

void KAVAtmAutomationCaseManagerPrivate::Enqueue(const QString &key)
{
    if (cases.contains(key) && !queue.contains(key))
        queue.append(key);
}

void KAVAtmAutomationCaseManagerPrivate::StartNext()
{
    // One case at a time: a body that queues more, or a second Execute(), only queues.
    if (!current.isEmpty() || starting)
        return;
    while (!queue.isEmpty()) {
        const QString key = queue.takeFirst();
        KAVAtmTestActionResult *result = cases.value(key);
        if (result && result->GetStatus() == KAVAtmEnums::Pending) {
            Start(key);
            return;
        }
    }
}

void KAVAtmAutomationCaseManagerPrivate::Start(const QString &key)
{
    KAVAtmTestActionResult *result = cases.value(key);
    const KAVAtmExecuteScriptActionDef *def = Definition(result);
    const qint64 timeout = def ? def->GetTimeout() : 0;
    result->SetStatus(KAVAtmEnums::Executing);
    current = key;

    StopTimer();
    KAVAtmJsEngine *engine = KAVAtmJsEngine::GetInstance();
    // No time-out, no timer; one beyond what a timer holds is clamped, never wrapped short.
    this->timeout = qMin(timeout, KAVAtmAutomationCaseManager::MaximumTimeout);
    if (timeout > 0) {
        timer = new QTimer(q);
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer, &QTimer::timeout, q, [this, key] { q->TimeOutCase(key); });
        timer->start(int(this->timeout * 1000));
        deadline
            = engine->SetDeadline(this->timeout * 1000 + KAVAtmAutomationCaseManager::StopGrace);
    }

    const QJSValue executor = engine->GetGlobalProperty(QStringLiteral("kavExecutor"));
    const QJSValue execute = executor.property(QStringLiteral("execute"));
    if (!execute.isCallable()) {
        result->SetResult(KAVAtmEnums::Fail);
        result->SetDetails(execute.toString());
        qCDebug(lcScripting).noquote() << "Fail reason:" << result->GetDetails();
        q->FinishCase(key, QJSValue());
        return;
    }
    QJSValue context = engine->CreateEmptyJsObject();
    context.setProperty(QStringLiteral("key"), key);
    context.setProperty(QStringLiteral("category"), def ? def->GetCategory() : QString());
    context.setProperty(QStringLiteral("name"), def ? def->GetName() : QString());
    context.setProperty(QStringLiteral("baseline"), def ? def->GetBaseline() : QString());
    QJSValueList arguments {context};
    const QJSValue function = def ? def->GetScriptFunction() : QJSValue();
    if (function.isCallable())
        arguments.append(function);

    Q_EMIT q->TestCaseStarting(key);
    const QJSValue returned = execute.callWithInstance(executor, arguments);
    if (engine->WasStopped() && current == key) {
        q->TimeOutCase(key);
        return;
    }
    if (returned.isError()) {
        // The case may have gone while its body ran.
        if (KAVAtmTestActionResult *still = cases.value(key)) {
            still->SetResult(KAVAtmEnums::Fail);
            still->SetDetails(returned.toString());
            KAVAtmJsError::AddTo(returned, still);
            qCDebug(lcScripting).noquote() << "Fail reason:" << still->GetDetails();
        }
        q->FinishCase(key, QJSValue());
    }
}

void KAVAtmAutomationCaseManagerPrivate::EndCurrent()
{
    current.clear();
    StopTimer();
    KAVAtmJsEngine *engine = KAVAtmJsEngine::GetInstance();
    engine->StopTimer();
    engine->ClearDeadline(std::exchange(deadline, 0));
}

void KAVAtmAutomationCaseManagerPrivate::Delete(const QString &key)
{
    KAVAtmTestActionResult *result = cases.take(key);
    queue.removeAll(key);
    if (current == key)
        EndCurrent();
    if (result) {
        qCDebug(lcScripting).noquote()
            << "Deleting case with key:" << result->GetId().toString(QUuid::WithBraces);
        delete result;
    }
}

QString KAVAtmAutomationCaseManagerPrivate::DataText(const QJSValue &data)
{
    if (data.isString())
        return data.toString();
    if (data.isUndefined() || data.isNull())
        return QString();
    // An object, a list or a number is kept as the JSON text it stands for, not dropped.
    const QJSValue text = KAVAtmJsEngine::GetInstance()
                              ->GetGlobalProperty(QStringLiteral("JSON"))
                              .property(QStringLiteral("stringify"))
                              .call({data});
    return text.isString() ? text.toString() : QString();
}

void KAVAtmAutomationCaseManagerPrivate::StopTimer()
{
    if (timer) {
        timer->stop();
        timer->deleteLater();
        timer = nullptr;
    }
}

KAVAtmAutomationCaseManager::KAVAtmAutomationCaseManager()
    : d(new KAVAtmAutomationCaseManagerPrivate(this))
{
    KAVAtmJsEngine *engine = KAVAtmJsEngine::GetInstance();
    // Published before the modules load, which take them as they are then. Scripts may use
    // the library's objects but not replace them: a later verdict depends on them.
    d->uiHelper = std::make_unique<KAVAtmJsUiHelper>();
    engine->SetGlobalProperty(QStringLiteral("uiHelper"),
                              engine->CreateJsObject(d->uiHelper.get()));
    engine->LockGlobalProperty(QStringLiteral("uiHelper"));
    engine->RegisterQObject(QStringLiteral("kavAtmAutomationCaseManager"), this);
    engine->LockGlobalProperty(QStringLiteral("kavAtmAutomationCaseManager"));
    const QFileInfoList modules
        = QDir(QStringLiteral(":/js")).entryInfoList({QStringLiteral("*.js")}, QDir::Files);
    for (const QFileInfo &module : modules) {
        const QJSValue imported
            = engine->ImportModule(module.absoluteFilePath(), module.completeBaseName());
        if (imported.isError()) {
            qCWarning(lcScripting).noquote()
                << QStringLiteral("Failed to evaluate module <%1>.\n\t%2")
                       .arg(module.absoluteFilePath(), imported.toString());
            continue;
        }
        engine->LockGlobalProperty(module.completeBaseName());
    }
}

KAVAtmAutomationCaseManager::~KAVAtmAutomationCaseManager()
{
    d->StopTimer();
    qDeleteAll(std::exchange(d->cases, {}));
    if (s_manager == this)
        s_manager = nullptr;
}

KAVAtmAutomationCaseManager *KAVAtmAutomationCaseManager::GetManager()
{
    static const bool created = [] {
        KAVAtmJsEngine::GetInstance(); // registered first, it goes last
        s_manager = new KAVAtmAutomationCaseManager;
        qAddPostRoutine([] { delete s_manager; });
        return true;
    }();
    Q_UNUSED(created);
    return s_manager;
}

QString KAVAtmAutomationCaseManager::RegisterCase(const QUuid &id,
                                                  KAVAtmExecuteScriptActionDef *def)
{
    const QString key = id.toString(QUuid::WithBraces);
    // A case under that key already is replaced: nothing may go on referring to it.
    if (d->cases.contains(key))
        d->Delete(key);
    d->cases.insert(key, new KAVAtmTestActionResult(id, def, nullptr));
    return key;
}

KAVAtmTestActionResult *KAVAtmAutomationCaseManager::GetCaseInfo(const QString &key) const
{
    return d->cases.value(key);
}

KAVAtmEnums::ExecutionStatus KAVAtmAutomationCaseManager::GetStatus(const QString &key) const
{
    const KAVAtmTestActionResult *result = d->cases.value(key);
    return result ? result->GetStatus() : KAVAtmEnums::Pending;
}

void KAVAtmAutomationCaseManager::Execute(const QString &category, const QString &testCaseName)
{
    for (const QString &key : d->Find(category, testCaseName))
        d->Enqueue(key);
    d->StartNext();
}

void KAVAtmAutomationCaseManager::ExecuteCase(const QString &key)
{
    d->Enqueue(key);
    d->StartNext();
}

void KAVAtmAutomationCaseManager::FinishCase(const QJSValue &context)
{
    const QJSValue key = context.property(QStringLiteral("key"));
    FinishCase(key.isUndefined() ? QString() : key.toString(), context);
}

void KAVAtmAutomationCaseManager::FinishCase(const QString &keyOrEmpty, const QJSValue &context)
{
    const QString key = keyOrEmpty.isEmpty() ? d->current : keyOrEmpty;
    if (key.isEmpty() || key != d->current)
        return;
    if (KAVAtmTestActionResult *result = d->cases.value(key)) {
        if (result->GetStatus() == KAVAtmEnums::Completed)
            return;
        if (result->GetStatus() != KAVAtmEnums::Cancelled) {
            result->SetStatus(KAVAtmEnums::Completed);
            if (result->GetResult() == KAVAtmEnums::Unknown)
                result->SetResult(KAVAtmEnums::Pass);
        }
        if (context.isObject() && context.hasOwnProperty(QStringLiteral("data")))
            result->SetData(d->DataText(context.property(QStringLiteral("data"))));
        // Handlers may delete the case: nothing of it is touched after this.
        d->starting = true;
        if (result->GetStatus() == KAVAtmEnums::Cancelled)
            Q_EMIT TestCaseCancelled(key);
        else
            Q_EMIT TestCaseCompleted(key);
        d->starting = false;
    }
    // Only what still belongs to the case that finished.
    if (d->current == key)
        d->EndCurrent();
    d->StartNext();
}

void KAVAtmAutomationCaseManager::ClearCase(const QString &key)
{
    if (d->cases.contains(key))
        d->Delete(key);
}

void KAVAtmAutomationCaseManager::ClearCases(const QString &category, const QString &testCaseName)
{
    for (const QString &key : d->Find(category, testCaseName))
        d->Delete(key);
}

void KAVAtmAutomationCaseManager::RemoveCase(const QString &category, const QString &testCaseName)
{
    const QStringList found = d->Find(category, testCaseName);
    if (found.size() == 1)
        d->Delete(found.first());
}

QStringList KAVAtmAutomationCaseManager::GetCategories() const
{
    QStringList categories;
    for (const KAVAtmTestActionResult *result : std::as_const(d->cases)) {
        const KAVAtmExecuteScriptActionDef *def = result ? d->Definition(result) : nullptr;
        if (def && !categories.contains(def->GetCategory()))
            categories.append(def->GetCategory());
    }
    return categories;
}

QStringList KAVAtmAutomationCaseManager::GetTestCases(const QString &category) const
{
    QStringList names;
    for (const KAVAtmTestActionResult *result : std::as_const(d->cases)) {
        const KAVAtmExecuteScriptActionDef *def = result ? d->Definition(result) : nullptr;
        if (def && (category.isEmpty() || def->GetCategory() == category))
            names.append(def->GetName());
    }
    return names;
}

bool KAVAtmAutomationCaseManager::SaveResultsToFile(const QString &filePath,
                                                    const QString &category,
                                                    const QString &testCaseName)
{
    const QStringList found = d->Find(category, testCaseName);
    QJsonArray results;
    for (const QString &key : found)
        results.append(d->cases.value(key)->ToJson());
    QString error;
    if (KAVAtmSaveFile::Write(filePath, QJsonDocument(results).toJson(QJsonDocument::Indented),
                              &error)
        != KAVAtmSaveFile::Outcome::Saved) {
        // The results are kept: deleted now, they would be lost.
        qCWarning(lcScripting).noquote()
            << "The case results could not be saved to" << filePath << ':' << error;
        return false;
    }
    for (const QString &key : found)
        d->Delete(key);
    return true;
}

QString KAVAtmAutomationCaseManager::GetCurrentExecutingCase() const
{
    return d->current;
}

void KAVAtmAutomationCaseManager::RecordResult(const QString &keyOrEmpty, const QJSValue &result,
                                               const QString &detail, const QString &outputData)
{
    KAVAtmTestActionResult *record = d->cases.value(keyOrEmpty.isEmpty() ? d->current : keyOrEmpty);
    if (!record)
        return;
    const double code = result.isNumber() ? result.toNumber() : -1;
    if (code == KAVAtmEnums::Unknown || code == KAVAtmEnums::Pass || code == KAVAtmEnums::Fail
        || code == KAVAtmEnums::Warning) {
        record->SetResult(KAVAtmEnums::ExecutionResult(int(code)));
        record->SetDetails(detail);
    } else {
        // Stored as Unknown it would finish as a Pass carrying the failure's text.
        const QString given = result.isString()
            ? QLatin1Char('"') + result.toString() + QLatin1Char('"')
            : result.toString();
        record->SetResult(KAVAtmEnums::Fail);
        record->SetDetails(tr("RecordResult was given the result code %1, which is not one of "
                              "0 (Unknown), 1 (Pass), 2 (Fail) or 3 (Warning). Details: %2")
                               .arg(given, detail));
    }
    record->SetData(outputData);
}

void KAVAtmAutomationCaseManager::RecordFailure(const QString &key, const QString &detail,
                                                const QJSValue &error)
{
    RecordResult(key, QJSValue(int(KAVAtmEnums::Fail)), detail);
    KAVAtmJsError::AddTo(error, d->cases.value(key.isEmpty() ? d->current : key));
}

bool KAVAtmAutomationCaseManager::ShouldBreak(const QString &key) const
{
    const KAVAtmTestActionResult *result = d->cases.value(key);
    if (!result)
        return true;
    const KAVAtmEnums::ExecutionStatus status = result->GetStatus();
    return status == KAVAtmEnums::Cancelled || status == KAVAtmEnums::Completed;
}

void KAVAtmAutomationCaseManager::TimeOutCase(const QString &key)
{
    KAVAtmTestActionResult *result = d->cases.value(key);
    if (key.isEmpty() || key != d->current || !result
        || result->GetStatus() != KAVAtmEnums::Executing)
        return;
    d->StopTimer();
    QString details
        = tr("The case execution exceeds the timeout limitation: %1 seconds.").arg(d->timeout);
    if (KAVAtmJsEngine::GetInstance()->WasStopped())
        details += QLatin1Char(' ') + tr("The script was still running and was stopped.");
    // What the case recorded before it stalled is the best clue to why.
    if (!result->GetDetails().isEmpty())
        details += QLatin1Char('\n') + result->GetDetails();
    result->SetResult(KAVAtmEnums::Fail);
    result->SetDetails(details);
    FinishCase(key, QJSValue());
}

void KAVAtmAutomationCaseManager::CancelExecutingCase()
{
    KAVAtmTestActionResult *result = d->cases.value(d->current);
    if (d->current.isEmpty())
        return;
    if (result) {
        result->SetStatus(KAVAtmEnums::Cancelled);
        result->SetResult(KAVAtmEnums::Unknown);
    }
    FinishCase(d->current, QJSValue());
}

void KAVAtmAutomationCaseManager::StopExecution()
{
    // Emptied first: the cancellation's finish must not start the next case.
    d->queue.clear();
    CancelExecutingCase();
}

bool KAVAtmAutomationCaseManager::IsExecuting() const
{
    return !d->current.isEmpty() || !d->queue.isEmpty();
}
