#include "kavatmtimewaitactiondef.h"
#include "kavatmmodelutils_p.h"

class KAVAtmTimeWaitActionDefPrivate {
public:
    int waitTime = 10000;
};

KAVAtmTimeWaitActionDef::KAVAtmTimeWaitActionDef() : d(new KAVAtmTimeWaitActionDefPrivate) { }

KAVAtmTimeWaitActionDef::~KAVAtmTimeWaitActionDef() = default;

QByteArray KAVAtmTimeWaitActionDef::GetActionName()
{
    return KAVAtmModelUtils::ActionTypeOf(staticMetaObject);
}

void KAVAtmTimeWaitActionDef::FromJson(const QJsonObject &json)
{
    KAVAtmTestActionDef::FromJson(json);
    d->waitTime = KAVAtmModelUtils::ToInt32(json.value(QLatin1String("wtime")), 0);
}

QJsonObject KAVAtmTimeWaitActionDef::ToJson() const
{
    QJsonObject json = KAVAtmTestActionDef::ToJson();
    json.insert(QLatin1String("wtime"), d->waitTime);
    return json;
}

void KAVAtmTimeWaitActionDef::SetPlatform(KAVAtmEnums::Platform) { }

int KAVAtmTimeWaitActionDef::GetWaitTime() const
{
    return d->waitTime;
}

void KAVAtmTimeWaitActionDef::SetWaitTime(int milliseconds)
{
    d->waitTime = milliseconds;
}
