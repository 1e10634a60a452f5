#ifndef KAVATMEVENTRECORDER_H
#define KAVATMEVENTRECORDER_H

#include "kavautomation_export.h"

#include <QtCore/QJsonArray>
#include <QtCore/QObject>

#include <memory>

class KAVAtmEventRecorderPrivate;
class QWidget;

// Records the input that reaches the widgets below a root widget and replays such a
// recording into the same kind of widget tree, with its timing scaled by a speed. Widgets are
// found again by class name and object path: both constructors name every unnamed widget of
// the tree in a fixed order ("unique_0", "unique_1", ...), so a tree built the same way gets
// the same names in the recording run and in the replay run. The recorder is a child of the
// root and goes with it.
class KAVAUTOMATION_EXPORT KAVAtmEventRecorder : public QObject {
    Q_OBJECT
public:
    explicit KAVAtmEventRecorder(QWidget *root);
    // Loads the events of a recording. One that is not an object, or not an input event of a
    // known kind, is refused: then nothing is loaded and GetLoadError() says which and why.
    KAVAtmEventRecorder(QWidget *root, const QJsonArray &events);
    ~KAVAtmEventRecorder() override;

    // Recording appends to the events held; offsets count from the latest start.
    void StartRecording();
    void StopRecording();
    bool IsRecording() const;
    // A speed of 0 or less, or not a number, replays at 1.
    void StartReplay(float speed);
    // Ends a replay at once; nothing more is posted and ReplayFinished is not emitted. A
    // replay ended by the root's destruction emits ReplayFinished with what was not replayed.
    void StopReplay();
    bool IsReplaying() const;

    // Why the events given to the constructor were refused; empty when they were loaded.
    QString GetLoadError() const;

    QJsonArray GetEvents() const;
    int GetEventCount() const;
    // The position of the next event to replay.
    int GetReplayPosition() const;

    bool eventFilter(QObject *watched, QEvent *event) override;

Q_SIGNALS:
    void RecordingStarted();
    void RecordingStopped(const QJsonArray &events);
    void ReplayStarted();
    void ReplayFinished(const QString &message);

private Q_SLOTS:
    void Replay();

private:
    const std::unique_ptr<KAVAtmEventRecorderPrivate> d;
};

#endif // KAVATMEVENTRECORDER_H
