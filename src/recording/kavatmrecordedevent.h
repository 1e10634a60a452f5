#ifndef KAVATMRECORDEDEVENT_H
#define KAVATMRECORDEDEVENT_H

#include "kavautomation_export.h"

#include <QtCore/QJsonObject>
#include <QtCore/QString>

#include <memory>

class KAVAtmRecordedEventPrivate;
class QEvent;
class QObject;

// One user-input event captured below a widget: when (milliseconds from the start of the
// recording), which object (class name and object path, never a pointer, so that a recording
// replays in another run of the host) and a copy of the event. Only context-menu, key, mouse
// and wheel input is kept; anything else is held as no event.
class KAVAUTOMATION_EXPORT KAVAtmRecordedEvent {
public:
    KAVAtmRecordedEvent();
    // Both take ownership of the event.
    KAVAtmRecordedEvent(int timeOffset, const QString &className, const QString &objectPath,
                        QEvent *event);
    KAVAtmRecordedEvent(int timeOffset, const QObject *object, QEvent *event);
    KAVAtmRecordedEvent(const KAVAtmRecordedEvent &) = delete;
    KAVAtmRecordedEvent &operator=(const KAVAtmRecordedEvent &) = delete;
    ~KAVAtmRecordedEvent();

    int GetTimeOffset() const;
    const QString &GetClassName() const;
    const QString &GetObjectPath() const;
    QEvent *GetEvent() const;

    QJsonObject ToJson() const;
    // Replaces the fields from the object. An event of an unknown kind, or of a Qt event type
    // that does not belong to its kind, is not built: the previous event stays, and false is
    // returned with the reason.
    bool FromJson(const QJsonObject &json, QString *errorString = nullptr);

    // "top/.../parent/object"; an unnamed ancestor leaves an empty segment.
    static QString ConstructObjectPath(const QObject *object);
    // Whether the event is of a kind a recording keeps.
    static bool IsRecordable(const QEvent *event);

private:
    const std::unique_ptr<KAVAtmRecordedEventPrivate> d;
};

#endif // KAVATMRECORDEDEVENT_H
