#ifndef CORVIDDIALOGHANDLER_H
#define CORVIDDIALOGHANDLER_H

#include "kavatmdialoghandler.h"
#include "kavcmddialoghandler.h"

#include <QtCore/QMap>
#include <QtCore/QVariantMap>

// The host's dialog handler: new windows go on the main window, and automation values land
// in the widgets of the running command's dialog that carry the value's key as object name.
class CorvidDialogHandler : public KAVCmdDialogHandler, public KAVAtmDialogHandler {
    Q_OBJECT
public:
    explicit CorvidDialogHandler(QWidget *mainWindow);
    void ApplyAutomationData(const QVariantMap &data, bool clearFirst) override;
    QMap<QString, QString> GetUnappliedAutomationData() const override;

private:
    // Sets the values into the open modal popup and accepts it; a message box presses the
    // button its name's value names.
    void AnswerModal(const QVariantMap &data);

    QMap<QString, QString> m_unapplied;
};

#endif // CORVIDDIALOGHANDLER_H
