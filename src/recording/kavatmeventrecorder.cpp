#include "kavatmeventrecorder.h"

#include "kavatmrecordedevent.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QJsonObject>
#include <QtCore/QPointer>
#include <QtCore/QRegularExpression>
#include <QtCore/QTimer>
#include <QtGui/QInputEvent>
#include <QtWidgets/QWidget>

#include <cmath>
#include <limits>
#include <vector>

class KAVAtmEventRecorderPrivate {
public:
    explicit KAVAtmEventRecorderPrivate(QWidget *rootWidget) : root(rootWidget) { }

    void NameWidgets(QObject *parent);
    bool IsBelowRoot(const QObject *object) const;
    bool IsPropagation(const QObject *watched, const QEvent *event) const;
    QObject *FindTarget(const KAVAtmRecordedEvent &recorded) const;

    QWidget *const root;
    std::vector<std::unique_ptr<KAVAtmRecordedEvent>> events;
    QTimer *replayTimer = nullptr;
    QElapsedTimer clock;
    int nameCounter = 0;
    float speed = 1.0f;
    int replayPosition = 0;
    bool recording = false;
    bool replaying = false;
    // The last input recorded, to tell its propagation to the parents from a new input.
    QPointer<QObject> lastTarget;
    QEvent::Type lastType = QEvent::None;
    quint64 lastTimestamp = 0;
    QString loadError;
};

void KAVAtmEventRecorderPrivate::NameWidgets(QObject *parent)
{
    for (QObject *child : parent->children()) {
        if (!child->isWidgetType())
            continue;
        if (child->objectName().isEmpty())
            child->setObjectName(QStringLiteral("unique_%1").arg(nameCounter++));
        NameWidgets(child);
    }
}

bool KAVAtmEventRecorderPrivate::IsBelowRoot(const QObject *object) const
{
    if (!object)
        return false;
    for (const QObject *current = object->parent(); current; current = current->parent()) {
        if (current == root)
            return true;
    }
    return false;
}

// A widget that ignores an input hands the same input on to its parent, and the application
// filter sees it again there: same type and time stamp, one level up.
bool KAVAtmEventRecorderPrivate::IsPropagation(const QObject *watched, const QEvent *event) const
{
    const QObject *last = lastTarget.data();
    if (!last || event->type() != lastType)
        return false;
    const auto *input = static_cast<const QInputEvent *>(event);
    if (input->timestamp() != lastTimestamp)
        return false;
    for (const QObject *current = last->parent(); current; current = current->parent()) {
        if (current == watched)
            return true;
    }
    return false;
}

QObject *KAVAtmEventRecorderPrivate::FindTarget(const KAVAtmRecordedEvent &recorded) const
{
    const QString &path = recorded.GetObjectPath();
    const QString name = path.section(QLatin1Char('/'), -1);
    const QList<QObject *> candidates = root->findChildren<QObject *>(name);
    for (QObject *candidate : candidates) {
        if (QLatin1String(candidate->metaObject()->className()) == recorded.GetClassName()
            && KAVAtmRecordedEvent::ConstructObjectPath(candidate) == path)
            return candidate;
    }
    return nullptr;
}

KAVAtmEventRecorder::KAVAtmEventRecorder(QWidget *root)
    : QObject(root), d(new KAVAtmEventRecorderPrivate(root))
{
    d->replayTimer = new QTimer(this);
    d->replayTimer->setSingleShot(true);
    d->replayTimer->setTimerType(Qt::PreciseTimer);
    connect(d->replayTimer, &QTimer::timeout, this, &KAVAtmEventRecorder::Replay);
    if (!root)
        return;
    // A tree an earlier recorder named goes on from its names: a second unique_0 could be
    // taken for the first.
    static const QRegularExpression given(QStringLiteral("^unique_(\\d{1,9})$"));
    for (const QWidget *widget : root->findChildren<QWidget *>()) {
        const QRegularExpressionMatch match = given.match(widget->objectName());
        if (match.hasMatch())
            d->nameCounter = qMax(d->nameCounter, match.captured(1).toInt() + 1);
    }
    d->NameWidgets(root);
}

KAVAtmEventRecorder::KAVAtmEventRecorder(QWidget *root, const QJsonArray &events)
    : KAVAtmEventRecorder(root)
{
    // All or nothing: a replay that left out one input would reach another state and pass.
    for (int index = 0; index < events.size(); ++index) {
        const QJsonValue value = events.at(index);
        const QJsonObject event = value[QLatin1String("event")].toObject();
        const QString which = tr("Event %1 (kind %2, type %3) cannot be replayed: ")
                                  .arg(QString::number(index),
                                       QString::number(event.value(QLatin1String("event")).toInt()),
                                       QString::number(event.value(QLatin1String("type")).toInt()));
        if (!value.isObject()) {
            d->loadError = which + tr("it is not a JSON object.");
            break;
        }
        auto recorded = std::make_unique<KAVAtmRecordedEvent>();
        QString reason;
        if (!recorded->FromJson(value.toObject(), &reason)) {
            d->loadError = which + reason;
            break;
        }
        d->events.push_back(std::move(recorded));
    }
    if (!d->loadError.isEmpty())
        d->events.clear();
}

QString KAVAtmEventRecorder::GetLoadError() const
{
    return d->loadError;
}

