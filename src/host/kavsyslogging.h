#ifndef KAVSYSLOGGING_H
#define KAVSYSLOGGING_H

#include "kavhost_export.h"

#include <QtCore/QLoggingCategory>

// The host's default category: the library's categorised log lines go here.
KAVHOST_EXPORT Q_DECLARE_LOGGING_CATEGORY(LOG_CAT_KAV_DEFAULT)

#endif // KAVSYSLOGGING_H
