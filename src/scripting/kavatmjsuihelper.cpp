#include "kavatmjsuihelper.h"
#include "kavatmjsengine.h"
#include "kavatmlogging_p.h"
#include "kavatmserializer_p.h"

#include "kavcmdcommand.h"
#include "kavcmdcommandaction.h"
#include "kavcmdcontroller.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QPointer>
#include <QtCore/QThread>
#include <QtGui/QCursor>
#include <QtQml/QJSEngine>
#include <QtWidgets/QAbstractScrollArea>
#include <QtWidgets/QMenu>
#include <QtWidgets/QTreeWidget>
#include <QtWidgets/QWidget>

#include <exception>

namespace {

int s_settleTime = KAVAtmJsUiHelper::DefaultSettleTime;

// Runs a script-facing operation: a native exception becomes a script error instead of
// unwinding through the engine, which would leave it broken.
template<typename Operation> auto guarded(Operation operation) -> decltype(operation())
{
    using Result = decltype(operation());
    const auto raise = [](const QString &message) {
        KAVAtmJsEngine::GetInstance()->GetEngine()->throwError(message);
        if constexpr (!std::is_void_v<Result>)
            return Result();
    };
    try {
        return operation();
    } catch (const std::exception &exception) {
        return raise(QString::fromLocal8Bit(exception.what()));
    } catch (...) {
        return raise(QStringLiteral("Unknown exception happens!"));
    }
}

void settle(int milliseconds)
{
    QThread::msleep(ulong(qMax(0, milliseconds)));
}

QWidget *chooseControl(const QList<QWidget *> &found, const QString &parentName, int index);

QJSValue findControl(const QJSValue &parent, const QString &name, const QString &parentName,
                     int index)
{
    // Waited for, not slept for: the widget is taken as soon as it is there, visible and
    // enabled; the settle time is only the longest the wait may take.
    QElapsedTimer waited;
    waited.start();
    QPointer<QObject> root = parent.toQObject();
    QWidget *chosen = nullptr;
    for (;;) {
        QCoreApplication::processEvents();
        if (!root)
            return QJSValue(QJSValue::UndefinedValue);
        chosen = chooseControl(root->findChildren<QWidget *>(name), parentName, index);
        if ((chosen && chosen->isVisible() && chosen->isEnabled())
            || waited.elapsed() >= s_settleTime)
            break;
        settle(5);
    }
    if (!chosen) {
        qCWarning(lcScripting).noquote()
            << QStringLiteral("FindControl: no widget named \"%1\" under \"%2\" within %3 ms.")
                   .arg(name, root->objectName(), QString::number(s_settleTime));
        return QJSValue(QJSValue::UndefinedValue);
    }
    return KAVAtmJsEngine::GetInstance()->CreateJsObject(chosen);
}

QWidget *chooseControl(const QList<QWidget *> &found, const QString &parentName, int index)
{
    if (found.isEmpty())
        return nullptr;
    QWidget *chosen = found.first();
    if (found.size() >= 2 && !parentName.isEmpty()) {
        for (QWidget *widget : found) {
            if (widget->parentWidget() && widget->parentWidget()->objectName() == parentName) {
                chosen = widget;
                break;
            }
        }
    }
    if (found.size() >= 2 && index > 0 && index < found.size())
        chosen = found.at(index);
    return chosen;
}

QList<QAction *> entries(const QMenu *menu)
{
    QList<QAction *> actions;
    for (QAction *action : menu->actions()) {
        if (!action->isSeparator())
            actions.append(action);
    }
    return actions;
}

} // namespace

int KAVAtmJsUiHelper::GetSettleTime()
{
    return s_settleTime;
}

void KAVAtmJsUiHelper::SetSettleTime(int milliseconds)
{
    s_settleTime = milliseconds;
}

KAVAtmJsUiHelper::KAVAtmJsUiHelper() = default;

KAVAtmJsUiHelper::~KAVAtmJsUiHelper() = default;

