#include "kavcmdcontroller.h"

#include "kavcmdcommand.h"
#include "kavcmdcommandaction.h"
#include "kavcmddialoghandler.h"
#include "kavhostsingleton_p.h"
#include <QtCore/QPointer>

#include <QtCore/QHash>

struct KAVCmdController::Private {
    QHash<QByteArray, CommandFactory> factories;
    QHash<QByteArray, QPointer<KAVCmdAction>> actions;
    QList<QByteArray> actionOrder;
    QPointer<KAVCmdCommand> current;
    QPointer<KAVCmdDialogHandler> dialogHandler;
};

KAVCmdController::KAVCmdController(QObject *parent) : QObject(parent), d(new Private) { }

KAVCmdController::~KAVCmdController() = default;

KAVCmdController *KAVCmdController::GetController()
{
    static QPointer<KAVCmdController> s_controller;
    return KAVHostSingleton<KAVCmdController>(
        s_controller, [](QObject *parent) { return new KAVCmdController(parent); });
}

void KAVCmdController::RegisterCommand(const QByteArray &name, const CommandFactory &factory)
{
    d->factories.insert(name, factory);
}

bool KAVCmdController::HasCommand(const QByteArray &name) const
{
    return d->factories.contains(name);
}

void KAVCmdController::AddAction(KAVCmdAction *action)
{
    if (!action)
        return;
    const QByteArray id = action->GetID();
    if (KAVCmdAction *previous = d->actions.value(id); previous && previous != action)
        disconnect(previous, nullptr, this, nullptr);
    if (!d->actionOrder.contains(id))
        d->actionOrder.append(id);
    d->actions.insert(id, action);
    disconnect(action, &QAction::triggered, this, nullptr);
    connect(action, &QAction::triggered, this, [this, action] { OnActionTriggered(action); });
}

void KAVCmdController::RemoveAction(KAVCmdAction *action)
{
    if (!action)
        return;
    const QByteArray id = action->GetID();
    if (d->actions.value(id) != action)
        return;
    d->actions.remove(id);
    d->actionOrder.removeAll(id);
    disconnect(action, nullptr, this, nullptr);
}

QList<KAVCmdAction *> KAVCmdController::GetActions() const
{
    QList<KAVCmdAction *> actions;
    for (const QByteArray &id : d->actionOrder) {
        if (KAVCmdAction *action = d->actions.value(id))
            actions.append(action);
    }
    return actions;
}

KAVCmdAction *KAVCmdController::GetAction(const QByteArray &id) const
{
    return d->actions.value(id);
}

KAVCmdCommand *KAVCmdController::LaunchCmd(const QByteArray &command, const QVariantHash &data,
                                           KAVCmdCommandAction *action, QWidget *parent)
{
    const CommandFactory factory = d->factories.value(command);
    if (!factory)
        return nullptr;
    KAVCmdCommand *created = factory(command);
    if (!created)
        return nullptr;

    // One command runs at a time, as in the host's interactive mode.
    if (d->current)
        d->current->Finish();

    created->setParent(this);
    d->current = created;
    connect(created, &KAVCmdCommand::Finished, this,
            [this, created] { OnCommandFinished(created); });
    Q_EMIT CommandStarted(created);
    // A command that waits in a modal dialog may be ended and deleted before Start returns
    // (the next procedure's reset runs inside that dialog's loop).
    const QPointer<KAVCmdCommand> alive(created);
    created->Start(data, action, parent);
    return alive.data();
}

KAVCmdCommand *KAVCmdController::GetCurrentCommand() const
{
    return d->current;
}

KAVCmdDialogHandler *KAVCmdController::GetDialogHandler() const
{
    return d->dialogHandler;
}

void KAVCmdController::SetDialogHandler(KAVCmdDialogHandler *handler)
{
    d->dialogHandler = handler;
}

void KAVCmdController::OnActionTriggered(KAVCmdAction *action)
{
    Q_EMIT ActionTriggered(action);
    auto *commandAction = qobject_cast<KAVCmdCommandAction *>(action);
    if (!commandAction)
        return;
    QWidget *parent = d->dialogHandler ? d->dialogHandler->GetParentWidget() : nullptr;
    LaunchCmd(commandAction->GetCommandName(), commandAction->GetData(), commandAction, parent);
}

void KAVCmdController::OnCommandFinished(KAVCmdCommand *command)
{
    if (d->current == command)
        d->current = nullptr;
    Q_EMIT CommandFinished(command);
    command->deleteLater();
}
