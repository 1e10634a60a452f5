#include "kavatmwidgetreplayaction.h"
#include "kavatmwidgettree_p.h"
#include "kavatmcurrentdialog_p.h"
#include "kavatmeventrecorder.h"
#include "kavatmexecutorregistry_p.h"
#include "kavatmtestactionbase_p.h"

#include <QtCore/QEventLoop>
#include <QtCore/QPointer>
#include <QtWidgets/QWidget>

KAVATM_REGISTER_EXECUTOR(KAVAtmWidgetReplayAction)

class KAVAtmWidgetReplayActionPrivate : public KAVAtmExecutorPrivate<KAVAtmWidgetReplayActionDef> {
public:
    QPointer<KAVAtmEventRecorder> recorder;
};

KAVAtmWidgetReplayAction::KAVAtmWidgetReplayAction(KAVAtmPlatform &platform, const QUuid &id,
                                                   const QJsonValue &data)
    : KAVAtmTestActionBase(*new KAVAtmWidgetReplayActionPrivate, platform, id, data)
{
}

KAVAtmWidgetReplayAction::~KAVAtmWidgetReplayAction() = default;

QByteArray KAVAtmWidgetReplayAction::GetActionName()
{
    return KAVAtmWidgetReplayActionDef::GetActionName();
}

QWidget *KAVAtmWidgetReplayAction::GetReplayTarget(QString &error) const
{
    return KAVAtmCurrentDialog::Find(&error);
}

void KAVAtmWidgetReplayAction::Execute()
{
    Q_D(KAVAtmWidgetReplayAction);
    KAVAtmTestActionBase::Execute();
    QString error;
    QWidget *target = GetReplayTarget(error);
    if (!target) {
        ReportResult(KAVAtmEnums::Fail,
                     error.isEmpty() ? tr("There is no widget to replay the events on.") : error,
                     QString());
        return;
    }
    KAVAtmWidgetTree::Mark(target);
    d->recorder = new KAVAtmEventRecorder(target, d->def.GetRecordedEvents());
    if (!d->recorder->GetLoadError().isEmpty()) {
        ReportResult(KAVAtmEnums::Fail, d->recorder->GetLoadError(), QString());
        return;
    }
    QEventLoop loop;
    // The verdict goes from the replay's end: a replayed event may have opened a loop of its
    // own (a context menu, a modal dialog) that keeps this one from returning.
    const QMetaObject::Connection connection
        = connect(d->recorder, &KAVAtmEventRecorder::ReplayFinished, this,
                  [this, &loop](const QString &message) {
                      ReportResult(message.isEmpty() ? KAVAtmEnums::Pass : KAVAtmEnums::Fail,
                                   message, QString());
                      QuitLoop(loop);
                  });
    d->recorder->StartReplay(d->def.GetReplaySpeed());
    ExecLoop(loop);
    disconnect(connection);
}

void KAVAtmWidgetReplayAction::Cleanup()
{
    Q_D(KAVAtmWidgetReplayAction);
    // Nothing may be posted into the actions that follow.
    if (d->recorder) {
        d->recorder->StopReplay();
        d->recorder->deleteLater();
    }
}
