// The script UI helper's widget operations, called from scripts as tests do.

#include "kavatmautomationcasemanager.h"
#include "kavatmjsengine.h"
#include "kavatmjsuihelper.h"
#include "kavcmdcommand.h"
#include "kavcmdcommandaction.h"
#include "kavcmdcontroller.h"
#include "kavsysexception.h"

#include <QtTest/QtTest>
#include <QtWidgets/QMenu>
#include <QtWidgets/QTreeWidget>
#include <QtWidgets/QVBoxLayout>

namespace {

// A host command whose start raises the host's exception.
class ThrowingCommand : public KAVCmdCommand {
public:
    using KAVCmdCommand::KAVCmdCommand;

protected:
    void OnStart() override { throw KAVSysException(QStringLiteral("the host refused")); }
};

} // namespace

class tst_KAVAtmJsUiHelper : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void findControl_data();
    void findControl();
    void triggerMenuAction_data();
    void triggerMenuAction();
    void rightClickPosition_data();
    void rightClickPosition();
    void selectTreeItem();
    void hostExceptionBecomesScriptError();
    void everyFunctionIsDocumented();

private:
    QJSValue evaluate(const QString &program)
    {
        return KAVAtmJsEngine::GetInstance()->Evaluate(program);
    }
};

void tst_KAVAtmJsUiHelper::initTestCase()
{
    KAVAtmJsUiHelper::SetSettleTime(0);
    KAVAtmAutomationCaseManager::GetManager(); // publishes "uiHelper"
}

void tst_KAVAtmJsUiHelper::everyFunctionIsDocumented()
{
    QFile file(QStringLiteral(KAV_DOCS "/scripting.md"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString reference = QString::fromUtf8(file.readAll());
    const QMetaObject &meta = KAVAtmJsUiHelper::staticMetaObject;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QByteArray name = meta.method(i).name();
        QVERIFY2(reference.contains("`" + QString::fromLatin1(name) + "("), name.constData());
    }
}

void tst_KAVAtmJsUiHelper::findControl_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<QString>("found"); // the found widget's window title, or "undefined"
    QTest::newRow("first of three") << "uiHelper.FindControl(root, 'target')"
                                    << "first";
    QTest::newRow("index 0") << "uiHelper.FindControl(root, 'target', 0)"
                             << "first";
    // Matches come depth first: both of boxA's, then boxB's.
    QTest::newRow("index 1") << "uiHelper.FindControl(root, 'target', 1)"
                             << "third";
    QTest::newRow("index 2") << "uiHelper.FindControl(root, 'target', 2)"
                             << "second";
    QTest::newRow("index 3, past the end") << "uiHelper.FindControl(root, 'target', 3)"
                                           << "first";
    QTest::newRow("by parent name") << "uiHelper.FindControl(root, 'target', 'boxB')"
                                    << "second";
    QTest::newRow("parent name of none") << "uiHelper.FindControl(root, 'target', 'nobody')"
                                         << "first";
    QTest::newRow("no such name") << "uiHelper.FindControl(root, 'nothing')"
                                  << "undefined";
    QTest::newRow("not an object") << "uiHelper.FindControl(5, 'target')"
                                   << "undefined";
}

void tst_KAVAtmJsUiHelper::findControl()
{
    QFETCH(QString, call);
    QFETCH(QString, found);
    QWidget root;
    auto *boxA = new QWidget(&root);
    boxA->setObjectName("boxA");
    auto *boxB = new QWidget(&root);
    boxB->setObjectName("boxB");
    for (const auto &[parent, title] :
         {std::pair {boxA, "first"}, std::pair {boxB, "second"}, std::pair {boxA, "third"}}) {
        auto *target = new QWidget(parent);
        target->setObjectName("target");
        target->setWindowTitle(title);
    }
    KAVAtmJsEngine::GetInstance()->RegisterQObject("root", &root);
    const QJSValue value = evaluate(call);
    QCOMPARE(value.isUndefined() ? QString("undefined") : value.property("windowTitle").toString(),
             found);
}

