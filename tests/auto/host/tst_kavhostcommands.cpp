#include "kavcmdcommand.h"
#include "kavcmdcommandaction.h"
#include "kavcmdcontroller.h"
#include "kavcmddialogcommand.h"
#include "kavcmddialoghandler.h"

#include <QtTest/QtTest>
#include <QtWidgets/QWidget>

class tst_KAVHostCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void triggerLaunchesCommand();
    void oneCommandAtATime();
    void dialogCommand();
    void unknownIds();

private:
    KAVCmdController *controller() { return KAVCmdController::GetController(); }
};

void tst_KAVHostCommands::init()
{
    for (KAVCmdAction *action : controller()->GetActions())
        controller()->RemoveAction(action);
    controller()->RegisterCommand("Nest",
                                  [](const QByteArray &name) { return new KAVCmdCommand(name); });
    controller()->RegisterCommand(
        "Sheet", [](const QByteArray &name) { return new KAVCmdDialogCommand(name); });
}

void tst_KAVHostCommands::triggerLaunchesCommand()
{
    KAVCmdCommandAction action("Nest.Run", "Nest", "Run nesting", {{"fast", true}});
    controller()->AddAction(&action);
    QSignalSpy triggered(controller(), &KAVCmdController::ActionTriggered);
    QSignalSpy started(controller(), &KAVCmdController::CommandStarted);

    QCOMPARE(controller()->GetAction("Nest.Run"), &action);
    action.trigger();
    QCOMPARE(triggered.size(), 1);
    QCOMPARE(started.size(), 1);
    KAVCmdCommand *command = controller()->GetCurrentCommand();
    QVERIFY(command);
    QCOMPARE(command->GetName(), QByteArray("Nest"));
    QCOMPARE(command->GetAction(), &action);
    QCOMPARE(command->GetData().value("fast").toBool(), true);

    QPointer<KAVCmdCommand> guard(command);
    command->Finish();
    QVERIFY(!controller()->GetCurrentCommand());
    QTRY_VERIFY(!guard); // deleted once finished
}

void tst_KAVHostCommands::oneCommandAtATime()
{
    KAVCmdCommand *first = controller()->LaunchCmd("Nest", {}, nullptr, nullptr);
    QSignalSpy finished(first, &KAVCmdCommand::Finished);
    KAVCmdCommand *second = controller()->LaunchCmd("Nest", {}, nullptr, nullptr);
    QCOMPARE(finished.size(), 1);
    QVERIFY(first->IsFinished());
    QCOMPARE(controller()->GetCurrentCommand(), second);
    second->Finish();
    second->Finish(); // a second finish is ignored
    QVERIFY(!controller()->GetCurrentCommand());
}

void tst_KAVHostCommands::dialogCommand()
{
    QWidget window;
    KAVCmdDialogHandler handler(&window);
    controller()->SetDialogHandler(&handler);
    KAVCmdCommandAction action("Sheet.Edit", "Sheet");
    controller()->AddAction(&action);
    action.trigger();

    auto *command = qobject_cast<KAVCmdDialogCommand *>(controller()->GetCurrentCommand());
    QVERIFY(command);
    QWidget *dialog = handler.GetDialog(command);
    QVERIFY(dialog);
    QCOMPARE(dialog->parentWidget(), &window);
    QPointer<QWidget> guard(dialog);
    command->Finish();
    QVERIFY(!handler.GetDialog(command));
    QTRY_VERIFY(!guard);
    controller()->SetDialogHandler(nullptr);
}

void tst_KAVHostCommands::unknownIds()
{
    QVERIFY(!controller()->GetAction("No.Such"));
    QVERIFY(!controller()->LaunchCmd("NoSuch", {}, nullptr, nullptr));

    // An action replaced under the same id no longer launches anything.
    QSignalSpy triggered(controller(), &KAVCmdController::ActionTriggered);
    KAVCmdCommandAction first("Same.Id", "Nest");
    KAVCmdCommandAction second("Same.Id", "Nest");
    controller()->AddAction(&first);
    controller()->AddAction(&second);
    QCOMPARE(controller()->GetAction("Same.Id"), &second);
    first.trigger();
    QCOMPARE(triggered.size(), 0);
    second.trigger();
    QCOMPARE(triggered.size(), 1);
    controller()->GetCurrentCommand()->Finish();
}

QTEST_MAIN(tst_KAVHostCommands)
#include "tst_kavhostcommands.moc"
