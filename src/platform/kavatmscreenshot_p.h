#ifndef KAVATMSCREENSHOT_P_H
#define KAVATMSCREENSHOT_P_H

#include "kavautomation_export.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>

// What the host looked like when an action ended, for the report of a failure.
namespace KAVAtmScreenshot {

enum class Mode { Off, Failures, All };

// "off", "failures" or "all" (any letter case); anything else, or nothing, is "failures".
KAVAUTOMATION_EXPORT Mode ModeFromText(const QString &text);
KAVAUTOMATION_EXPORT QString ModeText(Mode mode);

// Images wider than this are scaled down to it.
constexpr int MaximumWidth = 1920;

// A PNG of every visible top-level window, side by side from left to right in their screen
// order. Empty, with the reason in whyNot, when there is no window to show or it cannot be
// drawn.
KAVAUTOMATION_EXPORT QByteArray Grab(QString *whyNot);

} // namespace KAVAtmScreenshot

#endif // KAVATMSCREENSHOT_P_H
