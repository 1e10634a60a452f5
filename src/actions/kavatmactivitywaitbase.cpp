#include "kavatmactivitywaitbase.h"
#include "kavatmlogging_p.h"
#include "kavfeatcontainermanager.h"

#include <QtCore/QEventLoop>
#include <QtCore/QPointer>
#include <QtCore/QTimer>

class KAVAtmActivityWaitBasePrivate {
public:
    QEventLoop loop;
    QPointer<QTimer> startTimer;
    bool finished = false;
};

KAVAtmActivityWaitBase::KAVAtmActivityWaitBase(KAVAtmPlatform &platform, const QUuid &id,
                                               const QJsonValue &data)
    : KAVAtmTestActionBase(platform, id, data), d(new KAVAtmActivityWaitBasePrivate)
{
}

KAVAtmActivityWaitBase::~KAVAtmActivityWaitBase() = default;

void KAVAtmActivityWaitBase::StartStartTimer(int milliseconds,
                                             const std::function<bool()> &mayGiveUp)
{
    delete d->startTimer;
    d->startTimer = new QTimer(this);
    d->startTimer->setSingleShot(true);
    d->startTimer->setTimerType(Qt::PreciseTimer);
    connect(d->startTimer, &QTimer::timeout, this, [this, mayGiveUp] {
        if (d->finished || !mayGiveUp())
            return;
        qCDebug(lcActions) << "No activity within the start time-out: the wait ends.";
        QuitLoop(d->loop);
    });
    d->startTimer->start(milliseconds);
}

void KAVAtmActivityWaitBase::StopStartTimer()
{
    if (d->startTimer)
        d->startTimer->stop();
}

bool KAVAtmActivityWaitBase::IsStartTimerActive() const
{
    return d->startTimer && d->startTimer->isActive();
}

bool KAVAtmActivityWaitBase::IsFinished() const
{
    return d->finished;
}

void KAVAtmActivityWaitBase::SetFinished()
{
    d->finished = true;
}

void KAVAtmActivityWaitBase::FinishWait()
{
    d->finished = true;
    StopStartTimer();
    if (d->loop.isRunning())
        StopTimeout();
    QuitLoop(d->loop);
}

void KAVAtmActivityWaitBase::LeaveWait()
{
    QuitLoop(d->loop);
}

void KAVAtmActivityWaitBase::WaitAndReport(const std::function<void()> &clearHistory,
                                           const QString &notStarted)
{
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
    ReportResult(KAVAtmEnums::Pass, QString(), QString());
}
