// The cost the event recorder adds to each input event of the process, measured on mouse
// events sent through the application: with no filter, with a bare filter that returns at
// once, with a recorder installed whose root the input is not under (what every other widget
// of the host pays while a dialog is recorded), and with the input recorded.
//
// Usage: bench_recorder [events per round, default 200000] [rounds, default 5]

#include "kavatmeventrecorder.h"

#include <QtCore/QElapsedTimer>
#include <QtGui/QMouseEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

class BareFilter : public QObject {
public:
    bool eventFilter(QObject *, QEvent *) override { return false; }
};

// Nanoseconds per event, best of the rounds.
double perEvent(QWidget *target, int events, int rounds)
{
    std::vector<double> results;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < events; ++i) {
            // Press and release in turn: recorded, neither collapses into the one before.
            QMouseEvent event(i % 2 ? QEvent::MouseButtonRelease : QEvent::MouseButtonPress,
                              QPointF(i % 50, 5), QPointF(i % 50, 5), Qt::LeftButton,
                              i % 2 ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &event);
        }
        results.push_back(double(clock.nsecsElapsed()) / events);
    }
    return *std::min_element(results.begin(), results.end());
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const int events = arguments.size() > 1 ? arguments.at(1).toInt() : 200000;
    const int rounds = arguments.size() > 2 ? arguments.at(2).toInt() : 5;

    QWidget root;
    root.setObjectName("root");
    auto *inside = new QWidget(&root);
    inside->setObjectName("inside");
    QWidget other;
    other.setObjectName("other");

    // Every figure on the same widget: only the filters differ.
    const double none = perEvent(inside, events, rounds);
    BareFilter bare;
    app.installEventFilter(&bare);
    const double filtered = perEvent(inside, events, rounds);
    app.removeEventFilter(&bare);

    auto *elsewhere = new KAVAtmEventRecorder(&other);
    elsewhere->StartRecording();
    const double off = perEvent(inside, events, rounds);
    elsewhere->StopRecording();

    auto *recorder = new KAVAtmEventRecorder(&root);
    recorder->StartRecording();
    const double on = perEvent(inside, events, rounds);
    recorder->StopRecording();

    std::printf("events per round: %d, rounds: %d (best round shown)\n", events, rounds);
    std::printf("no filter:                      %7.1f ns/event\n", none);
    std::printf("bare filter:                    %7.1f ns/event (+%.1f ns)\n", filtered,
                filtered - none);
    std::printf("recorder, input outside root:   %7.1f ns/event (+%.1f ns)\n", off, off - none);
    std::printf("recorder, input recorded:       %7.1f ns/event (+%.1f ns)\n", on, on - none);
    std::printf("recorded events: %d\n", recorder->GetEventCount());
    return 0;
}
