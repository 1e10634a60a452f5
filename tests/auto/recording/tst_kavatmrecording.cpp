// Recorded events in their JSON form, and the recorder's naming, filtering and replay.

#include "kavatmeventrecorder.h"
#include "kavatmrecordedevent.h"

#include <QtCore/QJsonDocument>
#include <QtCore/QTimer>
#include <QtGui/QContextMenuEvent>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QWheelEvent>
#include <QtTest/QtTest>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QApplication>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

#include <cmath>
#include <limits>

namespace {

QJsonObject recorded(const QJsonObject &event, const QString &path = QStringLiteral("root/child"),
                     int offset = 0, const QString &className = QStringLiteral("QWidget"))
{
    return {{"toffset", offset}, {"clsn", className}, {"objn", path}, {"event", event}};
}

QJsonObject mouseJson(int type, int x, int y, int button = 1, int buttons = 0)
{
    return {{"event", 3},
            {"type", type},
            {"pos", QJsonObject {{"x", x}, {"y", y}}},
            {"gpos", QJsonObject {{"x", x}, {"y", y}}},
            {"btn", button},
            {"btns", buttons},
            {"modi", 0}};
}

// field(value, "event.pos.x")
QJsonValue field(QJsonValue value, const char *path)
{
    for (const QString &key : QString::fromLatin1(path).split(QLatin1Char('.')))
        value = value.toObject().value(key);
    return value;
}

void sendMouse(QWidget *widget, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// root > [button "press", unnamed widget > unnamed widget]
struct Tree {
    Tree()
    {
        root.setObjectName(QStringLiteral("root"));
        auto *layout = new QVBoxLayout(&root);
        button = new QPushButton(QStringLiteral("Press"), &root);
        button->setObjectName(QStringLiteral("press"));
        layout->addWidget(button);
        outer = new QWidget(&root);
        inner = new QWidget(outer);
        layout->addWidget(outer);
        root.resize(200, 120);
    }
    QWidget root;
    QPushButton *button;
    QWidget *outer;
    QWidget *inner;
};

} // namespace

class tst_KAVAtmRecording : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void refused_data();
    void refused();
    void globalPositionRounding();
    void recordsInputBelowTheRootOnce();
    void mouseMovesCollapse();
    void replayClicksAButton();
    void replayChoosesFromAPopUp();
    void replayPacing_data();
    void replayPacing();
    void replayEdges();
};

void tst_KAVAtmRecording::roundTrip_data()
{
    QTest::addColumn<QJsonObject>("event");
    QTest::newRow("context menu") << QJsonObject {{"event", 1},
                                                  {"type", int(QEvent::ContextMenu)},
                                                  {"reason", 1},
                                                  {"pos", QJsonObject {{"x", 3}, {"y", 4}}},
                                                  {"gpos", QJsonObject {{"x", 103}, {"y", 104}}},
                                                  {"modi", int(Qt::ShiftModifier)}};
    for (const int type : {int(QEvent::KeyPress), int(QEvent::KeyRelease)}) {
        QTest::addRow("key %d", type) << QJsonObject {{"event", 2},
                                                      {"type", type},
                                                      {"key", int(Qt::Key_A)},
                                                      {"modi", int(Qt::ControlModifier)},
                                                      {"text", "a"},
                                                      {"autorep", true},
                                                      {"count", 2}};
    }
    for (const int type : {int(QEvent::MouseButtonPress), int(QEvent::MouseButtonRelease),
                           int(QEvent::MouseButtonDblClick), int(QEvent::MouseMove)})
        QTest::addRow("mouse %d", type) << mouseJson(type, 7, -9, 2, 2);
    for (const int orientation : {1, 2}) {
        QTest::addRow("wheel %d", orientation)
            << QJsonObject {{"event", 4},
                            {"type", int(QEvent::Wheel)},
                            {"btns", 0},
                            {"modi", 0},
                            {"pos", QJsonObject {{"x", 5}, {"y", 6}}},
                            {"gpos", QJsonObject {{"x", 15}, {"y", 16}}},
                            {"ori", orientation},
                            {"delta", -120}};
    }
}

