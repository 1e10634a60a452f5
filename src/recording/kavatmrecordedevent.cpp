#include "kavatmrecordedevent.h"

#include <QtCore/QObject>
#include <QtGui/QContextMenuEvent>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QPointingDevice>
#include <QtGui/QWheelEvent>

#include <cmath>
#include <limits>

namespace {

enum Kind {
    NoKind = 0,
    ContextMenuKind = 1,
    KeyKind = 2,
    MouseKind = 3,
    WheelKind = 4,
};

int roundAwayFromZero(qreal value)
{
    constexpr qreal limit = std::numeric_limits<int>::max();
    return int(std::lround(qBound(-limit, value, limit)));
}

QJsonObject pointJson(const QPoint &point)
{
    return QJsonObject {{QStringLiteral("x"), point.x()}, {QStringLiteral("y"), point.y()}};
}

QPoint pointFrom(const QJsonValue &value)
{
    const QJsonObject point = value.toObject();
    return QPoint(point.value(QLatin1String("x")).toInt(), point.value(QLatin1String("y")).toInt());
}

int intFrom(const QJsonObject &json, const char *key)
{
    return json.value(QLatin1String(key)).toInt();
}

// Numbers from a file become flags only within what Qt defines for them.
Qt::KeyboardModifiers modifiersFrom(const QJsonObject &json)
{
    return Qt::KeyboardModifiers::fromInt(intFrom(json, "modi") & Qt::KeyboardModifierMask);
}

Qt::MouseButtons buttonsFrom(const QJsonObject &json)
{
    return Qt::MouseButtons::fromInt(intFrom(json, "btns") & Qt::AllButtons);
}

bool isKeyType(int type)
{
    return type == QEvent::KeyPress || type == QEvent::KeyRelease;
}

bool isMouseType(int type)
{
    return type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease
        || type == QEvent::MouseButtonDblClick || type == QEvent::MouseMove;
}

} // namespace

class KAVAtmRecordedEventPrivate {
public:
    int timeOffset = 0;
    QString className;
    QString objectPath;
    std::shared_ptr<QEvent> event;
};

KAVAtmRecordedEvent::KAVAtmRecordedEvent() : d(new KAVAtmRecordedEventPrivate) { }

KAVAtmRecordedEvent::KAVAtmRecordedEvent(int timeOffset, const QString &className,
                                         const QString &objectPath, QEvent *event)
    : d(new KAVAtmRecordedEventPrivate)
{
    d->timeOffset = timeOffset;
    d->className = className;
    d->objectPath = objectPath;
    d->event.reset(event);
}

KAVAtmRecordedEvent::KAVAtmRecordedEvent(int timeOffset, const QObject *object, QEvent *event)
    : KAVAtmRecordedEvent(
        timeOffset, object ? QString::fromLatin1(object->metaObject()->className()) : QString(),
        ConstructObjectPath(object), event)
{
}

KAVAtmRecordedEvent::~KAVAtmRecordedEvent() = default;

int KAVAtmRecordedEvent::GetTimeOffset() const
{
    return d->timeOffset;
}

const QString &KAVAtmRecordedEvent::GetClassName() const
{
    return d->className;
}

const QString &KAVAtmRecordedEvent::GetObjectPath() const
{
    return d->objectPath;
}

QEvent *KAVAtmRecordedEvent::GetEvent() const
{
    return d->event.get();
}

QString KAVAtmRecordedEvent::ConstructObjectPath(const QObject *object)
{
    QString path;
    for (const QObject *current = object; current; current = current->parent()) {
        if (!path.isEmpty())
            path.prepend(QLatin1Char('/'));
        path.prepend(current->objectName());
    }
    return path;
}

bool KAVAtmRecordedEvent::IsRecordable(const QEvent *event)
{
    if (!event)
        return false;
    switch (event->type()) {
    case QEvent::ContextMenu:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
        return true;
    default:
        return false;
    }
}

