#ifndef KAVATMLOGGING_P_H
#define KAVATMLOGGING_P_H

#include <QtCore/QLoggingCategory>

// One category per area of the library. Debug lines are off unless enabled, for example with
// QT_LOGGING_RULES="kav.platform.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcModel)
Q_DECLARE_LOGGING_CATEGORY(lcProtocol)
Q_DECLARE_LOGGING_CATEGORY(lcOrchestration)
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
Q_DECLARE_LOGGING_CATEGORY(lcActions)
Q_DECLARE_LOGGING_CATEGORY(lcScripting)

#endif // KAVATMLOGGING_P_H
