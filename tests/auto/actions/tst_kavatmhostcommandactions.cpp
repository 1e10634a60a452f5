// The executors that make the host do what a user does: commands, selection, dialog data,
// widget replay, and recording on and off.

#include "kavatmdialoghandler.h"
#include "kavatmeventrecorder.h"
#include "kavatmwidgetreplayaction.h"
#include "kavcmdcommandaction.h"
#include "kavcmdcontroller.h"
#include "kavcmddialogcommand.h"
#include "kavcmddialoghandler.h"
#include "kavfeatcontainer.h"
#include "kavfeatenvironment.h"
#include "kavfeatenvironmentmanager.h"
#include "kavnestsheet.h"
#include "kavsysexception.h"
#include "testplatform.h"

#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QDialog>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

namespace {

// A dialog command whose dialog has one button, "ok", that finishes the command.
class ButtonCommand : public KAVCmdDialogCommand {
public:
    using KAVCmdDialogCommand::KAVCmdDialogCommand;

protected:
    QWidget *CreateDialog(QWidget *parent) override
    {
        auto *dialog = new QDialog(parent);
        dialog->setObjectName(QStringLiteral("dialog"));
        auto *button = new QPushButton(QStringLiteral("OK"), dialog);
        button->setObjectName(QStringLiteral("ok"));
        (new QVBoxLayout(dialog))->addWidget(button);
        QObject::connect(button, &QPushButton::clicked, this, [this, dialog] {
            ++clicks;
            if (modal) {
                QDialog box(dialog);
                box.exec();
            }
        });
        dialog->show();
        return dialog;
    }

public:
    int clicks = 0;
    // A click opens a modal dialog, whose loop runs until someone closes it.
    bool modal = false;
};

class AutomationHandler : public KAVCmdDialogHandler, public KAVAtmDialogHandler {
public:
    void ApplyAutomationData(const QVariantMap &data, bool clearFirst) override
    {
        applied = data;
        cleared = clearFirst;
    }
    QWidget *GetDialog(const KAVCmdDialogCommand *command) const override
    {
        return command->GetDialog();
    }
    // With nothing to refuse, the default answers, as for a handler written before it existed.
    QMap<QString, QString> GetUnappliedAutomationData() const override
    {
        return unapplied.isEmpty() ? KAVAtmDialogHandler::GetUnappliedAutomationData() : unapplied;
    }
    QVariantMap applied;
    bool cleared = false;
    QMap<QString, QString> unapplied;
};

// The replay target is given, with no reason when there is none.
class GivenTargetReplay : public KAVAtmWidgetReplayAction {
    Q_OBJECT
public:
    Q_INVOKABLE GivenTargetReplay(KAVAtmPlatform &platform, const QUuid &id, const QJsonValue &data)
        : KAVAtmWidgetReplayAction(platform, id, data)
    {
    }
    static inline QPointer<QWidget> target;

protected:
    QWidget *GetReplayTarget(QString &) const override { return target; }
};

QJsonObject click(const QString &type, int offset)
{
    const int qtType
        = type == "press" ? int(QEvent::MouseButtonPress) : int(QEvent::MouseButtonRelease);
    return {{"toffset", offset},
            {"clsn", "QPushButton"},
            {"objn", "Buttons/ok"},
            {"event",
             QJsonObject {{"event", 3},
                          {"type", qtType},
                          {"pos", QJsonObject {{"x", 5}, {"y", 5}}},
                          {"gpos", QJsonObject {{"x", 5}, {"y", 5}}},
                          {"btn", 1},
                          {"btns", type == "press" ? 1 : 0},
                          {"modi", 0}}}};
}

} // namespace

class tst_KAVAtmHostCommandActions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void launchCommand_data();
    void launchCommand();
    void launchCommandThatBlocks_data();
    void launchCommandThatBlocks();
    void setSelection_data();
    void setSelection();
    void setAutomationData_data();
    void setAutomationData();
    void widgetReplayRefused_data();
    void widgetReplayRefused();
    void widgetReplay_data();
    void widgetReplay();
    void recording_data();
    void recording();

private:
    ButtonCommand *StartButtonCommand();

    TestPlatform *m_platform = nullptr;
    AutomationHandler m_handler;
    QPointer<ButtonCommand> m_command;
};