void tst_KAVAtmRecording::roundTrip()
{
    QFETCH(QJsonObject, event);
    const QJsonObject json
        = recorded(event, QStringLiteral("a//b"), 1234, QStringLiteral("QLineEdit"));
    KAVAtmRecordedEvent loaded;
    QString error;
    QVERIFY2(loaded.FromJson(json, &error), qPrintable(error));
    QVERIFY(loaded.GetEvent());
    QCOMPARE(loaded.ToJson(), json);
}

void tst_KAVAtmRecording::refused_data()
{
    QTest::addColumn<QJsonObject>("event");
    QTest::addColumn<QString>("error");
    // A DeferredDelete posted to the target would delete it.
    QTest::newRow("key kind, deferred delete")
        << QJsonObject {{"event", 2}, {"type", int(QEvent::DeferredDelete)}, {"key", 65}}
        << "Event type 52 is not a key event.";
    QTest::newRow("mouse kind, key type")
        << mouseJson(int(QEvent::KeyPress), 0, 0) << "Event type 6 is not a mouse event.";
    QTest::newRow("unknown kind") << QJsonObject {{"event", 7}, {"type", 2}}
                                  << "Unknown event kind 7.";
    QTest::newRow("context reason")
        << QJsonObject {{"event", 1}, {"type", int(QEvent::ContextMenu)}, {"reason", 9}}
        << "Unknown context menu reason 9.";
    QTest::newRow("context menu kind, close type")
        << QJsonObject {{"event", 1}, {"type", int(QEvent::Close)}, {"reason", 0}}
        << "Event type 19 is not a context menu event.";
    QTest::newRow("wheel kind, mouse type")
        << QJsonObject {{"event", 4}, {"type", 2}} << "Event type 2 is not a wheel event.";
}

void tst_KAVAtmRecording::refused()
{
    QFETCH(QJsonObject, event);
    QFETCH(QString, error);
    KAVAtmRecordedEvent loaded;
    QVERIFY(loaded.FromJson(recorded(mouseJson(int(QEvent::MouseMove), 1, 1))));
    const QEvent *previous = loaded.GetEvent();
    QString reason;
    QVERIFY(!loaded.FromJson(recorded(event), &reason));
    QCOMPARE(reason, error);
    QCOMPARE(loaded.GetEvent(), previous);
}

