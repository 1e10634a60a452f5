#include "kavatmplatform.h"
#include "kavatmprocessormonitor.h"
#include "kavatmtimewaitaction.h"
#include "kavatmupdatemonitor.h"
#include "kavatmwaitnestingaction.h"
#include "kavatmwaittranslationaction.h"
#include "kavatmwaitupdateaction.h"
#include "kavfeatcontainermanager.h"
#include "kavfeatenvironmentmanager.h"
#include "kavfeatupdatemanager.h"
#include "kavnestfeatureprocessor.h"
#include "kavnestsavemanager.h"
#include "kavnestsourceprocessor.h"
#include "kavsyslogging.h"

#include <QtCore/QEventLoop>
#include <QtCore/QMetaEnum>
#include <QtCore/QPointer>
#include <QtCore/QTimer>

#define LOG qCDebug(LOG_CAT_KAV_DEFAULT).noquote()

namespace {

int s_processorStartTimeout = KAVAtmWaitProcessorActionBase::DefaultStartTimeout;
int s_updateStartTimeout = KAVAtmWaitUpdateAction::DefaultStartTimeout;

QJsonObject definitionJson(const QJsonValue &data)
{
    return data.toObject();
}

// A new single-shot timer of the action, replacing the one of an earlier wait.
QTimer *renewTimer(QPointer<QTimer> &timer, QObject *action)
{
    delete timer;
    timer = new QTimer(action);
    timer->setSingleShot(true);
    return timer;
}

} // namespace

// ---- TimeWait

KAVAtmTimeWaitAction::KAVAtmTimeWaitAction(KAVAtmPlatform &platform, const QUuid &id,
                                           const QJsonValue &data)
    : KAVAtmTestActionBase(platform, id, data), m_def(new KAVAtmTimeWaitActionDef)
{
    m_def->FromJson(definitionJson(data));
}

KAVAtmTimeWaitAction::~KAVAtmTimeWaitAction() = default;

QByteArray KAVAtmTimeWaitAction::GetActionName()
{
    return KAVAtmTimeWaitActionDef::GetActionName();
}

KAVAtmTimeWaitActionDef *KAVAtmTimeWaitAction::GetActionDef() const
{
    return m_def.get();
}

void KAVAtmTimeWaitAction::Execute()
{
    KAVAtmTestActionBase::Execute();
    LOG << "Creating EventLoop to wait the action to be done.";
    QEventLoop loop;
    // A negative wait time waits no time at all.
    QTimer::singleShot(qMax(0, m_def->GetWaitTime()), &loop, &QEventLoop::quit);
    ExecLoop(loop);
    if (IsEnded())
        return;
    LOG << "EventLoop finished.";
    ReportResult(KAVAtmEnums::Pass, QString(), QString());
}

// ---- Processor waits

class KAVAtmWaitProcessorActionBasePrivate {
public:
    QEventLoop eventLoop;
    QPointer<QTimer> startTimer;
    KAVNestSaveManager *saveManager = KAVNestSaveManager::GetManager();
    KAVFeatUpdateManager *updateManager = KAVFeatUpdateManager::GetManager();
    QMetaObject::Connection updateFinishedConnection;
    bool finished = false;

    void QuitLoop()
    {
        if (eventLoop.isRunning())
            eventLoop.quit();
    }
};

KAVAtmWaitProcessorActionBase::KAVAtmWaitProcessorActionBase(KAVAtmPlatform &platform,
                                                             const QUuid &id,
                                                             const QJsonValue &data)
    : KAVAtmTestActionBase(platform, id, data), d(new KAVAtmWaitProcessorActionBasePrivate)
{
}

KAVAtmWaitProcessorActionBase::~KAVAtmWaitProcessorActionBase() = default;

int KAVAtmWaitProcessorActionBase::GetStartTimeout()
{
    return s_processorStartTimeout;
}

