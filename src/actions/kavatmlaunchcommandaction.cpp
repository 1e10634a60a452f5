#include "kavatmlaunchcommandaction.h"
#include "kavatmexecutorregistry_p.h"
#include "kavatmlogging_p.h"
#include "kavatmtestactionbase_p.h"
#include "kavcmdaction.h"
#include "kavcmdcontroller.h"
#include "kavsysexception.h"

#include <QtCore/QEventLoop>
#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

KAVATM_REGISTER_EXECUTOR(KAVAtmLaunchCommandAction)

class KAVAtmLaunchCommandActionPrivate
    : public KAVAtmExecutorPrivate<KAVAtmLaunchCommandActionDef> { };

KAVAtmLaunchCommandAction::KAVAtmLaunchCommandAction(KAVAtmPlatform &platform, const QUuid &id,
                                                     const QJsonValue &data)
    : KAVAtmTestActionBase(*new KAVAtmLaunchCommandActionPrivate, platform, id, data)
{
}

KAVAtmLaunchCommandAction::~KAVAtmLaunchCommandAction() = default;

QByteArray KAVAtmLaunchCommandAction::GetActionName()
{
    return KAVAtmLaunchCommandActionDef::GetActionName();
}

void KAVAtmLaunchCommandAction::Execute()
{
    Q_D(KAVAtmLaunchCommandAction);
    // No Executing update, but the time-out holds: a command whose dialog calls exec() blocks
    // inside the trigger.
    ArmTimeout();
    const QByteArray id = d->def.GetActionId();
    const QString notFound = tr("Cannot find the action with Id: %1").arg(QString::fromUtf8(id));
    QAction *action = nullptr;
    try {
        action = KAVCmdController::GetController()->GetAction(id);
    } catch (const KAVSysException &exception) {
        qCDebug(lcPlatform).noquote() << exception.GetMessage();
    }
    if (!action) {
        ReportResult(KAVAtmEnums::Fail, notFound, QString());
        return;
    }
    // A disabled action ignores the trigger: nothing would have happened.
    if (!action->isEnabled()) {
        ReportResult(KAVAtmEnums::Fail,
                     tr("The action with Id: %1 is disabled.").arg(QString::fromUtf8(id)),
                     QString());
        return;
    }
    // A command that opens a modal dialog waits in it until it is answered, and the steps
    // that answer it come after this one: its verdict is given as soon as the dialog is up.
    const QPointer<QWidget> modalBefore = QApplication::activeModalWidget();
    QTimer modal;
    modal.setInterval(20);
    connect(&modal, &QTimer::timeout, this, [this, &modal, modalBefore] {
        QWidget *open = QApplication::activeModalWidget();
        if (!open || open == modalBefore)
            return;
        modal.stop();
        qCDebug(lcPlatform).noquote() << "The command waits in the modal dialog" << open;
        ReportResult(KAVAtmEnums::Pass, QString(), QString());
    });
    modal.start();
    bool threw = false;
    QString thrown;
    try {
        action->activate(QAction::Trigger);
    } catch (const KAVSysException &exception) {
        threw = true;
        thrown = exception.GetMessage();
    } catch (const std::exception &exception) {
        threw = true;
        thrown = QString::fromLocal8Bit(exception.what());
    }
    modal.stop();
    // Answered while its dialog was open: the verdict is given.
    if (IsEnded()) {
        if (threw)
            qCWarning(lcPlatform).noquote() << "The command failed after its dialog:" << thrown;
        return;
    }
    if (threw) {
        ReportResult(KAVAtmEnums::Fail,
                     tr("The action with Id: %1 failed: %2").arg(QString::fromUtf8(id), thrown),
                     QString());
        return;
    }
    // The time-out bounds the trigger, which a modal dialog blocks; the settle cannot fail.
    StopTimeout();
    // Let the command settle.
    QEventLoop loop;
    QTimer::singleShot(3000, Qt::PreciseTimer, &loop, [this, &loop] { QuitLoop(loop); });
    if (ExecLoop(loop))
        ReportResult(KAVAtmEnums::Pass, QString(), QString());
}