void tst_KAVAtmRecording::globalPositionRounding()
{
    QMouseEvent mouse(QEvent::MouseMove, QPointF(1, 1), QPointF(10.5, -10.5), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    const KAVAtmRecordedEvent event(0, QStringLiteral("QWidget"), QStringLiteral("w"),
                                    mouse.clone());
    const QJsonObject gpos = field(event.ToJson(), "event.gpos").toObject();
    QCOMPARE(gpos, (QJsonObject {{"x", 11}, {"y", -11}}));
}

void tst_KAVAtmRecording::recordsInputBelowTheRootOnce()
{
    Tree tree;
    auto *recorder = new KAVAtmEventRecorder(&tree.root);
    QSignalSpy started(recorder, &KAVAtmEventRecorder::RecordingStarted);
    recorder->StartRecording();
    QCOMPARE(started.count(), 1);

    // The root's own input, non-input events and input elsewhere are left out.
    QKeyEvent rootKey(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(&tree.root, &rootKey);
    QEvent update(QEvent::UpdateRequest);
    QApplication::sendEvent(tree.inner, &update);
    QWidget elsewhere;
    sendMouse(&elsewhere, QEvent::MouseButtonPress, QPoint(1, 1), Qt::LeftButton, Qt::LeftButton);
    QCOMPARE(recorder->GetEventCount(), 0);

    // A plain widget ignores keys: the key travels to outer and root, recorded once.
    QKeyEvent key(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, QStringLiteral("b"));
    QApplication::sendEvent(tree.inner, &key);
    QCOMPARE(recorder->GetEventCount(), 1);
    QKeyEvent again(QEvent::KeyPress, Qt::Key_C, Qt::NoModifier, QStringLiteral("c"));
    again.setTimestamp(key.timestamp() + 1);
    QApplication::sendEvent(tree.inner, &again);
    QCOMPARE(recorder->GetEventCount(), 2);

    QSignalSpy stopped(recorder, &KAVAtmEventRecorder::RecordingStopped);
    recorder->StopRecording();
    QApplication::sendEvent(tree.inner, &key);
    QCOMPARE(recorder->GetEventCount(), 2);
    QCOMPARE(stopped.count(), 1);
    const QJsonArray events = stopped.at(0).at(0).toJsonArray();
    QCOMPARE(events.size(), 2);
    QCOMPARE(field(events.at(0), "objn").toString(), QStringLiteral("root/unique_0/unique_1"));
    QCOMPARE(field(events.at(1), "event.text").toString(), QStringLiteral("c"));
}

void tst_KAVAtmRecording::mouseMovesCollapse()
{
    Tree tree;
    auto *recorder = new KAVAtmEventRecorder(&tree.root);
    recorder->StartRecording();
    for (int x = 1; x <= 3; ++x)
        sendMouse(tree.inner, QEvent::MouseMove, QPoint(x, 1), Qt::NoButton, Qt::NoButton);
    // Held buttons or modifiers that differ keep the moves apart.
    sendMouse(tree.inner, QEvent::MouseMove, QPoint(4, 1), Qt::NoButton, Qt::RightButton);
    QMouseEvent shifted(QEvent::MouseMove, QPointF(5, 1), QPointF(5, 1), Qt::NoButton,
                        Qt::RightButton, Qt::ShiftModifier);
    QApplication::sendEvent(tree.inner, &shifted);
    sendMouse(tree.inner, QEvent::MouseButtonPress, QPoint(5, 1), Qt::LeftButton, Qt::LeftButton);
    sendMouse(tree.inner, QEvent::MouseMove, QPoint(6, 1), Qt::NoButton, Qt::LeftButton);
    sendMouse(tree.inner, QEvent::MouseMove, QPoint(7, 1), Qt::NoButton, Qt::LeftButton);
    recorder->StopRecording();
    const QJsonArray events = recorder->GetEvents();
    QCOMPARE(events.size(), 5);
    QCOMPARE(field(events.at(0), "event.pos.x").toInt(), 3);
    QCOMPARE(field(events.at(1), "event.pos.x").toInt(), 4);
    QCOMPARE(field(events.at(2), "event.pos.x").toInt(), 5);
    QCOMPARE(field(events.at(3), "event.type").toInt(), int(QEvent::MouseButtonPress));
    QCOMPARE(field(events.at(4), "event.pos.x").toInt(), 7);
}

void tst_KAVAtmRecording::replayClicksAButton()
{
    // The second button comes after the recorder named the tree, as a menu or a pop-up does.
    const auto late = [](Tree &tree) {
        auto *button = new QPushButton(QStringLiteral("Late"), &tree.root);
        tree.root.layout()->addWidget(button);
        return button;
    };
    QJsonArray events;
    {
        Tree recording;
        auto *recorder = new KAVAtmEventRecorder(&recording.root);
        QPushButton *button = late(recording);
        recorder->StartRecording();
        QTest::mouseClick(recording.button, Qt::LeftButton);
        QTest::mouseClick(button, Qt::LeftButton);
        recorder->StopRecording();
        events = recorder->GetEvents();
    }

    Tree replay;
    auto *recorder = new KAVAtmEventRecorder(&replay.root, events);
    QPushButton *button = late(replay);
    replay.root.show();
    QVERIFY(QTest::qWaitForWindowExposed(&replay.root));
    QCOMPARE(recorder->GetEventCount(), 4);
    QSignalSpy clicked(replay.button, &QPushButton::clicked);
    QSignalSpy lateClicked(button, &QPushButton::clicked);
    QSignalSpy started(recorder, &KAVAtmEventRecorder::ReplayStarted);
    QSignalSpy finished(recorder, &KAVAtmEventRecorder::ReplayFinished);
    int clicksAtTheEnd = -1;
    connect(recorder, &KAVAtmEventRecorder::ReplayFinished, this,
            [&] { clicksAtTheEnd = int(clicked.count() + lateClicked.count()); });
    recorder->StartReplay(100.0f);
    QCOMPARE(started.count(), 1);
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toString(), QString());
    // The end is announced after the last posted input was delivered.
    QCOMPARE(clicksAtTheEnd, 2);
    QVERIFY(!recorder->IsReplaying());
}

void tst_KAVAtmRecording::replayChoosesFromAPopUp()
{
    // The combo box's pop-up is made when it first opens, long after the tree was named.
    const auto combo = [](Tree &tree) {
        auto *box = new QComboBox(&tree.root);
        box->setObjectName(QStringLiteral("order"));
        box->addItems({QStringLiteral("As listed"), QStringLiteral("Largest first")});
        tree.root.layout()->addWidget(box);
        tree.root.show();
        return box;
    };
    QJsonArray events;
    {
        Tree recording;
        auto *recorder = new KAVAtmEventRecorder(&recording.root);
        QComboBox *box = combo(recording);
        QVERIFY(QTest::qWaitForWindowExposed(&recording.root));
        recorder->StartRecording();
        QTest::mouseClick(box, Qt::LeftButton);
        QAbstractItemView *view = box->view();
        QTRY_VERIFY(view->isVisible());
        // A release too soon after the pop-up opened is taken for the opening click's own.
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualRect(view->model()->index(1, 0)).center());
        QTRY_COMPARE(box->currentIndex(), 1);
        recorder->StopRecording();
        events = recorder->GetEvents();
    }
    Tree replay;
    auto *recorder = new KAVAtmEventRecorder(&replay.root, events);
    QComboBox *box = combo(replay);
    QVERIFY(QTest::qWaitForWindowExposed(&replay.root));
    QSignalSpy finished(recorder, &KAVAtmEventRecorder::ReplayFinished);
    // In the recorded time: the pop-up takes no choice made sooner after it opened.
    recorder->StartReplay(1.0f);
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toString(), QString());
    QTRY_COMPARE(box->currentIndex(), 1);
}