void KAVAtmWaitProcessorActionBase::SetStartTimeout(int milliseconds)
{
    s_processorStartTimeout = milliseconds;
}

bool KAVAtmWaitProcessorActionBase::IsProcessorAlreadyFinished(KAVAtmProcessorMonitor *monitor)
{
    LOG << "Running IsProcessorAlreadyFinished";
    if (!monitor)
        return true;
    const QList<KAVNestProcessorBase::ProcessorStatus> history = monitor->GetStatusHistory();
    const QMetaEnum names = QMetaEnum::fromType<KAVNestProcessorBase::ProcessorStatus>();
    for (KAVNestProcessorBase::ProcessorStatus status : history)
        LOG << "    " << names.valueToKey(status);
    const qsizetype lastRun = history.lastIndexOf(KAVNestProcessorBase::Running);
    return lastRun >= 0 && lastRun + 1 < history.size()
        && history.at(lastRun + 1) == KAVNestProcessorBase::Idle;
}

void KAVAtmWaitProcessorActionBase::WaitProcessorFinished(KAVNestProcessorBase *processor,
                                                          KAVAtmProcessorMonitor *monitorPointer)
{
    // The monitor goes with its environment, which may close during the wait.
    QPointer<KAVAtmProcessorMonitor> monitor(monitorPointer);
    QTimer *startTimer = renewTimer(d->startTimer, this);
    LOG << "Start to wait process.";
    connect(startTimer, &QTimer::timeout, this, [this] {
        LOG << "Wait processor to start time out.";
        if (!d->finished && d->eventLoop.isRunning()) {
            LOG << "Exit loop after time out.";
            d->eventLoop.quit();
        }
    });
    startTimer->start(s_processorStartTimeout);

    QMetaObject::Connection statusConnection;
    QMetaObject::Connection progressConnection;
    if (processor) {
        statusConnection = connect(
            processor, &KAVNestProcessorBase::StatusChanged, this,
            [this, monitor](KAVNestProcessorBase::ProcessorStatus status) {
                LOG << "Processor status changed: "
                    << (status == KAVNestProcessorBase::Idle ? "Idle" : "Running");
                // The monitor, connected first, has already recorded this status.
                if (!monitor
                    || !monitor->GetStatusHistory().contains(KAVNestProcessorBase::Running))
                    return;
                LOG << "Detected the processor is running, stop timer.";
                if (d->startTimer)
                    d->startTimer->stop();
                if (IsProcessorAlreadyFinished(monitor)) {
                    LOG << "Detected the processor has finished already.";
                    d->finished = true;
                    StopTimeout();
                    d->QuitLoop();
                }
            });
        progressConnection
            = connect(processor, &KAVNestProcessorBase::ProgressChanged, this, [this](double p) {
                  if (p > 0.0 && d->startTimer && d->startTimer->isActive())
                      d->startTimer->stop();
              });
    }
    const QMetaObject::Connection saveConnection
        = connect(d->saveManager, &KAVNestSaveManager::SaveFinished, &d->eventLoop, [this] {
              LOG << "Detected save finished.";
              d->finished = true;
              // The saved results are in the model once the update that follows is done.
              if (!d->updateFinishedConnection) {
                  d->updateFinishedConnection
                      = connect(d->updateManager, &KAVFeatUpdateManager::UpdateFinished,
                                &d->eventLoop, [this] {
                                    LOG << "Detected update finished.";
                                    if (d->eventLoop.isRunning())
                                        StopTimeout();
                                    d->QuitLoop();
                                });
              }
          });

    if (IsProcessorAlreadyFinished(monitor)) {
        LOG << "Detected processor already finished.";
        startTimer->stop();
        d->finished = true;
    } else {
        // A processor whose latest report is "running" has started: only its end is awaited.
        if (monitor && !monitor->GetStatusHistory().isEmpty()
            && monitor->GetStatusHistory().constLast() == KAVNestProcessorBase::Running) {
            LOG << "Detected the processor is running, stop timer.";
            startTimer->stop();
        }
        LOG << "Start waiting the processor.";
        ExecLoop(d->eventLoop);
    }

    disconnect(statusConnection);
    disconnect(progressConnection);
    disconnect(saveConnection);
    if (IsEnded())
        return; // the time-out ended the action while it waited

    const bool stale = !KAVFeatContainerManager::GetManager()->isAllFeatObjectsUpToDate();
    if (monitor)
        monitor->ClearStatusHistory();
    if (!d->finished && stale) {
        LOG << "Wait processor finished with undetected.";
        ReportResult(KAVAtmEnums::Warning,
                     tr("Expected to wait processor finished but it is not started."), QString());
        return;
    }
    LOG << "Wait processor finished successfully.";
    ReportResult(KAVAtmEnums::Pass, QString(), QString());
}