void tst_KAVAtmHostCommandActions::initTestCase()
{
    KAVCmdController *controller = KAVCmdController::GetController();
    controller->RegisterCommand("Buttons", [this](const QByteArray &name) {
        m_command = new ButtonCommand(name);
        return m_command.data();
    });
    controller->RegisterCommand("Plain",
                                [](const QByteArray &name) { return new KAVCmdCommand(name); });
    controller->RegisterCommand("Modal", [](const QByteArray &name) {
        auto *command = new KAVCmdCommand(name);
        QObject::connect(command, &KAVCmdCommand::Started, command, [] {
            QDialog dialog;
            QTimer::singleShot(1500, &dialog, &QDialog::reject);
            dialog.exec();
        });
        return command;
    });
    // Blocks its trigger in a loop of its own, with no dialog to answer.
    controller->RegisterCommand("Busy", [](const QByteArray &name) {
        auto *command = new KAVCmdCommand(name);
        QObject::connect(command, &KAVCmdCommand::Started, command, [] {
            QEventLoop loop;
            QTimer::singleShot(1500, &loop, &QEventLoop::quit);
            loop.exec();
        });
        return command;
    });
    // A command the host refuses to make throws.
    controller->RegisterCommand("Throwing", [](const QByteArray &) -> KAVCmdCommand * {
        throw KAVSysException(QStringLiteral("No licence for this command."));
    });
    for (const char *id :
         {"Run.Buttons", "Run.Disabled", "Run.Modal", "Run.Busy", "Run.Throwing"}) {
        const QByteArray command
            = QByteArray(id) == "Run.Disabled" ? "Buttons" : QByteArray(id + 4);
        auto *action = new KAVCmdCommandAction(id, command, QString(), {}, controller);
        action->setEnabled(id != QByteArray("Run.Disabled"));
        controller->AddAction(action);
    }
}

void tst_KAVAtmHostCommandActions::init()
{
    m_platform = new TestPlatform;
    m_platform->RegisterActionWithType("givenreplay", GivenTargetReplay::staticMetaObject);
    KAVCmdController::GetController()->SetDialogHandler(&m_handler);
}

void tst_KAVAtmHostCommandActions::cleanup()
{
    if (KAVCmdCommand *command = KAVCmdController::GetController()->GetCurrentCommand())
        command->Finish();
    KAVCmdController::GetController()->SetDialogHandler(nullptr);
    delete m_platform;
}

ButtonCommand *tst_KAVAtmHostCommandActions::StartButtonCommand()
{
    KAVCmdController::GetController()->LaunchCmd("Buttons", {}, nullptr, nullptr);
    return m_command;
}

void tst_KAVAtmHostCommandActions::launchCommand_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("details");
    // The time-out bounds the trigger, not the settle that follows it.
    QTest::newRow("launched, time-out shorter than the settle")
        << "Run.Buttons/1" << int(KAVAtmEnums::Pass) << "";
    QTest::newRow("unknown") << "Run.Nothing" << int(KAVAtmEnums::Fail)
                             << "Cannot find the action with Id: Run.Nothing";
    QTest::newRow("disabled") << "Run.Disabled" << int(KAVAtmEnums::Fail)
                              << "The action with Id: Run.Disabled is disabled.";
    QTest::newRow("throwing") << "Run.Throwing" << int(KAVAtmEnums::Fail)
                              << "The action with Id: Run.Throwing failed: No licence for this "
                                 "command.";
}

void tst_KAVAtmHostCommandActions::launchCommand()
{
    QFETCH(QString, id);
    QFETCH(int, result);
    QFETCH(QString, details);
    QElapsedTimer clock;
    clock.start();
    QJsonObject action {{"action", "LaunchCommand"}, {"actionId", id.section('/', 0, 0)}};
    if (id.contains('/'))
        action.insert("timeout", id.section('/', 1).toInt());
    const QJsonObject update = m_platform->Run(action);
    QCOMPARE(update.value("result").toInt(), result);
    // A launched command is given its three seconds to settle, never less.
    if (result == KAVAtmEnums::Pass)
        QVERIFY2(clock.elapsed() >= 3000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(update.value("details").toString(), details);
    // The only update is the final one.
    QCOMPARE(m_platform->updates.size(), 1);
    QCOMPARE(!m_command.isNull(), result == KAVAtmEnums::Pass);
}

void tst_KAVAtmHostCommandActions::launchCommandThatBlocks_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("details");
    QTest::addColumn<bool>("insideTheDialog");
    // Its dialog is up: the steps that answer it come next.
    QTest::newRow("modal dialog") << "Run.Modal"
                                  << "" << true;
    // The 1 s time-out fires inside the command's 1.5 s loop.
    QTest::newRow("loop of its own") << "Run.Busy"
                                     << "Timeout." << false;
}

