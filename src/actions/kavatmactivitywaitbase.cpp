#include "kavatmactivitywaitbase.h"
#include "kavatmactivitywaitbase_p.h"
#include "kavatmlogging_p.h"
#include "kavfeatcontainermanager.h"
#include "kavfeatenvironmentmanager.h"

#include <QtCore/QEventLoop>
#include <QtCore/QPointer>
#include <QtCore/QTimer>

KAVAtmActivityWaitBase::KAVAtmActivityWaitBase(KAVAtmActivityWaitBasePrivate &dd,
                                               KAVAtmPlatform &platform, const QUuid &id,
                                               const QJsonValue &data)
    : KAVAtmTestActionBase(dd, platform, id, data)
{
}

KAVAtmActivityWaitBase::~KAVAtmActivityWaitBase() = default;

void KAVAtmActivityWaitBase::StartStartTimer(int milliseconds,
                                             const std::function<bool()> &mayGiveUp)
{
    Q_D(KAVAtmActivityWaitBase);
    delete d->startTimer;
    d->startTimer = new QTimer(this);
    d->startTimer->setSingleShot(true);
    d->startTimer->setTimerType(Qt::PreciseTimer);
    connect(d->startTimer, &QTimer::timeout, this, [this, d, mayGiveUp] {
        if (d->finished || !mayGiveUp())
            return;
        qCDebug(lcActions) << "No activity within the start time-out: the wait ends.";
        QuitLoop(d->loop);
    });
    d->startTimeout = milliseconds;
    d->startTimer->start(milliseconds);
}

bool KAVAtmActivityWaitBase::RefuseWithoutDocument()
{
    if (KAVFeatEnvironmentManager::GetManager()->GetCurrentEnvironment())
        return false;
    ReportResult(KAVAtmEnums::Fail, tr("There is no document to wait for."), QString());
    return true;
}

void KAVAtmActivityWaitBase::StopStartTimer()
{
    Q_D(KAVAtmActivityWaitBase);
    if (d->startTimer)
        d->startTimer->stop();
}

bool KAVAtmActivityWaitBase::IsStartTimerActive() const
{
    Q_D(const KAVAtmActivityWaitBase);
    return d->startTimer && d->startTimer->isActive();
}

bool KAVAtmActivityWaitBase::IsFinished() const
{
    Q_D(const KAVAtmActivityWaitBase);
    return d->finished;
}

void KAVAtmActivityWaitBase::SetFinished()
{
    Q_D(KAVAtmActivityWaitBase);
    d->finished = true;
}

void KAVAtmActivityWaitBase::FinishWait()
{
    Q_D(KAVAtmActivityWaitBase);
    d->finished = true;
    StopStartTimer();
    if (d->loop.isRunning())
        StopTimeout();
    QuitLoop(d->loop);
}

void KAVAtmActivityWaitBase::LeaveWait()
{
    Q_D(KAVAtmActivityWaitBase);
    QuitLoop(d->loop);
}

void KAVAtmActivityWaitBase::WaitAndReport(const std::function<void()> &clearHistory,
                                           const QString &notStarted)
{
    Q_D(KAVAtmActivityWaitBase);
    if (d->finished)
        StopStartTimer();
    else
        ExecLoop(d->loop);
    if (IsEnded())
        return; // its time-out, or the loop was ended from outside

    const bool stale = !KAVFeatContainerManager::GetManager()->isAllFeatObjectsUpToDate();
    clearHistory();
    if (!d->finished && stale) {
        qCDebug(lcActions) << "The wait ended without seeing the work finish, with a stale model.";
        ReportResult(KAVAtmEnums::Warning, notStarted, QString());
        return;
    }
    // A Pass that saw nothing run says so: the document was up to date, nothing was awaited.
    ReportResult(KAVAtmEnums::Pass,
                 d->finished ? QString()
                             : tr("Nothing started within %1 s; the document was up to date.")
                                   .arg(d->startTimeout / 1000.0),
                 QString());
}