void tst_KAVAtmJsUiHelper::triggerMenuAction_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<QString>("triggered");
    QTest::newRow("by position, the separator not counted") << "uiHelper.TriggerMenuAction(menu, 1)"
                                                            << "B";
    QTest::newRow("by position, a hidden entry counted") << "uiHelper.TriggerMenuAction(menu, 2)"
                                                         << "Hidden";
    QTest::newRow("past the end") << "uiHelper.TriggerMenuAction(menu, 4)"
                                  << "";
    QTest::newRow("by text") << "uiHelper.TriggerMenuAction(menu, '&C')"
                             << "&C";
    QTest::newRow("by a text without its ampersand") << "uiHelper.TriggerMenuAction(menu, 'C')"
                                                     << "";
}

void tst_KAVAtmJsUiHelper::triggerMenuAction()
{
    QFETCH(QString, call);
    QFETCH(QString, triggered);
    QMenu menu;
    menu.addAction("A");
    menu.addSeparator();
    menu.addAction("B");
    menu.addAction("Hidden")->setVisible(false);
    menu.addAction("&C");
    QStringList fired;
    for (QAction *action : menu.actions())
        connect(action, &QAction::triggered, this, [&fired, action] { fired << action->text(); });
    KAVAtmJsEngine::GetInstance()->RegisterQObject("menu", &menu);
    evaluate(call);
    QCOMPARE(fired.join(","), triggered);
}

void tst_KAVAtmJsUiHelper::rightClickPosition_data()
{
    QTest::addColumn<bool>("scrollArea");
    QTest::addColumn<QPoint>("requested"); // (0, 0): the centre
    QTest::newRow("plain widget, centre") << false << QPoint();
    QTest::newRow("plain widget, a point") << false << QPoint(10, 5);
    QTest::newRow("tree, centre") << true << QPoint();
}

void tst_KAVAtmJsUiHelper::rightClickPosition()
{
    QFETCH(bool, scrollArea);
    QFETCH(QPoint, requested);
    QWidget window;
    QWidget *widget = scrollArea ? new QTreeWidget(&window) : new QWidget(&window);
    widget->resize(100, 40);
    window.resize(200, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy menu(widget, &QWidget::customContextMenuRequested);
    KAVAtmJsUiHelper().RightClickOnWidget(widget, requested);
    QCOMPARE(menu.size(), 1);
    // Where Qt itself would report it: the widget's own point, the viewport's for a tree,
    // never a global position.
    const QPoint local = requested.isNull() ? QPoint(49, 19) : requested;
    const QPoint expected = scrollArea
        ? static_cast<QTreeWidget *>(widget)->viewport()->mapFrom(widget, local)
        : local;
    QCOMPARE(menu.first().first().toPoint(), expected);
}

void tst_KAVAtmJsUiHelper::selectTreeItem()
{
    QTreeWidget tree;
    auto *top = new QTreeWidgetItem(&tree, {"Nestings"});
    new QTreeWidgetItem(top, {"Sheet 1"});
    auto *second = new QTreeWidgetItem(top, {"Sheet 12"});
    tree.setSelectionMode(QAbstractItemView::ExtendedSelection);
    top->setSelected(true);
    KAVAtmJsEngine::GetInstance()->RegisterQObject("tree", &tree);
    evaluate("uiHelper.SetTreeWidgetSelectedItem(tree, '^Sheet 1\\\\d$')");
    QCOMPARE(tree.selectedItems(), QList<QTreeWidgetItem *>({second}));
    QCOMPARE(tree.currentItem(), second);
}

void tst_KAVAtmJsUiHelper::hostExceptionBecomesScriptError()
{
    KAVCmdController *controller = KAVCmdController::GetController();
    controller->RegisterCommand("Thrower",
                                [](const QByteArray &name) { return new ThrowingCommand(name); });
    QCOMPARE(
        evaluate("(function () { try { uiHelper.LaunchAction('Thrower', 'Run'); return 'none'; }"
                 " catch (error) { return String(error); } })()")
            .toString(),
        QStringLiteral("Error: the host refused"));
    // The engine goes on working.
    QCOMPARE(evaluate("1 + 1").toInt(), 2);
}

QTEST_MAIN(tst_KAVAtmJsUiHelper)
#include "tst_kavatmjsuihelper.moc"
