#ifndef KAVCMDCONTROLLER_H
#define KAVCMDCONTROLLER_H

#include "kavhost_export.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QVariantHash>

#include <functional>
#include <memory>

class KAVCmdAction;
class KAVCmdCommand;
class KAVCmdCommandAction;
class KAVCmdDialogHandler;
class QWidget;

// The process-wide command controller: the registry of command actions and command factories,
// the running command and the installed dialog handler.
class KAVHOST_EXPORT KAVCmdController : public QObject {
    Q_OBJECT
public:
    using CommandFactory = std::function<KAVCmdCommand *(const QByteArray &name)>;

    // Created on first use, as a child of the application object when there is one.
    static KAVCmdController *GetController();
    ~KAVCmdController() override;

    // Commands are created by name; a second registration of a name replaces the first.
    void RegisterCommand(const QByteArray &name, const CommandFactory &factory);
    bool HasCommand(const QByteArray &name) const;

    // Makes an action known by its id (a later action with the same id replaces it). The
    // action stays owned by its parent. A command action launches its command when triggered.
    void AddAction(KAVCmdAction *action);
    void RemoveAction(KAVCmdAction *action);
    QList<KAVCmdAction *> GetActions() const;

    // The action with that id, or null when no action has that id.
    Q_INVOKABLE KAVCmdAction *GetAction(const QByteArray &id) const;

    // Finishes the running command, if any, then creates and starts the named command.
    // Returns the started command (owned by the controller until it finishes), or null when
    // no factory is registered under the name.
    KAVCmdCommand *LaunchCmd(const QByteArray &command, const QVariantHash &data,
                             KAVCmdCommandAction *action, QWidget *parent);
    Q_INVOKABLE KAVCmdCommand *GetCurrentCommand() const;

    KAVCmdDialogHandler *GetDialogHandler() const;
    // Not owned.
    void SetDialogHandler(KAVCmdDialogHandler *handler);

Q_SIGNALS:
    // A registered action was triggered, before its command is launched.
    void ActionTriggered(KAVCmdAction *action);
    void CommandStarted(KAVCmdCommand *command);
    void CommandFinished(KAVCmdCommand *command);

private:
    explicit KAVCmdController(QObject *parent);
    void OnActionTriggered(KAVCmdAction *action);
    void OnCommandFinished(KAVCmdCommand *command);

    struct Private;
    const std::unique_ptr<Private> d;
};

#endif // KAVCMDCONTROLLER_H
