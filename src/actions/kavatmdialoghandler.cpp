#include "kavatmdialoghandler.h"

KAVAtmDialogHandler::~KAVAtmDialogHandler() = default;
