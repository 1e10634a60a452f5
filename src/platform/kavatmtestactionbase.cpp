#include "kavatmtestactionbase.h"
#include "kavatmlogging_p.h"
#include "kavatmplatform.h"
#include "kavatmtestactionbase_p.h"
#include "kavatmtestactiondef.h"
#include "kavatmtestactionresult.h"

#include <QtCore/QEventLoop>
#include <QtCore/QJsonObject>
#include <QtCore/QMetaClassInfo>
#include <QtCore/QSet>
#include <QtCore/QTimer>

#include <limits>

KAVAtmTestActionBase::KAVAtmTestActionBase(KAVAtmPlatform &platform, const QUuid &id,
                                           const QJsonValue &data)
    : KAVAtmTestActionBase(*new KAVAtmTestActionBasePrivate, platform, id, data)
{
}

KAVAtmTestActionBase::KAVAtmTestActionBase(KAVAtmTestActionBasePrivate &dd,
                                           KAVAtmPlatform &platform, const QUuid &id,
                                           const QJsonValue &data)
    : QObject(&platform), d_ptr(&dd)
{
    if (d_ptr->definition)
        d_ptr->definition->FromJson(data.toObject());
    d_ptr->id = id;
    d_ptr->platform = &platform;
    d_ptr->data = data;
    d_ptr->timeoutTimer.setSingleShot(true);
    // A coarse timer may fire up to 5 % early: a time-out must never be shorter than stated.
    d_ptr->timeoutTimer.setTimerType(Qt::PreciseTimer);
}

KAVAtmTestActionBase::~KAVAtmTestActionBase() = default;

QUuid KAVAtmTestActionBase::GetId() const
{
    return d_ptr->id;
}

KAVAtmPlatform *KAVAtmTestActionBase::GetPlatform() const
{
    return d_ptr->platform;
}

QJsonValue KAVAtmTestActionBase::GetData() const
{
    return d_ptr->data;
}

bool KAVAtmTestActionBase::IsEnded() const
{
    return d_ptr->ended;
}

void KAVAtmTestActionBase::Execute()
{
    const KAVAtmTestActionDef *def = GetActionDef();
    qCDebug(lcPlatform).noquote() << "Start executing action:" << d_ptr->Describe(def);

    KAVAtmTestActionResult result(d_ptr->id, def, nullptr);
    result.SetStatus(KAVAtmEnums::Executing);
    result.SetResult(KAVAtmEnums::Pass);
    d_ptr->platform->UpdateActionResult(&result);
    ArmTimeout();
    Q_EMIT ActionStarted();
}

void KAVAtmTestActionBase::ArmTimeout()
{
    const KAVAtmTestActionDef *def = GetActionDef();
    if (def && def->GetTimeout() > 0) {
        connect(&d_ptr->timeoutTimer, &QTimer::timeout, this, &KAVAtmTestActionBase::OnTimeout,
                Qt::UniqueConnection);
        // Clamped: a time-out beyond what a timer holds must not wrap to a short one.
        d_ptr->timeoutTimer.setInterval(
            int(qMin<qint64>(def->GetTimeout() * 1000, std::numeric_limits<int>::max())));
        d_ptr->timeoutTimer.start();
    }
}

QJsonValue KAVAtmTestActionBase::GenerateRecordingData() const
{
    const QMetaObject *meta = metaObject();
    const int index = meta->indexOfClassInfo("actionType");
    const QString type
        = index >= 0 ? QString::fromLatin1(meta->classInfo(index).value()) : QString();
    return QJsonObject {{QStringLiteral("type"), type}};
}

KAVAtmTestActionDef *KAVAtmTestActionBase::GetActionDef() const
{
    return d_ptr->definition;
}

void KAVAtmTestActionBase::Cleanup() { }

void KAVAtmTestActionBase::ReportResult(KAVAtmEnums::ExecutionResult result, const QString &details,
                                        const QString &data)
{
    KAVAtmTestActionResult completed(d_ptr->id, GetActionDef(), nullptr);
    completed.SetStatus(KAVAtmEnums::Completed);
    completed.SetData(data);
    completed.SetResult(result);
    if (!details.isEmpty())
        completed.SetDetails(details);
    ReportResult(completed);
}

void KAVAtmTestActionBase::ReportResult(const KAVAtmTestActionResult &completed)
{
    if (d_ptr->ended) {
        qCDebug(lcPlatform).noquote()
            << "Action already ended, result ignored:" << d_ptr->Describe(GetActionDef());
        return;
    }
    d_ptr->ended = true;
    d_ptr->timeoutTimer.stop();
    d_ptr->platform->UpdateActionResult(&completed);
    Cleanup();
    Q_EMIT ActionEnded();
}

bool KAVAtmTestActionBase::ExecLoop(QEventLoop &loop)
{
    if (d_ptr->ended)
        return false;
    d_ptr->quitLoops.remove(&loop);
    const QMetaObject::Connection ended
        = connect(this, &KAVAtmTestActionBase::ActionEnded, &loop, &QEventLoop::quit);
    loop.exec();
    disconnect(ended);
    const bool quit = d_ptr->quitLoops.remove(&loop);
    if (!quit && !d_ptr->ended) {
        qCDebug(lcPlatform).noquote()
            << "Action's loop ended from outside:" << d_ptr->Describe(GetActionDef());
        ReportResult(KAVAtmEnums::Fail,
                     tr("The wait was interrupted before its end: the host application is "
                        "closing."),
                     QString());
    }
    return quit;
}

void KAVAtmTestActionBase::QuitLoop(QEventLoop &loop)
{
    if (!loop.isRunning())
        return;
    d_ptr->quitLoops.insert(&loop);
    loop.quit();
}

void KAVAtmTestActionBase::StopTimeout()
{
    d_ptr->timeoutTimer.stop();
}

void KAVAtmTestActionBase::OnTimeout()
{
    qCDebug(lcPlatform).noquote() << "Action execution timeout:" << d_ptr->Describe(GetActionDef());
    ReportResult(KAVAtmEnums::Fail, tr("Timeout."), QString());
}
