#include "kavatmswitchenvironmentactiondef.h"
#include "kavatmmodelutils_p.h"

class KAVAtmSwitchEnvironmentActionDefPrivate {
public:
    QString environment;
};

KAVAtmSwitchEnvironmentActionDef::KAVAtmSwitchEnvironmentActionDef()
    : d(new KAVAtmSwitchEnvironmentActionDefPrivate)
{
}

KAVAtmSwitchEnvironmentActionDef::~KAVAtmSwitchEnvironmentActionDef() = default;

QByteArray KAVAtmSwitchEnvironmentActionDef::GetActionName()
{
    return KAVAtmModelUtils::ActionTypeOf(staticMetaObject);
}

void KAVAtmSwitchEnvironmentActionDef::FromJson(const QJsonObject &json)
{
    KAVAtmTestActionDef::FromJson(json);
    d->environment = json.value(QLatin1String("environment")).toString();
}

QJsonObject KAVAtmSwitchEnvironmentActionDef::ToJson() const
{
    QJsonObject json = KAVAtmTestActionDef::ToJson();
    json.insert(QLatin1String("environment"), d->environment);
    return json;
}

QString KAVAtmSwitchEnvironmentActionDef::GetEnvironment() const
{
    return d->environment;
}

void KAVAtmSwitchEnvironmentActionDef::SetEnvironment(const QString &environment)
{
    d->environment = environment;
}
