#include "kavsyslogging.h"

// Debug lines are many (several per action): enable them with QT_LOGGING_RULES="kav.*.debug=true".
Q_LOGGING_CATEGORY(LOG_CAT_KAV_DEFAULT, "kav.default", QtInfoMsg)
