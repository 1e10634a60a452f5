#ifndef SIGNALWATCHER_H
#define SIGNALWATCHER_H

#include <QtCore/QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal delivered by the event loop, so that the run
// can stop its clients and write its report before it exits.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

Q_SIGNALS:
    void Received(int signal);

private:
    QSocketNotifier *m_notifier = nullptr;
};

#endif // SIGNALWATCHER_H
