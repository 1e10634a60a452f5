#ifndef KAVCMDDIALOGCOMMAND_H
#define KAVCMDDIALOGCOMMAND_H

#include "kavcmdcommand.h"

#include <QtCore/QPointer>

class QWidget;

// A command that owns a dialog while it runs. The dialog is created on start by CreateDialog
// and deleted when the command finishes.
class KAVHOST_EXPORT KAVCmdDialogCommand : public KAVCmdCommand {
    Q_OBJECT
public:
    explicit KAVCmdDialogCommand(const QByteArray &name, QObject *parent = nullptr);
    ~KAVCmdDialogCommand() override;

    QWidget *GetDialog() const;

protected:
    // The dialog of this command, parented to parentWidget; the base creates a plain QDialog.
    virtual QWidget *CreateDialog(QWidget *parentWidget);

    void OnStart() override;
    void OnFinish() override;

private:
    QPointer<QWidget> m_dialog;
};

#endif // KAVCMDDIALOGCOMMAND_H
