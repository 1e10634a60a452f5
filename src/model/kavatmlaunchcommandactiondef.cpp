#include "kavatmlaunchcommandactiondef.h"
#include "kavatmmodelutils_p.h"

class KAVAtmLaunchCommandActionDefPrivate {
public:
    QByteArray actionId;
    QVariantHash actionData;
};

KAVAtmLaunchCommandActionDef::KAVAtmLaunchCommandActionDef()
    : d(new KAVAtmLaunchCommandActionDefPrivate)
{
}

KAVAtmLaunchCommandActionDef::~KAVAtmLaunchCommandActionDef() = default;

QByteArray KAVAtmLaunchCommandActionDef::GetActionName()
{
    return KAVAtmModelUtils::ActionTypeOf(staticMetaObject);
}

void KAVAtmLaunchCommandActionDef::FromJson(const QJsonObject &json)
{
    KAVAtmTestActionDef::FromJson(json);
    d->actionId = json.value(QLatin1String("actionId")).toString().toLatin1();
    const QJsonValue actionData = json.value(QLatin1String("actionData"));
    if (actionData.isObject())
        d->actionData = actionData.toObject().toVariantHash();
}

QJsonObject KAVAtmLaunchCommandActionDef::ToJson() const
{
    QJsonObject json = KAVAtmTestActionDef::ToJson();
    json.insert(QLatin1String("actionId"), QString::fromLatin1(d->actionId));
    if (!d->actionData.isEmpty())
        json.insert(QLatin1String("actionData"), QJsonObject::fromVariantHash(d->actionData));
    return json;
}

QByteArray KAVAtmLaunchCommandActionDef::GetActionId() const
{
    return d->actionId;
}

void KAVAtmLaunchCommandActionDef::SetActionId(const QByteArray &actionId)
{
    d->actionId = actionId;
}

QVariantHash KAVAtmLaunchCommandActionDef::GetActionData() const
{
    return d->actionData;
}

void KAVAtmLaunchCommandActionDef::SetActionData(const QVariantHash &actionData)
{
    d->actionData = actionData;
}