QJsonObject KAVAtmRecordedEvent::ToJson() const
{
    QJsonObject event;
    const QEvent *held = d->event.get();
    if (const auto *menu = dynamic_cast<const QContextMenuEvent *>(held)) {
        event = {{QStringLiteral("event"), ContextMenuKind},
                 {QStringLiteral("type"), int(menu->type())},
                 {QStringLiteral("reason"), int(menu->reason())},
                 {QStringLiteral("pos"), pointJson(menu->pos())},
                 {QStringLiteral("gpos"), pointJson(menu->globalPos())},
                 {QStringLiteral("modi"), int(menu->modifiers().toInt())}};
    } else if (const auto *key = dynamic_cast<const QKeyEvent *>(held)) {
        event = {{QStringLiteral("event"), KeyKind},
                 {QStringLiteral("type"), int(key->type())},
                 {QStringLiteral("key"), key->key()},
                 {QStringLiteral("modi"), int(key->modifiers().toInt())},
                 {QStringLiteral("text"), key->text()},
                 {QStringLiteral("autorep"), key->isAutoRepeat()},
                 {QStringLiteral("count"), key->count()}};
    } else if (const auto *mouse = dynamic_cast<const QMouseEvent *>(held)) {
        const QPointF global = mouse->globalPosition();
        event = {{QStringLiteral("event"), MouseKind},
                 {QStringLiteral("type"), int(mouse->type())},
                 {QStringLiteral("pos"), pointJson(mouse->position().toPoint())},
                 {QStringLiteral("gpos"),
                  pointJson(QPoint(roundAwayFromZero(global.x()), roundAwayFromZero(global.y())))},
                 {QStringLiteral("btn"), int(mouse->button())},
                 {QStringLiteral("btns"), int(mouse->buttons().toInt())},
                 {QStringLiteral("modi"), int(mouse->modifiers().toInt())}};
    } else if (const auto *wheel = dynamic_cast<const QWheelEvent *>(held)) {
        // The axis that carries the movement, with its signed amount.
        const QPoint angle = wheel->angleDelta();
        const bool horizontal = qAbs(angle.x()) > qAbs(angle.y());
        const QPointF position = wheel->position();
        const QPointF global = wheel->globalPosition();
        event = {
            {QStringLiteral("event"), WheelKind},
            {QStringLiteral("type"), int(wheel->type())},
            {QStringLiteral("btns"), int(wheel->buttons().toInt())},
            {QStringLiteral("modi"), int(wheel->modifiers().toInt())},
            {QStringLiteral("pos"),
             pointJson(QPoint(roundAwayFromZero(position.x()), roundAwayFromZero(position.y())))},
            {QStringLiteral("gpos"),
             pointJson(QPoint(roundAwayFromZero(global.x()), roundAwayFromZero(global.y())))},
            {QStringLiteral("ori"), horizontal ? 1 : 2},
            {QStringLiteral("delta"), horizontal ? angle.x() : angle.y()}};
    }
    return QJsonObject {{QStringLiteral("toffset"), d->timeOffset},
                        {QStringLiteral("clsn"), d->className},
                        {QStringLiteral("objn"), d->objectPath},
                        {QStringLiteral("event"), event}};
}

bool KAVAtmRecordedEvent::FromJson(const QJsonObject &json, QString *errorString)
{
    d->timeOffset = json.value(QLatin1String("toffset")).toInt();
    d->className = json.value(QLatin1String("clsn")).toString();
    d->objectPath = json.value(QLatin1String("objn")).toString();
    const QJsonValue eventValue = json.value(QLatin1String("event"));
    if (!eventValue.isObject())
        return true;
    const QJsonObject event = eventValue.toObject();
    const int kind = intFrom(event, "event");
    const int type = intFrom(event, "type");
    const auto refuse = [errorString](const QString &reason) {
        if (errorString)
            *errorString = reason;
        return false;
    };
    // Only input is built, and only with the Qt event types of its kind: any other type
    // would post, say, a DeferredDelete to the target, or be cast to the wrong class.
    switch (kind) {
    case NoKind:
        return true;
    case ContextMenuKind: {
        if (type != QEvent::ContextMenu)
            return refuse(QStringLiteral("Event type %1 is not a context menu event.").arg(type));
        const int reason = intFrom(event, "reason");
        if (reason < QContextMenuEvent::Mouse || reason > QContextMenuEvent::Other)
            return refuse(QStringLiteral("Unknown context menu reason %1.").arg(reason));
        d->event = std::make_shared<QContextMenuEvent>(
            QContextMenuEvent::Reason(reason), pointFrom(event.value(QLatin1String("pos"))),
            pointFrom(event.value(QLatin1String("gpos"))), modifiersFrom(event));
        return true;
    }
    case KeyKind: {
        if (!isKeyType(type))
            return refuse(QStringLiteral("Event type %1 is not a key event.").arg(type));
        d->event = std::make_shared<QKeyEvent>(QEvent::Type(type), intFrom(event, "key"),
                                               modifiersFrom(event),
                                               event.value(QLatin1String("text")).toString(),
                                               event.value(QLatin1String("autorep")).toBool(),
                                               quint16(qBound(0, intFrom(event, "count"), 32767)));
        return true;
    }
    case MouseKind: {
        if (!isMouseType(type))
            return refuse(QStringLiteral("Event type %1 is not a mouse event.").arg(type));
        d->event = std::make_shared<QMouseEvent>(
            QEvent::Type(type), QPointF(pointFrom(event.value(QLatin1String("pos")))),
            QPointF(pointFrom(event.value(QLatin1String("gpos")))),
            Qt::MouseButton(intFrom(event, "btn") & Qt::AllButtons), buttonsFrom(event),
            modifiersFrom(event), QPointingDevice::primaryPointingDevice());
        return true;
    }
    case WheelKind: {
        if (type != QEvent::Wheel)
            return refuse(QStringLiteral("Event type %1 is not a wheel event.").arg(type));
        const int delta = intFrom(event, "delta");
        const QPoint angle = intFrom(event, "ori") == 1 ? QPoint(delta, 0) : QPoint(0, delta);
        d->event = std::make_shared<QWheelEvent>(
            QPointF(pointFrom(event.value(QLatin1String("pos")))),
            QPointF(pointFrom(event.value(QLatin1String("gpos")))), QPoint(), angle,
            buttonsFrom(event), modifiersFrom(event), Qt::NoScrollPhase, false,
            Qt::MouseEventSynthesizedByApplication, QPointingDevice::primaryPointingDevice());
        return true;
    }
    default:
        return refuse(QStringLiteral("Unknown event kind %1.").arg(kind));
    }
}