void tst_KAVAtmHostCommandActions::launchCommandThatBlocks()
{
    QFETCH(QString, id);
    QFETCH(QString, details);
    QFETCH(bool, insideTheDialog);
    // Inside the dialog: the verdict is in, and the dialog takes automation data.
    bool dialogOpen = false;
    KAVCmdController::GetController()->SetDialogHandler(&m_handler);
    m_handler.applied.clear();
    QTimer::singleShot(700, this, [this, &dialogOpen] {
        dialogOpen = QApplication::activeModalWidget() && !m_platform->Completed().isEmpty()
            && m_platform->Run({{"action", "SetAutomationData"}, {"map", QJsonObject {{"n", 4}}}})
                    .value("result")
                == KAVAtmEnums::Pass;
    });
    m_platform->DispatchAction(
        QUuid::createUuid(),
        QJsonObject {{"action", "LaunchCommand"}, {"actionId", id}, {"timeout", 1}});
    const QList<QJsonObject> completed = m_platform->Completed();
    QCOMPARE(completed.size(), insideTheDialog ? 2 : 1);
    QCOMPARE(completed.first().value("details").toString(), details);
    QCOMPARE(completed.first().value("result").toInt(),
             int(details.isEmpty() ? KAVAtmEnums::Pass : KAVAtmEnums::Fail));
    QCOMPARE(dialogOpen, insideTheDialog);
    QCOMPARE(m_handler.applied.value("n").toInt(), insideTheDialog ? 4 : 0);
}

void tst_KAVAtmHostCommandActions::setSelection_data()
{
    QTest::addColumn<bool>("environment");
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("selected");
    QTest::newRow("no environment")
        << false << QStringList {"Sheet 1"} << int(KAVAtmEnums::Fail) << QStringList();
    // What resolves is selected; the step fails, naming what did not.
    QTest::newRow("one of two resolves") << true << QStringList {"Sheet 1", "Sheet 9"}
                                         << int(KAVAtmEnums::Fail) << QStringList {"Sheet 1"};
    QTest::newRow("both") << true << QStringList {"Sheet 2", "Sheet 1"} << int(KAVAtmEnums::Pass)
                          << QStringList {"Sheet 1", "Sheet 2"};
    QTest::newRow("none resolves: cleared")
        << true << QStringList {"Sheet 9", ""} << int(KAVAtmEnums::Fail) << QStringList();
    QTest::newRow("nothing asked: cleared")
        << true << QStringList() << int(KAVAtmEnums::Pass) << QStringList();
}

void tst_KAVAtmHostCommandActions::setSelection()
{
    QFETCH(bool, environment);
    QFETCH(QStringList, paths);
    QFETCH(int, result);
    QFETCH(QStringList, selected);
    KAVFeatEnvironment document("doc");
    document.GetContainer()->AddFeatureRoot(new KAVNestSheet("Sheet 1"));
    document.GetContainer()->AddFeatureRoot(new KAVNestSheet("Sheet 2"));
    document.SetSelection({document.GetContainer()->GetFeatureRoots().constLast()});
    KAVFeatEnvironmentManager::GetManager()->SetCurrentEnvironment(environment ? &document
                                                                               : nullptr);
    // No dialog handler: the browser made to resolve the paths has no parent.
    KAVCmdController::GetController()->SetDialogHandler(nullptr);

    const QJsonObject update = m_platform->Run(
        {{"action", "SetSelection"}, {"selections", QJsonArray::fromStringList(paths)}}, 2000);
    KAVFeatEnvironmentManager::GetManager()->SetCurrentEnvironment(nullptr);
    QCOMPARE(update.value("result").toInt(), result);
    if (!environment) {
        QCOMPARE(update.value("details").toString(),
                 QStringLiteral("There is no current environment."));
        return;
    }
    if (result == KAVAtmEnums::Fail)
        QVERIFY2(update.value("details").toString().startsWith(
                     "These paths name no feature object: \"Sheet 9\""),
                 qPrintable(update.value("details").toString()));
    QStringList names;
    for (const KAVFeatObject *object : document.GetSelection())
        names.append(object->GetIdentifier());
    names.sort();
    QCOMPARE(names, selected);
}