void tst_KAVAtmRecording::replayPacing_data()
{
    QTest::addColumn<int>("gap");
    QTest::addColumn<float>("speed");
    QTest::addColumn<int>("interval");
    QTest::newRow("double") << 500 << 2.0f << 250;
    QTest::newRow("zero") << 500 << 0.0f << 500;
    QTest::newRow("nan") << 500 << std::nanf("") << 500;
    QTest::newRow("infinite") << 500 << std::numeric_limits<float>::infinity() << 500;
    QTest::newRow("truncated") << 1001 << 2.0f << 500;
    QTest::newRow("clamped") << std::numeric_limits<int>::max() << 0.001f
                             << std::numeric_limits<int>::max();
    QTest::newRow("backwards") << -500 << 1.0f << 0;
}

void tst_KAVAtmRecording::replayPacing()
{
    QFETCH(int, gap);
    QFETCH(float, speed);
    QFETCH(int, interval);
    Tree tree;
    const int first = gap < 0 ? -gap : 0;
    const QJsonArray events {
        recorded(mouseJson(int(QEvent::MouseMove), 1, 1), "root/press", first, "QPushButton"),
        recorded(mouseJson(int(QEvent::MouseMove), 2, 2), "root/press", first + gap,
                 "QPushButton")};
    auto *recorder = new KAVAtmEventRecorder(&tree.root, events);
    auto *timer = recorder->findChild<QTimer *>();
    QVERIFY(timer);
    QSignalSpy finished(recorder, &KAVAtmEventRecorder::ReplayFinished);
    recorder->StartReplay(speed);
    if (interval == 0) {
        QTRY_COMPARE(finished.count(), 1);
        return;
    }
    QTRY_COMPARE(recorder->GetReplayPosition(), 1);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), interval);
    recorder->StopReplay();
}

void tst_KAVAtmRecording::replayEdges()
{
    Tree tree;
    auto *empty = new KAVAtmEventRecorder(&tree.root);
    QSignalSpy started(empty, &KAVAtmEventRecorder::ReplayStarted);
    QSignalSpy finished(empty, &KAVAtmEventRecorder::ReplayFinished);
    empty->StartReplay(1.0f);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(started.count(), 0);

    // A second recorder on the tree the first named goes on from its names.
    auto *late = new QWidget(&tree.root);
    new KAVAtmEventRecorder(&tree.root);
    QCOMPARE(late->objectName(), QStringLiteral("unique_2"));
}

QTEST_MAIN(tst_KAVAtmRecording)
#include "tst_kavatmrecording.moc"
