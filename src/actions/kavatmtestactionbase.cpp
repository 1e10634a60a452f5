#include "kavatmtestactionbase.h"
#include "kavatmdialoghandler.h"
#include "kavatmplatform.h"
#include "kavatmtestactiondef.h"
#include "kavatmtestactionresult.h"
#include "kavsyslogging.h"

#include <QtCore/QEventLoop>
#include <QtCore/QJsonObject>
#include <QtCore/QMetaClassInfo>
#include <QtCore/QTimer>

#include <limits>

KAVAtmDialogHandler::~KAVAtmDialogHandler() = default;

class KAVAtmTestActionBasePrivate {
public:
    QUuid id;
    KAVAtmPlatform *platform = nullptr;
    QJsonValue data;
    QTimer timeoutTimer;
    bool ended = false;
};

KAVAtmTestActionBase::KAVAtmTestActionBase(KAVAtmPlatform &platform, const QUuid &id,
                                           const QJsonValue &data)
    : QObject(&platform), d(new KAVAtmTestActionBasePrivate)
{
    d->id = id;
    d->platform = &platform;
    d->data = data;
    d->timeoutTimer.setSingleShot(true);
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
    const QString type = def ? def->GetType() : QString();
    qCDebug(LOG_CAT_KAV_DEFAULT).noquote()
        << "Start executing action: " << type << "Id: " << d->id.toString(QUuid::WithBraces);

    KAVAtmTestActionResult result(d->id, def, nullptr);
    result.SetStatus(KAVAtmEnums::Executing);
    result.SetResult(KAVAtmEnums::Pass);
    d->platform->UpdateActionResult(&result);

    if (def && def->GetTimeout() > 0) {
        connect(&d->timeoutTimer, &QTimer::timeout, this, &KAVAtmTestActionBase::OnTimeout,
                Qt::UniqueConnection);
        // Clamped: a time-out beyond what a timer holds must not wrap to a short one.
        d->timeoutTimer.setInterval(
            int(qMin<qint64>(def->GetTimeout() * 1000, std::numeric_limits<int>::max())));
        d->timeoutTimer.start();
    }
    Q_EMIT ActionStarted();
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
    const KAVAtmTestActionDef *def = GetActionDef();
    const QString type = def ? def->GetType() : QString();
    if (d->ended) {
        qCDebug(LOG_CAT_KAV_DEFAULT).noquote() << "Action already ended, result ignored: " << type
                                               << "Id: " << d->id.toString(QUuid::WithBraces);
        return;
    }
    d->ended = true;
    d->timeoutTimer.stop();

    KAVAtmTestActionResult completed(d->id, def, nullptr);
    completed.SetStatus(KAVAtmEnums::Completed);
    completed.SetData(data);
    completed.SetResult(result);
    if (!details.isEmpty())
        completed.SetDetails(details);
    d->platform->UpdateActionResult(&completed);

    Cleanup();
    qCDebug(LOG_CAT_KAV_DEFAULT).noquote()
        << "Action execution finished: " << type << "Id: " << d->id.toString(QUuid::WithBraces);
    Q_EMIT ActionEnded();
}

void KAVAtmTestActionBase::ExecLoop(QEventLoop &loop)
{
    if (d->ended)
        return;
    const QMetaObject::Connection ended
        = connect(this, &KAVAtmTestActionBase::ActionEnded, &loop, &QEventLoop::quit);
    loop.exec();
    disconnect(ended);
}

void KAVAtmTestActionBase::StopTimeout()
{
    d->timeoutTimer.stop();
}

void KAVAtmTestActionBase::OnTimeout()
{
    const KAVAtmTestActionDef *def = GetActionDef();
    qCDebug(LOG_CAT_KAV_DEFAULT).noquote()
        << "Action execution timeout: " << (def ? def->GetType() : QString())
        << "Id: " << d->id.toString(QUuid::WithBraces);
    ReportResult(KAVAtmEnums::Fail, tr("Timeout."), QString());
}
