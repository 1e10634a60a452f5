#include "kavatmdialoghandler.h"
#include "kavatmcurrentdialog_p.h"
#include "kavcmdcommand.h"
#include "kavcmdcontroller.h"
#include "kavcmddialogcommand.h"
#include "kavcmddialoghandler.h"

#include <QtCore/QCoreApplication>
#include <QtWidgets/QApplication>

KAVAtmDialogHandler::~KAVAtmDialogHandler() = default;

QMap<QString, QString> KAVAtmDialogHandler::GetUnappliedAutomationData() const
{
    return {};
}

namespace KAVAtmCurrentDialog {

QWidget *Find(QString *error)
{
    const auto tr
        = [](const char *text) { return QCoreApplication::translate("KAVAtmCurrentDialog", text); };
    const KAVCmdController *controller = KAVCmdController::GetController();
    KAVCmdCommand *command = controller->GetCurrentCommand();
    if (!command) {
        *error = tr("There is no command currently running.");
        return nullptr;
    }
    const auto *dialogCommand = qobject_cast<const KAVCmdDialogCommand *>(command);
    // A command waiting in a modal dialog (exec, a message box) is answered through it.
    if (QWidget *modal = QApplication::activeModalWidget(); modal && !dialogCommand)
        return modal;
    if (!dialogCommand) {
        *error = tr("The current running command does not contain a dialog: %1")
                     .arg(command->GetLabel());
        return nullptr;
    }
    const KAVCmdDialogHandler *handler = controller->GetDialogHandler();
    QWidget *dialog = handler ? handler->GetDialog(dialogCommand) : nullptr;
    if (!dialog)
        *error = tr("Failed to get the dialog from command: %1").arg(command->GetLabel());
    return dialog;
}

} // namespace KAVAtmCurrentDialog
