#ifndef KAVATMDIALOGHANDLER_H
#define KAVATMDIALOGHANDLER_H

#include "kavautomation_export.h"

#include <QtCore/QMap>
#include <QtCore/QString>
#include <QtCore/QVariantMap>

// Implemented by the host's dialog handler (beside its own base) so that automation can put
// values into the dialog of the running command.
class KAVAUTOMATION_EXPORT KAVAtmDialogHandler {
public:
    KAVAtmDialogHandler(const KAVAtmDialogHandler &) = default;
    KAVAtmDialogHandler &operator=(const KAVAtmDialogHandler &) = default;
    virtual ~KAVAtmDialogHandler();

    virtual void ApplyAutomationData(const QVariantMap &data, bool clearFirst) = 0;
    // What the last ApplyAutomationData did not put into the dialog, by key, each with why
    // ("no control of that name", "\"lots\" is not a number"): the step then fails. The default
    // knows of nothing, so that a handler written before this still builds.
    virtual QMap<QString, QString> GetUnappliedAutomationData() const;

protected:
    KAVAtmDialogHandler() = default;
};

#endif // KAVATMDIALOGHANDLER_H
