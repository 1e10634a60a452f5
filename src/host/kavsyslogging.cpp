#include "kavsyslogging.h"

Q_LOGGING_CATEGORY(LOG_CAT_KAV_DEFAULT, "kav.default")
