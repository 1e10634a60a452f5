#include "kavsysregisterinit.h"

#include <QtCore/QMetaType>
#include <QtWidgets/QWidget>

namespace {

// Start-up of the library, run by the host's KAVSysInitContext.
void InitKAVAutomation()
{
    qRegisterMetaType<const QWidget *>("const QWidget*");
}

const KAVSysRegisterInit s_init(&InitKAVAutomation);

} // namespace
