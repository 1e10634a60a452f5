#include "kavatmsetselectionactiondef.h"
#include "kavatmmodelutils_p.h"

#include <QtCore/QJsonArray>

class KAVAtmSetSelectionActionDefPrivate {
public:
    QList<QString> paths;
};

KAVAtmSetSelectionActionDef::KAVAtmSetSelectionActionDef()
    : d(new KAVAtmSetSelectionActionDefPrivate)
{
}

KAVAtmSetSelectionActionDef::~KAVAtmSetSelectionActionDef() = default;

QByteArray KAVAtmSetSelectionActionDef::GetActionName()
{
    return KAVAtmModelUtils::ActionTypeOf(staticMetaObject);
}

void KAVAtmSetSelectionActionDef::FromJson(const QJsonObject &json)
{
    KAVAtmTestActionDef::FromJson(json);
    for (const QJsonValue &value : json.value(QLatin1String("selections")).toArray())
        d->paths.append(value.toString());
}

QJsonObject KAVAtmSetSelectionActionDef::ToJson() const
{
    QJsonObject json = KAVAtmTestActionDef::ToJson();
    json.insert(QLatin1String("selections"), QJsonArray::fromStringList(d->paths));
    return json;
}

QList<QString> KAVAtmSetSelectionActionDef::GetSelectionPathList() const
{
    return d->paths;
}

void KAVAtmSetSelectionActionDef::SetSelectionPathList(const QList<QString> &paths)
{
    d->paths = paths;
}