void tst_KAVAtmHostCommandActions::setAutomationData_data()
{
    QTest::addColumn<int>("handler"); // 0 none, 1 not for automation, 2 automation, 3 refusing
    QTest::addColumn<bool>("clear");
    QTest::addColumn<bool>("dialog"); // a command with a dialog runs
    QTest::addColumn<QString>("details"); // empty: passes
    const QString notForAutomation = QStringLiteral("The dialog handler is not for automation.");
    QTest::newRow("not for automation") << 1 << true << true << notForAutomation;
    QTest::newRow("no dialog open")
        << 2 << true << false
        << "No dialog took the automation data. There is no command currently running.";
    QTest::newRow("what the dialog did not take")
        << 3 << true << true
        << "The dialog did not take 2 value(s):\na: no control of that name\nb: \"lots\" is not "
           "a number";
    QTest::newRow("clear first") << 2 << true << true << "";
    QTest::newRow("keep") << 2 << false << true << "";
}

void tst_KAVAtmHostCommandActions::setAutomationData()
{
    QFETCH(int, handler);
    QFETCH(bool, clear);
    QFETCH(bool, dialog);
    QFETCH(QString, details);
    if (dialog)
        QVERIFY(StartButtonCommand());
    KAVCmdDialogHandler plain;
    m_handler.applied.clear();
    m_handler.cleared = !clear;
    m_handler.unapplied.clear();
    if (handler == 3)
        m_handler.unapplied = {{"a", "no control of that name"}, {"b", "\"lots\" is not a number"}};
    KAVCmdController::GetController()->SetDialogHandler(handler == 0       ? nullptr
                                                            : handler == 1 ? &plain
                                                                           : &m_handler);
    const auto refused = qScopeGuard([this] { m_handler.unapplied.clear(); });
    const QJsonObject update = m_platform->Run({{"action", "SetAutomationData"},
                                                {"map", QJsonObject {{"b", 2}, {"a", "x"}}},
                                                {"clear", clear}});
    QCOMPARE(update.value("details").toString(), details);
    QCOMPARE(update.value("result").toInt(),
             int(details.isEmpty() ? KAVAtmEnums::Pass : KAVAtmEnums::Fail));
    if (!details.isEmpty())
        return;
    QCOMPARE(m_handler.applied, (QVariantMap {{"a", "x"}, {"b", 2}}));
    QCOMPARE(m_handler.cleared, clear);
}

void tst_KAVAtmHostCommandActions::widgetReplayRefused_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("details");
    QTest::newRow("no command") << "none"
                                << "There is no command currently running.";
    QTest::newRow("no dialog") << "plain"
                               << "The current running command does not contain a dialog: Plain";
    QTest::newRow("no handler") << "nohandler"
                                << "Failed to get the dialog from command: Buttons";
    QTest::newRow("null target, no reason") << "given"
                                            << "There is no widget to replay the events on.";
}

void tst_KAVAtmHostCommandActions::widgetReplayRefused()
{
    QFETCH(QString, state);
    QFETCH(QString, details);
    KAVCmdController *controller = KAVCmdController::GetController();
    if (state == "plain")
        controller->LaunchCmd("Plain", {}, nullptr, nullptr);
    if (state == "nohandler") {
        StartButtonCommand();
        controller->SetDialogHandler(nullptr);
    }
    GivenTargetReplay::target = nullptr;
    const QJsonObject update
        = m_platform->Run({{"action", state == "given" ? "GivenReplay" : "WidgetReplay"},
                           {"events", QJsonArray {click("press", 0)}}},
                          2000);
    QCOMPARE(update.value("result").toInt(), int(KAVAtmEnums::Fail));
    QCOMPARE(update.value("details").toString(), details);
}

