#ifndef KAVATMDIALOGHANDLER_H
#define KAVATMDIALOGHANDLER_H

#include "kavautomation_export.h"

#include <QtCore/QVariantMap>

// Implemented by the host's dialog handler (beside its own base) so that automation can put
// values into the dialog of the running command.
class KAVAUTOMATION_EXPORT KAVAtmDialogHandler {
public:
    KAVAtmDialogHandler(const KAVAtmDialogHandler &) = default;
    KAVAtmDialogHandler &operator=(const KAVAtmDialogHandler &) = default;
    virtual ~KAVAtmDialogHandler();

    virtual void ApplyAutomationData(const QVariantMap &data, bool clearFirst) = 0;

protected:
    KAVAtmDialogHandler() = default;
};

#endif // KAVATMDIALOGHANDLER_H
