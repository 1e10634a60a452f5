#ifndef KAVATMJSUIHELPER_H
#define KAVATMJSUIHELPER_H

#include "kavautomation_export.h"

#include <QtCore/QObject>
#include <QtCore/QPoint>
#include <QtQml/QJSValue>

class KAVCmdCommand;
class QWidget;

// What test scripts reach as the global "uiHelper": launch host commands, find widgets by name,
// select tree items, right-click widgets, trigger menu entries, and serialise the current
// feature data for data assertions. A host error raised inside any of these becomes a script
// error; it never unwinds through the script engine.
class KAVAUTOMATION_EXPORT KAVAtmJsUiHelper : public QObject {
    Q_OBJECT
public:
    // Milliseconds the look-ups wait for windows opened just before to appear (500; the menu
    // trigger by text waits twice as long). Production keeps the default; tests shorten it.
    static constexpr int DefaultSettleTime = 500;
    static int GetSettleTime();
    static void SetSettleTime(int milliseconds);

    KAVAtmJsUiHelper();
    ~KAVAtmJsUiHelper() override;

    // Launches the host command with its action "<commandName>.<actionName>"; the command
    // stays owned by the host.
    Q_INVOKABLE KAVCmdCommand *LaunchAction(const QString &commandName, const QString &actionName);
    Q_INVOKABLE QJSValue FindControl(const QJSValue &parent, const QString &name);
    // With several matches: the first whose parent widget has that name.
    Q_INVOKABLE QJSValue FindControl(const QJSValue &parent, const QString &name,
                                     const QString &parentName);
    // With several matches: the one at index, when it is within them.
    Q_INVOKABLE QJSValue FindControl(const QJSValue &parent, const QString &name, int index);
    // Selects the first item, at any level, whose text in the column matches the regular
    // expression.
    Q_INVOKABLE void SetTreeWidgetSelectedItem(const QJSValue &parent, const QString &text,
                                               int column = 0);
    // Asks for the widget's context menu as a right click at the position would (its centre
    // for (0, 0)): the position is the widget's own, or its viewport's for a scroll area.
    Q_INVOKABLE void RightClickOnWidget(QWidget *widget, const QPoint &relativePos = QPoint());
    // By position among the entries that are not separators (hidden ones count).
    Q_INVOKABLE void TriggerMenuAction(const QJSValue &menu, int visiableIndex);
    Q_INVOKABLE void TriggerMenuAction(const QJSValue &menu, const QString &actionText);
    // The JSON text of the current feature data; empty without a current environment.
    Q_INVOKABLE QJSValue SerializeContainer(const QString &configJsonString);
};

#endif // KAVATMJSUIHELPER_H
