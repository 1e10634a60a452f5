#include "kavatmwidgetreplayaction.h"
#include "kavatmeventrecorder.h"
#include "kavatmexecutorregistry_p.h"
#include "kavcmdcommand.h"
#include "kavcmdcontroller.h"
#include "kavcmddialogcommand.h"
#include "kavcmddialoghandler.h"

#include <QtCore/QEventLoop>
#include <QtCore/QPointer>
#include <QtWidgets/QWidget>

KAVATM_REGISTER_EXECUTOR(KAVAtmWidgetReplayAction)

class KAVAtmWidgetReplayActionPrivate {
public:
    KAVAtmWidgetReplayActionDef def;
    QPointer<KAVAtmEventRecorder> recorder;
};

KAVAtmWidgetReplayAction::KAVAtmWidgetReplayAction(KAVAtmPlatform &platform, const QUuid &id,
                                                   const QJsonValue &data)
    : KAVAtmTestActionBase(platform, id, data), d(new KAVAtmWidgetReplayActionPrivate)
{
    d->def.FromJson(data.toObject());
}

KAVAtmWidgetReplayAction::~KAVAtmWidgetReplayAction() = default;

QByteArray KAVAtmWidgetReplayAction::GetActionName()
{
    return KAVAtmWidgetReplayActionDef::GetActionName();
}

KAVAtmWidgetReplayActionDef *KAVAtmWidgetReplayAction::GetActionDef() const
{
    return &d->def;
}

QWidget *KAVAtmWidgetReplayAction::GetReplayTarget(QString &error) const
{
    const KAVCmdController *controller = KAVCmdController::GetController();
    KAVCmdCommand *command = controller->GetCurrentCommand();
    if (!command) {
        error = tr("There is no command currently running.");
        return nullptr;
    }
    const auto *dialogCommand = qobject_cast<const KAVCmdDialogCommand *>(command);
    if (!dialogCommand) {
        error = tr("The current running command does not contain a dialog: %1")
                    .arg(command->GetLabel());
        return nullptr;
    }
    const KAVCmdDialogHandler *handler = controller->GetDialogHandler();
    QWidget *dialog = handler ? handler->GetDialog(dialogCommand) : nullptr;
    if (!dialog)
        error = tr("Failed to get the dialog from command: %1").arg(command->GetLabel());
    return dialog;
}

void KAVAtmWidgetReplayAction::Execute()
{
    KAVAtmTestActionBase::Execute();
    QString error;
    QWidget *target = GetReplayTarget(error);
    if (!target) {
        ReportResult(KAVAtmEnums::Fail,
                     error.isEmpty() ? tr("There is no widget to replay the events on.") : error,
                     QString());
        return;
    }
    d->recorder = new KAVAtmEventRecorder(target, d->def.GetRecordedEvents());
    QEventLoop loop;
    bool finished = false;
    QString message;
    const QMetaObject::Connection connection
        = connect(d->recorder, &KAVAtmEventRecorder::ReplayFinished, this,
                  [this, &loop, &finished, &message](const QString &text) {
                      finished = true;
                      message = text;
                      QuitLoop(loop);
                  });
    // An empty replay finishes inside StartReplay, before the loop could run.
    d->recorder->StartReplay(d->def.GetReplaySpeed());
    const bool completed = finished || ExecLoop(loop);
    disconnect(connection);
    if (!completed)
        return;
    ReportResult(message.isEmpty() ? KAVAtmEnums::Pass : KAVAtmEnums::Fail, message, QString());
}

void KAVAtmWidgetReplayAction::Cleanup()
{
    // Nothing may be posted into the actions that follow.
    if (d->recorder) {
        d->recorder->StopReplay();
        d->recorder->deleteLater();
    }
}
