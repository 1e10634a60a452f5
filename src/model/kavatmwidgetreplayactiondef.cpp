#include "kavatmwidgetreplayactiondef.h"

#include "kavatmmodelutils_p.h"
#include <cmath>
#include <limits>

class KAVAtmWidgetReplayActionDefPrivate {
public:
    QJsonArray events;
    float speed = 1.0f;
};

KAVAtmWidgetReplayActionDef::KAVAtmWidgetReplayActionDef()
    : d(new KAVAtmWidgetReplayActionDefPrivate)
{
}

KAVAtmWidgetReplayActionDef::~KAVAtmWidgetReplayActionDef() = default;

QByteArray KAVAtmWidgetReplayActionDef::GetActionName()
{
    return KAVAtmModelUtils::ActionTypeOf(staticMetaObject);
}

void KAVAtmWidgetReplayActionDef::FromJson(const QJsonObject &json)
{
    KAVAtmTestActionDef::FromJson(json);
    // Clamped first: a double beyond float's range does not convert. Not positive, or not a
    // number, replays at 1.
    const double speed = json.value(QLatin1String("speed")).toDouble(1.0);
    d->speed = std::isfinite(speed) && speed > 0
        ? float(qMin(speed, double(std::numeric_limits<float>::max())))
        : 1.0f;
    const QJsonValue events = json.value(QLatin1String("events"));
    if (events.isArray())
        d->events = events.toArray();
}

QJsonObject KAVAtmWidgetReplayActionDef::ToJson() const
{
    QJsonObject json = KAVAtmTestActionDef::ToJson();
    json.insert(QLatin1String("speed"), double(d->speed));
    json.insert(QLatin1String("events"), d->events);
    return json;
}

QJsonArray KAVAtmWidgetReplayActionDef::GetRecordedEvents() const
{
    return d->events;
}

void KAVAtmWidgetReplayActionDef::SetRecordedEvents(const QJsonArray &events)
{
    d->events = events;
}

float KAVAtmWidgetReplayActionDef::GetReplaySpeed() const
{
    return d->speed;
}

void KAVAtmWidgetReplayActionDef::SetReplaySpeed(float speed)
{
    d->speed = speed;
}
