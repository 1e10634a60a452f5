#include "kavatmlogging_p.h"
#include "kavatmtestactionresult.h"
#include "kavatmtestprocedureresult.h"
#include "kavcmdcommand.h"
#include "kavsysregisterinit.h"

#include <QtCore/QMetaType>
#include <QtWidgets/QWidget>

Q_LOGGING_CATEGORY(lcModel, "kav.model", QtInfoMsg)
Q_LOGGING_CATEGORY(lcProtocol, "kav.protocol", QtInfoMsg)
Q_LOGGING_CATEGORY(lcOrchestration, "kav.orchestration", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPlatform, "kav.platform", QtInfoMsg)
Q_LOGGING_CATEGORY(lcActions, "kav.actions", QtInfoMsg)
Q_LOGGING_CATEGORY(lcScripting, "kav.scripting", QtInfoMsg)

namespace {

// Start-up of the library, run by the host's KAVSysInitContext.
void InitKAVAutomation()
{
    qRegisterMetaType<const QWidget *>("const QWidget*");
}

const KAVSysRegisterInit s_init(&InitKAVAutomation);

// The library's own signal argument types, usable in queued connections and signal spies from
// the moment it is loaded.
const bool s_typesRegistered = [] {
    qRegisterMetaType<const KAVAtmTestActionResult *>("const KAVAtmTestActionResult*");
    qRegisterMetaType<const KAVAtmTestProcedureResult *>("const KAVAtmTestProcedureResult*");
    // What the UI helper hands to and takes from scripts.
    qRegisterMetaType<KAVCmdCommand *>();
    qRegisterMetaType<QWidget *>();
    return true;
}();

} // namespace
