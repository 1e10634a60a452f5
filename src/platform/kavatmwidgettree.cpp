#include "kavatmwidgettree_p.h"
#include "kavatmscreenshot_p.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QJsonArray>
#include <QtCore/QPointer>
#include <QtCore/QtMath>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QAbstractSlider>
#include <QtWidgets/QApplication>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDoubleSpinBox>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QTextEdit>

#include <algorithm>

namespace KAVAtmWidgetTree {

namespace {

QPointer<QWidget> s_marked;

// A widget's texts are what a user reads: a long document is cut, not carried whole.
constexpr qsizetype MaximumText = 512;
// Bounds a host with a pathological number of widgets (or items selected).
constexpr int MaximumNodes = 20000;
constexpr int MaximumSelected = 20;

QString cut(const QString &text)
{
    return text.size() <= MaximumText ? text : text.left(MaximumText) + QStringLiteral("…");
}

QWidget *below(const QList<QWidget *> &roots, const QString &name)
{
    QWidget *hidden = nullptr;
    for (QWidget *root : roots) {
        const QList<QWidget *> found = root->findChildren<QWidget *>(name);
        for (QWidget *widget : found) {
            if (widget->isVisible())
                return widget;
            if (!hidden)
                hidden = widget;
        }
    }
    return hidden;
}

void shows(const QWidget *widget, QJsonObject &node)
{
    if (widget->isWindow() && !widget->windowTitle().isEmpty())
        node.insert(QStringLiteral("title"), cut(widget->windowTitle()));
    if (const auto *button = qobject_cast<const QAbstractButton *>(widget)) {
        node.insert(QStringLiteral("text"), cut(button->text()));
        if (button->isCheckable())
            node.insert(QStringLiteral("checked"), button->isChecked());
    } else if (const auto *label = qobject_cast<const QLabel *>(widget)) {
        node.insert(QStringLiteral("text"), cut(label->text()));
    } else if (const auto *edit = qobject_cast<const QLineEdit *>(widget)) {
        node.insert(QStringLiteral("text"), cut(edit->text()));
    } else if (const auto *combo = qobject_cast<const QComboBox *>(widget)) {
        node.insert(QStringLiteral("currentText"), cut(combo->currentText()));
    } else if (const auto *spin = qobject_cast<const QSpinBox *>(widget)) {
        node.insert(QStringLiteral("value"), spin->value());
    } else if (const auto *spin = qobject_cast<const QDoubleSpinBox *>(widget)) {
        node.insert(QStringLiteral("value"), spin->value());
    } else if (const auto *slider = qobject_cast<const QAbstractSlider *>(widget)) {
        node.insert(QStringLiteral("value"), slider->value());
    } else if (const auto *progress = qobject_cast<const QProgressBar *>(widget)) {
        node.insert(QStringLiteral("value"), progress->value());
    } else if (const auto *group = qobject_cast<const QGroupBox *>(widget)) {
        node.insert(QStringLiteral("title"), cut(group->title()));
        if (group->isCheckable())
            node.insert(QStringLiteral("checked"), group->isChecked());
    } else if (const auto *text = qobject_cast<const QTextEdit *>(widget)) {
        node.insert(QStringLiteral("text"), cut(text->toPlainText()));
    } else if (const auto *text = qobject_cast<const QPlainTextEdit *>(widget)) {
        node.insert(QStringLiteral("text"), cut(text->toPlainText()));
    } else if (const auto *view = qobject_cast<const QAbstractItemView *>(widget)) {
        QJsonArray selected;
        if (const QItemSelectionModel *selection = view->selectionModel()) {
            for (const QModelIndex &index : selection->selectedIndexes()) {
                if (index.column() != 0)
                    continue;
                if (selected.size() == MaximumSelected)
                    break;
                selected.append(cut(index.data().toString()));
            }
        }
        if (!selected.isEmpty())
            node.insert(QStringLiteral("selected"), selected);
    }
}

QJsonObject describe(const QWidget *widget, const QWidget *window, const QString &parentPath,
                     const QWidget *marked, const QWidget *focus, int &budget)
{
    --budget;
    const QString name = widget->objectName();
    const QString path = name.isEmpty() ? parentPath
        : parentPath.isEmpty()          ? name
                                        : parentPath + QLatin1Char('/') + name;
    QJsonObject node;
    node.insert(QStringLiteral("class"), QString::fromLatin1(widget->metaObject()->className()));
    if (!name.isEmpty())
        node.insert(QStringLiteral("name"), name);
    node.insert(QStringLiteral("path"), path);
    // In the screenshot's device pixels.
    const qreal ratio = window->devicePixelRatioF();
    const QPoint at = widget == window ? QPoint() : widget->mapTo(window, QPoint());
    node.insert(QStringLiteral("geometry"),
                QJsonArray {qRound(at.x() * ratio), qRound(at.y() * ratio),
                            qRound(widget->width() * ratio), qRound(widget->height() * ratio)});
    node.insert(QStringLiteral("visible"), widget->isVisible());
    node.insert(QStringLiteral("enabled"), widget->isEnabled());
    if (widget == focus)
        node.insert(QStringLiteral("focus"), true);
    if (widget == marked)
        node.insert(QStringLiteral("marked"), true);
    shows(widget, node);
    // What a user cannot see is listed, its insides are not.
    if (!widget->isVisible())
        return node;
    QJsonArray children;
    for (const QObject *child : widget->children()) {
        const auto *childWidget = qobject_cast<const QWidget *>(child);
        if (!childWidget || childWidget->isWindow() || budget <= 0)
            continue;
        children.append(describe(childWidget, window, path, marked, focus, budget));
    }
    if (!children.isEmpty())
        node.insert(QStringLiteral("children"), children);
    return node;
}

} // namespace

QWidget *Find(const QString &path)
{
    const QStringList names = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (names.isEmpty() || !qobject_cast<QApplication *>(QCoreApplication::instance()))
        return nullptr;
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    QWidget *found = nullptr;
    for (QWidget *window : windows) {
        if (window->objectName() == names.first() && (!found || window->isVisible())) {
            found = window;
            if (window->isVisible())
                break;
        }
    }
    if (!found)
        found = below(windows, names.first());
    for (qsizetype i = 1; found && i < names.size(); ++i)
        found = below({found}, names.at(i));
    return found;
}

QString PathOf(const QWidget *widget)
{
    QStringList names;
    for (const QWidget *at = widget; at; at = at->isWindow() ? nullptr : at->parentWidget()) {
        if (!at->objectName().isEmpty())
            names.prepend(at->objectName());
    }
    return names.join(QLatin1Char('/'));
}

void Mark(QWidget *widget)
{
    s_marked = widget;
}

QJsonObject Snapshot()
{
    QElapsedTimer cost;
    cost.start();
    QWidget *marked = std::exchange(s_marked, nullptr);
    if (!marked)
        marked = QApplication::activeModalWidget();
    if (!marked)
        marked = QApplication::focusWidget();
    const QList<QWidget *> windows = KAVAtmScreenshot::Windows();
    int width = 0;
    for (const QWidget *window : windows)
        width += (width == 0 ? 0 : KAVAtmScreenshot::Gap)
            + qCeil(window->width() * window->devicePixelRatioF());
    const double scale
        = width > 0 ? std::min(1.0, double(KAVAtmScreenshot::MaximumWidth) / width) : 1.0;
    QJsonArray placed;
    int x = 0;
    int budget = MaximumNodes;
    const QWidget *focus = QApplication::focusWidget();
    for (const QWidget *window : windows) {
        placed.append(QJsonObject {
            {QStringLiteral("x"), x},
            {QStringLiteral("node"), describe(window, window, QString(), marked, focus, budget)}});
        x += qCeil(window->width() * window->devicePixelRatioF()) + KAVAtmScreenshot::Gap;
    }
    QJsonObject snapshot {{QStringLiteral("scale"), scale}, {QStringLiteral("windows"), placed}};
    if (marked)
        snapshot.insert(QStringLiteral("marked"), PathOf(marked));
    // What taking it cost, so that a trace shows what it adds to a step.
    snapshot.insert(QStringLiteral("costMs"), double(cost.nsecsElapsed()) / 1e6);
    return snapshot;
}

} // namespace KAVAtmWidgetTree