KAVAtmWaitNestingAction::KAVAtmWaitNestingAction(KAVAtmPlatform &platform, const QUuid &id,
                                                 const QJsonValue &data)
    : KAVAtmWaitProcessorActionBase(platform, id, data), m_def(new KAVAtmWaitNestingActionDef)
{
    m_def->FromJson(definitionJson(data));
}

KAVAtmWaitNestingAction::~KAVAtmWaitNestingAction() = default;

QByteArray KAVAtmWaitNestingAction::GetActionName()
{
    return KAVAtmWaitNestingActionDef::GetActionName();
}

KAVAtmWaitNestingActionDef *KAVAtmWaitNestingAction::GetActionDef() const
{
    return m_def.get();
}

void KAVAtmWaitNestingAction::Execute()
{
    KAVAtmTestActionBase::Execute();
    WaitProcessorFinished(KAVNestFeatureProcessor::GetProcessor(
                              KAVFeatEnvironmentManager::GetManager()->GetCurrentEnvironment()),
                          GetPlatform()->GetFeatureProcessorMonitor());
}

KAVAtmWaitTranslationAction::KAVAtmWaitTranslationAction(KAVAtmPlatform &platform, const QUuid &id,
                                                         const QJsonValue &data)
    : KAVAtmWaitProcessorActionBase(platform, id, data), m_def(new KAVAtmWaitTranslationActionDef)
{
    m_def->FromJson(definitionJson(data));
}

KAVAtmWaitTranslationAction::~KAVAtmWaitTranslationAction() = default;

QByteArray KAVAtmWaitTranslationAction::GetActionName()
{
    return KAVAtmWaitTranslationActionDef::GetActionName();
}

KAVAtmWaitTranslationActionDef *KAVAtmWaitTranslationAction::GetActionDef() const
{
    return m_def.get();
}

void KAVAtmWaitTranslationAction::Execute()
{
    KAVAtmTestActionBase::Execute();
    WaitProcessorFinished(KAVNestSourceProcessor::GetProcessor(
                              KAVFeatEnvironmentManager::GetManager()->GetCurrentEnvironment()),
                          GetPlatform()->GetSourceProcessorMonitor());
}

// ---- Update wait

class KAVAtmWaitUpdateActionPrivate {
public:
    std::unique_ptr<KAVAtmWaitUpdateActionDef> def {new KAVAtmWaitUpdateActionDef};
    QEventLoop eventLoop;
    QPointer<QTimer> startTimer;
    QMetaObject::Connection statusConnection;
    bool finished = false;
};

KAVAtmWaitUpdateAction::KAVAtmWaitUpdateAction(KAVAtmPlatform &platform, const QUuid &id,
                                               const QJsonValue &data)
    : KAVAtmTestActionBase(platform, id, data), d(new KAVAtmWaitUpdateActionPrivate)
{
    d->def->FromJson(definitionJson(data));
}

KAVAtmWaitUpdateAction::~KAVAtmWaitUpdateAction() = default;