void tst_KAVAtmHostCommandActions::widgetReplay_data()
{
    QTest::addColumn<QJsonArray>("events");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<bool>("closeDialog");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("details");
    QTest::addColumn<int>("clicks");
    QTest::newRow("click") << QJsonArray {click("press", 0), click("release", 50)} << 0 << false
                           << int(KAVAtmEnums::Pass) << "" << 1;
    // The verdict comes from the replay's end, with the dialog's loop still open.
    QTest::newRow("click opens a modal dialog")
        << QJsonArray {click("press", 0), click("release", 50)} << 0 << false
        << int(KAVAtmEnums::Pass) << "modal" << 1;
    // Refused events: nothing is replayed, not even the valid ones.
    const auto refused = [](int index, int kind, int type, const QString &why) {
        return QStringLiteral("Event %1 (kind %2, type %3) cannot be replayed: %4")
            .arg(QString::number(index), QString::number(kind), QString::number(type), why);
    };
    QTest::newRow("mixed with valid ones")
        << QJsonArray {click("press", 0),
                       QJsonObject {{"event", QJsonObject {{"event", 4}, {"type", 2}}}},
                       click("release", 50)}
        << 0 << false << int(KAVAtmEnums::Fail)
        << refused(1, 4, 2, "Event type 2 is not a wheel event.") << 0;
    QTest::newRow("not an object") << QJsonArray {5} << 0 << false << int(KAVAtmEnums::Fail)
                                   << refused(0, 0, 0, "it is not a JSON object.") << 0;
    QJsonObject gone = click("press", 0);
    gone.insert("objn", "Buttons/gone");
    QTest::newRow("widget not there")
        << QJsonArray {gone, click("release", 50)} << 0 << false << int(KAVAtmEnums::Fail)
        << "Event 0 cannot be replayed: there is no QPushButton at Buttons/gone." << 0;
    // The release would come after the time-out: it must not be posted later.
    QTest::newRow("own time-out") << QJsonArray {click("press", 0), click("release", 1500)} << 1
                                  << false << int(KAVAtmEnums::Fail) << "Timeout." << 0;
    QTest::newRow("dialog destroyed")
        << QJsonArray {click("press", 0), click("release", 1500), click("press", 1600)} << 0 << true
        << int(KAVAtmEnums::Fail)
        << "The replay target was destroyed: 2 of 3 events were not replayed." << 0;
}

void tst_KAVAtmHostCommandActions::widgetReplay()
{
    QFETCH(QJsonArray, events);
    QFETCH(int, timeout);
    QFETCH(bool, closeDialog);
    QFETCH(int, result);
    QFETCH(QString, details);
    QFETCH(int, clicks);
    ButtonCommand *command = StartButtonCommand();
    QVERIFY(command && command->GetDialog());
    QVERIFY(QTest::qWaitForWindowExposed(command->GetDialog()));
    const bool modal = details == "modal";
    bool verdictInsideTheDialog = false;
    if (modal) {
        details.clear();
        command->modal = true;
        QTimer::singleShot(1000, this, [this, &verdictInsideTheDialog] {
            verdictInsideTheDialog = !m_platform->Completed().isEmpty();
            if (QWidget *box = QApplication::activeModalWidget())
                box->close();
        });
    }
    if (closeDialog)
        QTimer::singleShot(300, command, &KAVCmdCommand::Finish);
    QElapsedTimer clock;
    clock.start();
    const QJsonObject update = m_platform->Run(
        {{"action", "WidgetReplay"}, {"events", events}, {"timeout", timeout}}, 5000);
    QCOMPARE(update.value("result").toInt(), result);
    QCOMPARE(update.value("details").toString(), details);
    if (closeDialog)
        QVERIFY(clock.elapsed() < 1500);
    QCOMPARE(verdictInsideTheDialog, modal);
    QTest::qWait(timeout ? 800 : 100);
    if (!closeDialog) {
        QCOMPARE(command->clicks, clicks);
        QVERIFY(!command->GetDialog()->findChild<KAVAtmEventRecorder *>());
    }
}

void tst_KAVAtmHostCommandActions::recording_data()
{
    QTest::addColumn<QJsonValue>("command");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("status");
    QTest::newRow("START") << QJsonValue("START") << int(KAVAtmEnums::Pass)
                           << int(KAVAtmPlatform::Recording);
    QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << int(KAVAtmEnums::Pass)
                             << int(KAVAtmPlatform::Stopped);
    QTest::newRow("pause") << QJsonValue("pause") << int(KAVAtmEnums::Fail)
                           << int(KAVAtmPlatform::Paused);
}

void tst_KAVAtmHostCommandActions::recording()
{
    QFETCH(QJsonValue, command);
    QFETCH(int, result);
    QFETCH(int, status);
    // From Paused: "stop" and "start" both change it, an unknown word leaves it.
    m_platform->SetRecordingStatus(KAVAtmPlatform::Paused);
    QJsonObject action {{"action", "Recording"}};
    if (!command.isUndefined())
        action.insert("command", command);
    const QJsonObject update = m_platform->Run(action);
    QCOMPARE(update.value("result").toInt(), result);
    if (result == KAVAtmEnums::Fail)
        QCOMPARE(update.value("details").toString(), QStringLiteral("The command is not defined."));
    QCOMPARE(int(m_platform->GetRecordingStatus()), status);
}

QTEST_MAIN(tst_KAVAtmHostCommandActions)
#include "tst_kavatmhostcommandactions.moc"
