#include "kavatmclosefileactiondef.h"
#include "kavatmmodelutils_p.h"

class KAVAtmCloseFileActionDefPrivate {
public:
    QString filePath;
    bool saveBeforeClose = false;
    bool forceSaveAs = false;
};

KAVAtmCloseFileActionDef::KAVAtmCloseFileActionDef() : d(new KAVAtmCloseFileActionDefPrivate)
{
    SetPlatform(KAVAtmEnums::Unspecified);
}

KAVAtmCloseFileActionDef::~KAVAtmCloseFileActionDef() = default;

QByteArray KAVAtmCloseFileActionDef::GetActionName()
{
    return KAVAtmModelUtils::ActionTypeOf(staticMetaObject);
}

void KAVAtmCloseFileActionDef::FromJson(const QJsonObject &json)
{
    KAVAtmTestActionDef::FromJson(json);
    d->filePath = json.value(QLatin1String("file")).toString();
    d->saveBeforeClose = json.value(QLatin1String("saveBeforeClose")).toBool(false);
    d->forceSaveAs = json.value(QLatin1String("forceSaveAs")).toBool(false);
}

QJsonObject KAVAtmCloseFileActionDef::ToJson() const
{
    QJsonObject json = KAVAtmTestActionDef::ToJson();
    if (!d->filePath.isEmpty())
        json.insert(QLatin1String("file"), d->filePath);
    json.insert(QLatin1String("saveBeforeClose"), d->saveBeforeClose);
    json.insert(QLatin1String("forceSaveAs"), d->forceSaveAs);
    return json;
}

QString KAVAtmCloseFileActionDef::GetFilePath() const
{
    return d->filePath;
}

void KAVAtmCloseFileActionDef::SetFilePath(const QString &filePath)
{
    d->filePath = filePath;
}

bool KAVAtmCloseFileActionDef::IsSaveBeforeClose() const
{
    return d->saveBeforeClose;
}

void KAVAtmCloseFileActionDef::SetIsSaveBeforeClose(bool saveBeforeClose)
{
    d->saveBeforeClose = saveBeforeClose;
}

bool KAVAtmCloseFileActionDef::IsForceSaveAs() const
{
    return d->forceSaveAs;
}

void KAVAtmCloseFileActionDef::SetIsForceSaveAs(bool forceSaveAs)
{
    d->forceSaveAs = forceSaveAs;
}
