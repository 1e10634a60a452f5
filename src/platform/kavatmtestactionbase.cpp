#include "kavatmtestactionbase.h"
#include "kavatmlogging_p.h"
#include "kavatmplatform.h"
#include "kavatmtestactiondef.h"
#include "kavatmtestactionresult.h"

#include <QtCore/QEventLoop>
#include <QtCore/QJsonObject>
#include <QtCore/QMetaClassInfo>
#include <QtCore/QSet>
#include <QtCore/QTimer>

#include <limits>

class KAVAtmTestActionBasePrivate {
public:
    QUuid id;
    KAVAtmPlatform *platform = nullptr;
    QJsonValue data;
    QTimer timeoutTimer;
    // Loops asked to end through QuitLoop and not yet returned.
    QSet<const QEventLoop *> quitLoops;
    bool ended = false;

    QString Describe(const KAVAtmTestActionDef *def) const
    {
        return QStringLiteral("%1 Id: %2")
            .arg(def ? def->GetType() : QString(), id.toString(QUuid::WithBraces));
    }
};

KAVAtmTestActionBase::KAVAtmTestActionBase(KAVAtmPlatform &platform, const QUuid &id,
                                           const QJsonValue &data)
    : QObject(&platform), d(new KAVAtmTestActionBasePrivate)
{
    d->id = id;
    d->platform = &platform;
    d->data = data;
    d->timeoutTimer.setSingleShot(true);
    // A coarse timer may fire up to 5 % early: a time-out must never be shorter than stated.
    d->timeoutTimer.setTimerType(Qt::PreciseTimer);
}

KAVAtmTestActionBase::~KAVAtmTestActionBase() = default;

QUuid KAVAtmTestActionBase::GetId() const
{
    return d->id;
}

KAVAtmPlatform *KAVAtmTestActionBase::GetPlatform() const
{
    return d->platform;
}

QJsonValue KAVAtmTestActionBase::GetData() const
{
    return d->data;
}

bool KAVAtmTestActionBase::IsEnded() const
{
    return d->ended;
}

void KAVAtmTestActionBase::Execute()
{
    const KAVAtmTestActionDef *def = GetActionDef();
    qCDebug(lcPlatform).noquote() << "Start executing action:" << d->Describe(def);

    KAVAtmTestActionResult result(d->id, def, nullptr);
    result.SetStatus(KAVAtmEnums::Executing);
    result.SetResult(KAVAtmEnums::Pass);
    d->platform->UpdateActionResult(&result);
    ArmTimeout();
    Q_EMIT ActionStarted();
}

void KAVAtmTestActionBase::ArmTimeout()
{
    const KAVAtmTestActionDef *def = GetActionDef();
    if (def && def->GetTimeout() > 0) {
        connect(&d->timeoutTimer, &QTimer::timeout, this, &KAVAtmTestActionBase::OnTimeout,
                Qt::UniqueConnection);
        // Clamped: a time-out beyond what a timer holds must not wrap to a short one.
        d->timeoutTimer.setInterval(
            int(qMin<qint64>(def->GetTimeout() * 1000, std::numeric_limits<int>::max())));
        d->timeoutTimer.start();
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
    return nullptr;
}

void KAVAtmTestActionBase::Cleanup() { }

void KAVAtmTestActionBase::ReportResult(KAVAtmEnums::ExecutionResult result, const QString &details,
                                        const QString &data)
{
    KAVAtmTestActionResult completed(d->id, GetActionDef(), nullptr);
    completed.SetStatus(KAVAtmEnums::Completed);
    completed.SetData(data);
    completed.SetResult(result);
    if (!details.isEmpty())
        completed.SetDetails(details);
    ReportResult(completed);
}

void KAVAtmTestActionBase::ReportResult(const KAVAtmTestActionResult &completed)
{
    if (d->ended) {
        qCDebug(lcPlatform).noquote()
            << "Action already ended, result ignored:" << d->Describe(GetActionDef());
        return;
    }
    d->ended = true;
    d->timeoutTimer.stop();
    d->platform->UpdateActionResult(&completed);
    Cleanup();
    Q_EMIT ActionEnded();
}

bool KAVAtmTestActionBase::ExecLoop(QEventLoop &loop)
{
    if (d->ended)
        return false;
    d->quitLoops.remove(&loop);
    const QMetaObject::Connection ended
        = connect(this, &KAVAtmTestActionBase::ActionEnded, &loop, &QEventLoop::quit);
    loop.exec();
    disconnect(ended);
    const bool quit = d->quitLoops.remove(&loop);
    if (!quit && !d->ended) {
        qCDebug(lcPlatform).noquote()
            << "Action's loop ended from outside:" << d->Describe(GetActionDef());
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
    d->quitLoops.insert(&loop);
    loop.quit();
}

void KAVAtmTestActionBase::StopTimeout()
{
    d->timeoutTimer.stop();
}

void KAVAtmTestActionBase::OnTimeout()
{
    qCDebug(lcPlatform).noquote() << "Action execution timeout:" << d->Describe(GetActionDef());
    ReportResult(KAVAtmEnums::Fail, tr("Timeout."), QString());
}
