#ifndef KAVCMDDIALOGHANDLER_H
#define KAVCMDDIALOGHANDLER_H

#include "kavhost_export.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>

class KAVCmdDialogCommand;
class QWidget;

// The host's dialog handler: where new windows are parented and which widget is a dialog
// command's dialog. A host installs its own with KAVCmdController::SetDialogHandler.
class KAVHOST_EXPORT KAVCmdDialogHandler : public QObject {
    Q_OBJECT
public:
    explicit KAVCmdDialogHandler(QWidget *parentWidget = nullptr, QObject *parent = nullptr);
    ~KAVCmdDialogHandler() override;

    virtual QWidget *GetParentWidget() const;
    void SetParentWidget(QWidget *widget);

    // The dialog widget of a running dialog command, or null.
    virtual QWidget *GetDialog(const KAVCmdDialogCommand *command) const;

private:
    QPointer<QWidget> m_parentWidget;
};

#endif // KAVCMDDIALOGHANDLER_H
