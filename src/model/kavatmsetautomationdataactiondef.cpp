#include "kavatmsetautomationdataactiondef.h"
#include "kavatmmodelutils_p.h"

class KAVAtmSetAutomationDataActionDefPrivate {
public:
    QVariantMap map;
    bool clearFirst = true;
};

KAVAtmSetAutomationDataActionDef::KAVAtmSetAutomationDataActionDef()
    : d(new KAVAtmSetAutomationDataActionDefPrivate)
{
}

KAVAtmSetAutomationDataActionDef::~KAVAtmSetAutomationDataActionDef() = default;

QByteArray KAVAtmSetAutomationDataActionDef::GetActionName()
{
    return KAVAtmModelUtils::ActionTypeOf(staticMetaObject);
}

void KAVAtmSetAutomationDataActionDef::FromJson(const QJsonObject &json)
{
    KAVAtmTestActionDef::FromJson(json);
    if (json.contains(QLatin1String("map")))
        d->map = json.value(QLatin1String("map")).toObject().toVariantMap();
    if (json.contains(QLatin1String("clear")))
        d->clearFirst = json.value(QLatin1String("clear")).toBool(false);
}

QJsonObject KAVAtmSetAutomationDataActionDef::ToJson() const
{
    QJsonObject json = KAVAtmTestActionDef::ToJson();
    json.insert(QLatin1String("map"), QJsonObject::fromVariantMap(d->map));
    json.insert(QLatin1String("clear"), d->clearFirst);
    return json;
}

QVariantMap KAVAtmSetAutomationDataActionDef::GetMap() const
{
    return d->map;
}

void KAVAtmSetAutomationDataActionDef::SetMap(const QVariantMap &map)
{
    d->map = map;
}

void KAVAtmSetAutomationDataActionDef::InsertKeyValue(const QString &key, const QVariant &value)
{
    d->map.insert(key, value);
}

bool KAVAtmSetAutomationDataActionDef::IsClearFirst() const
{
    return d->clearFirst;
}

void KAVAtmSetAutomationDataActionDef::SetClearFirst(bool clearFirst)
{
    d->clearFirst = clearFirst;
}