KAVAtmEventRecorder::~KAVAtmEventRecorder()
{
    if (d->recording)
        qApp->removeEventFilter(this);
    // The root went mid-replay (a replayed click closed the dialog): whoever waits for the
    // end hears it now, with what was left out.
    if (d->replaying) {
        d->replaying = false;
        const int count = int(d->events.size());
        Q_EMIT ReplayFinished(
            tr("The replay target was destroyed: %1 of %2 events were not "
               "replayed.")
                .arg(QString::number(count - d->replayPosition), QString::number(count)));
    }
}

void KAVAtmEventRecorder::StartRecording()
{
    if (!d->root)
        return;
    if (!d->recording)
        qApp->installEventFilter(this);
    d->recording = true;
    d->lastTarget.clear();
    d->clock.start();
    Q_EMIT RecordingStarted();
}

void KAVAtmEventRecorder::StopRecording()
{
    if (d->recording)
        qApp->removeEventFilter(this);
    d->recording = false;
    StopReplay();
    Q_EMIT RecordingStopped(GetEvents());
}

bool KAVAtmEventRecorder::IsRecording() const
{
    return d->recording;
}

void KAVAtmEventRecorder::StartReplay(float speed)
{
    if (!d->root) {
        Q_EMIT ReplayFinished(tr("There is no widget to replay the events on."));
        return;
    }
    if (d->events.empty()) {
        Q_EMIT ReplayFinished(QString());
        return;
    }
    d->replayPosition = 0;
    d->speed = std::isfinite(speed) && speed > 0 ? speed : 1.0f;
    d->replaying = true;
    d->replayTimer->start(0);
    Q_EMIT ReplayStarted();
}

void KAVAtmEventRecorder::StopReplay()
{
    d->replayTimer->stop();
    d->replaying = false;
}

bool KAVAtmEventRecorder::IsReplaying() const
{
    return d->replaying;
}

QJsonArray KAVAtmEventRecorder::GetEvents() const
{
    QJsonArray array;
    for (const auto &event : d->events)
        array.append(event->ToJson());
    return array;
}

int KAVAtmEventRecorder::GetEventCount() const
{
    return int(d->events.size());
}

int KAVAtmEventRecorder::GetReplayPosition() const
{
    return d->replayPosition;
}

bool KAVAtmEventRecorder::eventFilter(QObject *watched, QEvent *event)
{
    // Everything in the process passes here: reject cheaply before copying anything.
    if (!d->recording || !KAVAtmRecordedEvent::IsRecordable(event) || !d->IsBelowRoot(watched))
        return false;
    if (d->IsPropagation(watched, event))
        return false;
    // A widget made after the tree was named (a menu, a combo box's pop-up) is named now, in
    // the order a replay names it when it looks for it.
    for (QObject *up = watched; up != d->root; up = up->parent()) {
        if (up->objectName().isEmpty()) {
            d->NameWidgets(d->root);
            break;
        }
    }

    auto recorded = std::make_unique<KAVAtmRecordedEvent>(
        int(qMin<qint64>(d->clock.elapsed(), std::numeric_limits<int>::max())), watched,
        event->clone());
    if (!d->events.empty()) {
        const auto *previous = dynamic_cast<const QMouseEvent *>(d->events.back()->GetEvent());
        const auto *current = dynamic_cast<const QMouseEvent *>(recorded->GetEvent());
        if (previous && current && previous->type() == current->type()
            && previous->button() == current->button() && previous->buttons() == current->buttons()
            && previous->modifiers() == current->modifiers())
            d->events.pop_back();
    }
    d->lastTarget = watched;
    d->lastType = event->type();
    d->lastTimestamp = static_cast<const QInputEvent *>(event)->timestamp();
    d->events.push_back(std::move(recorded));
    return false;
}

void KAVAtmEventRecorder::Replay()
{
    if (!d->replaying)
        return;
    if (d->replayPosition >= int(d->events.size())) {
        d->replaying = false;
        Q_EMIT ReplayFinished(QString());
        return;
    }
    const KAVAtmRecordedEvent &current = *d->events[size_t(d->replayPosition++)];
    if (current.GetEvent()) {
        QObject *target = d->FindTarget(current);
        if (!target) {
            d->NameWidgets(d->root);
            target = d->FindTarget(current);
        }
        // An input whose widget is not there would leave the replay in another state.
        if (!target) {
            d->replaying = false;
            Q_EMIT ReplayFinished(tr("Event %1 cannot be replayed: there is no %2 at %3.")
                                      .arg(QString::number(d->replayPosition - 1),
                                           current.GetClassName(), current.GetObjectPath()));
            return;
        }
        QCoreApplication::postEvent(target, current.GetEvent()->clone());
    }
    if (d->replayPosition < int(d->events.size())) {
        const qint64 difference = qint64(d->events[size_t(d->replayPosition)]->GetTimeOffset())
            - current.GetTimeOffset();
        const double delay = difference > 0 ? std::trunc(double(difference) / d->speed) : 0.0;
        d->replayTimer->start(int(qBound(0.0, delay, double(std::numeric_limits<int>::max()))));
        return;
    }
    // The end is told once what was posted has been delivered.
    d->replayTimer->start(0);
}
