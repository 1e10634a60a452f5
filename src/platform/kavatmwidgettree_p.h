#ifndef KAVATMWIDGETTREE_P_H
#define KAVATMWIDGETTREE_P_H

#include "kavautomation_export.h"

#include <QtCore/QJsonObject>
#include <QtCore/QString>

class QWidget;

// The host's widgets by the object-name paths procedures name them with, and a snapshot of
// what they show, for a step trace.
namespace KAVAtmWidgetTree {

// "window/panel/button": the first segment names a visible top-level window (else any widget
// below one), each further one a widget anywhere below the previous, as the UI helper's
// FindControl finds it. Visible widgets are preferred over hidden ones of the same name.
KAVAUTOMATION_EXPORT QWidget *Find(const QString &path);
// The object names from the widget's window down to it, unnamed ones left out.
KAVAUTOMATION_EXPORT QString PathOf(const QWidget *widget);

// The widget an action worked on, marked in the next snapshot (then forgotten).
KAVAUTOMATION_EXPORT void Mark(QWidget *widget);

// Every visible top-level window and its widgets: class, name, path, geometry in its window
// (device pixels), visible, enabled, focus and what it shows. {"scale", "marked", "windows": [{"x", "node"}],
// "costMs"},
// with the windows placed as the screenshot places them. The marked widget is the one Mark()
// named, else the active modal dialog, else the focus widget.
KAVAUTOMATION_EXPORT QJsonObject Snapshot();

} // namespace KAVAtmWidgetTree

#endif // KAVATMWIDGETTREE_P_H
