#include "kavatmopenfileactiondef.h"
#include "kavatmmodelutils_p.h"

class KAVAtmOpenFileActionDefPrivate {
public:
    QString filePath;
};

KAVAtmOpenFileActionDef::KAVAtmOpenFileActionDef() : d(new KAVAtmOpenFileActionDefPrivate)
{
    SetPlatform(KAVAtmEnums::Tessaron);
}

KAVAtmOpenFileActionDef::~KAVAtmOpenFileActionDef() = default;

QByteArray KAVAtmOpenFileActionDef::GetActionName()
{
    return KAVAtmModelUtils::ActionTypeOf(staticMetaObject);
}

void KAVAtmOpenFileActionDef::FromJson(const QJsonObject &json)
{
    KAVAtmTestActionDef::FromJson(json);
    d->filePath = json.value(QLatin1String("file")).toString();
}

QJsonObject KAVAtmOpenFileActionDef::ToJson() const
{
    QJsonObject json = KAVAtmTestActionDef::ToJson();
    json.insert(QLatin1String("file"), d->filePath);
    return json;
}

QString KAVAtmOpenFileActionDef::GetFilePath() const
{
    return d->filePath;
}

void KAVAtmOpenFileActionDef::SetFilePath(const QString &filePath)
{
    d->filePath = filePath;
}
