#ifndef KAVATMCURRENTDIALOG_P_H
#define KAVATMCURRENTDIALOG_P_H

#include <QtCore/QString>

class QWidget;

namespace KAVAtmCurrentDialog {

// The open dialog of the running command, as the host's dialog handler gives it; null, with
// the reason in error, when there is none.
QWidget *Find(QString *error);

} // namespace KAVAtmCurrentDialog

#endif // KAVATMCURRENTDIALOG_P_H