QByteArray KAVAtmWaitUpdateAction::GetActionName()
{
    return KAVAtmWaitUpdateActionDef::GetActionName();
}

KAVAtmWaitUpdateActionDef *KAVAtmWaitUpdateAction::GetActionDef() const
{
    return d->def.get();
}

int KAVAtmWaitUpdateAction::GetStartTimeout()
{
    return s_updateStartTimeout;
}

void KAVAtmWaitUpdateAction::SetStartTimeout(int milliseconds)
{
    s_updateStartTimeout = milliseconds;
}

bool KAVAtmWaitUpdateAction::IsUpdateAlreadyFinished(KAVAtmUpdateMonitor *monitor)
{
    if (!monitor)
        return true;
    const QList<KAVFeatUpdateManager::Status> history = monitor->GetStatusHistory();
    qsizetype last = history.lastIndexOf(KAVFeatUpdateManager::Updating);
    if (last < 0)
        last = history.lastIndexOf(KAVFeatUpdateManager::Pending);
    return last >= 0 && last + 1 < history.size()
        && history.at(last + 1) == KAVFeatUpdateManager::Idle;
}

void KAVAtmWaitUpdateAction::Execute()
{
    KAVAtmTestActionBase::Execute();
    KAVFeatUpdateManager *manager = KAVFeatUpdateManager::GetManager();
    QTimer *startTimer = renewTimer(d->startTimer, this);
    LOG << "Start to wait process.";
    QPointer<KAVAtmUpdateMonitor> monitor(GetPlatform()->GetUpdateMonitor());

    connect(startTimer, &QTimer::timeout, this, [this] {
        const KAVFeatUpdateManager::Status status = KAVFeatUpdateManager::GetManager()->GetStatus(
            KAVFeatEnvironmentManager::GetManager()->GetCurrentEnvironment());
        if (status != KAVFeatUpdateManager::Idle)
            return;
        LOG << "Detected the update manager is being idle for 3s, stop the event loop.";
        if (d->eventLoop.isRunning()) {
            LOG << "Exit loop after time out.";
            d->eventLoop.quit();
        }
    });
    startTimer->start(s_updateStartTimeout);

    disconnect(d->statusConnection);
    d->statusConnection
        = connect(manager, &KAVFeatUpdateManager::StatusChanged, this,
                  [this, monitor](KAVFeatUpdateManager::Status status) {
                      switch (status) {
                      case KAVFeatUpdateManager::Pending:
                      case KAVFeatUpdateManager::Updating:
                          LOG << "Detected the update manager is not idle, stop timer.";
                          if (d->startTimer)
                              d->startTimer->stop();
                          break;
                      case KAVFeatUpdateManager::Idle:
                          LOG << "Detected the update manager is idle, stop the event loop.";
                          if (d->startTimer)
                              d->startTimer->stop();
                          if (IsUpdateAlreadyFinished(monitor)) {
                              LOG << "Detected the update has already finished.";
                              d->finished = true;
                              StopTimeout();
                              if (d->eventLoop.isRunning())
                                  d->eventLoop.quit();
                          }
                          break;
                      }
                  });

    if (IsUpdateAlreadyFinished(monitor)) {
        LOG << "Detected the update has already finished.";
        startTimer->stop();
        d->finished = true;
    } else {
        ExecLoop(d->eventLoop);
    }
    if (IsEnded())
        return;

    const bool stale = !KAVFeatContainerManager::GetManager()->isAllFeatObjectsUpToDate();
    if (monitor)
        monitor->ClearStatusHistory();
    if (!d->finished && stale) {
        LOG << "Wait update finished with undetected.";
        ReportResult(KAVAtmEnums::Warning,
                     tr("Expected to wait update finished but it is not started."), QString());
        return;
    }
    LOG << "EventLoop finished.";
    ReportResult(KAVAtmEnums::Pass, QString(), QString());
}
