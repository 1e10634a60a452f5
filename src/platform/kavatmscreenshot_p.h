#ifndef KAVATMSCREENSHOT_P_H
#define KAVATMSCREENSHOT_P_H

#include "kavautomation_export.h"

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtGui/QImage>

class QWidget;

// What the host looked like when an action ended, for the report of a failure.
namespace KAVAtmScreenshot {

// Images wider than this are scaled down to it.
constexpr int MaximumWidth = 1920;

// Pixels between two windows side by side.
constexpr int Gap = 8;

// The visible top-level windows, from left to right in their screen order.
KAVAUTOMATION_EXPORT QList<QWidget *> Windows();
// Every visible top-level window side by side in that order, scaled down to MaximumWidth.
// A null image, with the reason in whyNot, when there is no window to show or it cannot be
// drawn.
KAVAUTOMATION_EXPORT QImage GrabImage(QString *whyNot);
// The image as PNG; empty, with the reason in whyNot, when it cannot be written.
KAVAUTOMATION_EXPORT QByteArray ToPng(const QImage &image, QString *whyNot);
// GrabImage() as PNG.
KAVAUTOMATION_EXPORT QByteArray Grab(QString *whyNot);

} // namespace KAVAtmScreenshot

#endif // KAVATMSCREENSHOT_P_H