KAVCmdCommand *KAVAtmJsUiHelper::LaunchAction(const QString &commandName, const QString &actionName)
{
    return guarded([&]() -> KAVCmdCommand * {
        KAVCmdController *controller = KAVCmdController::GetController();
        auto *action = qobject_cast<KAVCmdCommandAction *>(
            controller->GetAction(QStringLiteral("%1.%2").arg(commandName, actionName).toLatin1()));
        KAVCmdCommand *command
            = controller->LaunchCmd(commandName.toLatin1(), QVariantHash(), action, nullptr);
        // The host's: a command has no parent until the controller keeps it, and the script
        // collector must never delete it.
        if (command)
            QJSEngine::setObjectOwnership(command, QJSEngine::CppOwnership);
        return command;
    });
}

QJSValue KAVAtmJsUiHelper::FindControl(const QJSValue &parent, const QString &name)
{
    return guarded([&] { return findControl(parent, name, QString(), 0); });
}

QJSValue KAVAtmJsUiHelper::FindControl(const QJSValue &parent, const QString &name,
                                       const QString &parentName)
{
    return guarded([&] { return findControl(parent, name, parentName, 0); });
}

QJSValue KAVAtmJsUiHelper::FindControl(const QJSValue &parent, const QString &name, int index)
{
    return guarded([&] { return findControl(parent, name, QString(), index); });
}

void KAVAtmJsUiHelper::SetTreeWidgetSelectedItem(const QJSValue &parent, const QString &text,
                                                 int column)
{
    guarded([&] {
        auto *tree = qobject_cast<QTreeWidget *>(parent.toQObject());
        if (!tree)
            return;
        const QList<QTreeWidgetItem *> items
            = tree->findItems(text, Qt::MatchRegularExpression | Qt::MatchRecursive, column);
        if (!items.isEmpty()) {
            tree->clearSelection();
            items.first()->setSelected(true);
            tree->setCurrentItem(items.first());
        }
        // What the selection sets off is queued: it runs before the script goes on.
        QCoreApplication::processEvents();
    });
}

void KAVAtmJsUiHelper::RightClickOnWidget(QWidget *widget, const QPoint &relativePos)
{
    guarded([&] {
        if (!widget)
            return;
        const QPoint local = relativePos.isNull() ? widget->rect().center() : relativePos;
        QCursor::setPos(widget->mapToGlobal(local));
        widget->setFocus(Qt::OtherFocusReason);
        // Where Qt's own context-menu request would put it: in the viewport of a scroll area,
        // so that a handler's indexAt() finds what lies under the click.
        QPoint position = local;
        if (auto *area = qobject_cast<QAbstractScrollArea *>(widget))
            position = area->viewport()->mapFrom(widget, local);
        Q_EMIT widget->customContextMenuRequested(position);
    });
}

void KAVAtmJsUiHelper::TriggerMenuAction(const QJSValue &menu, int visiableIndex)
{
    guarded([&] {
        auto *qmenu = qobject_cast<QMenu *>(menu.toQObject());
        if (!qmenu)
            return;
        const QList<QAction *> actions = entries(qmenu);
        if (visiableIndex >= 0 && visiableIndex < actions.size())
            Q_EMIT actions.at(visiableIndex)->triggered(false);
    });
}

void KAVAtmJsUiHelper::TriggerMenuAction(const QJSValue &menu, const QString &actionText)
{
    guarded([&] {
        QObject *object = menu.toQObject();
        if (!object) {
            qCDebug(lcScripting, "The menu is not a QObject.");
            return;
        }
        auto *qmenu = qobject_cast<QMenu *>(object);
        if (!qmenu) {
            qCDebug(lcScripting, "The menu is not a QMenu object.");
            return;
        }
        QAction *chosen = nullptr;
        for (QAction *action : entries(qmenu)) {
            if (action->text() == actionText) {
                chosen = action;
                break;
            }
        }
        if (!chosen) {
            qCDebug(lcScripting, "No action with the name found.");
            return;
        }
        QCursor::setPos(qmenu->mapToGlobal(qmenu->actionGeometry(chosen).center()));
        QCoreApplication::processEvents();
        Q_EMIT chosen->triggered(false);
        qCDebug(lcScripting).noquote() << "Triggered action:" << actionText;
        qmenu->close();
    });
}

QJSValue KAVAtmJsUiHelper::SerializeContainer(const QString &configJsonString)
{
    return guarded([&] {
        return QJSValue(QString::fromUtf8(KAVAtmSerializer::SerializeContainer(configJsonString)));
    });
}
