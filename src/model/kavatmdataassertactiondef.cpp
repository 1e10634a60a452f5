#include "kavatmdataassertactiondef.h"
#include "kavatmmodelutils_p.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>

class KAVAtmDataAssertActionDefPrivate {
public:
    QString baselineJson;
    QString configJson;
    bool strict = false;
};

KAVAtmDataAssertActionDef::KAVAtmDataAssertActionDef() : d(new KAVAtmDataAssertActionDefPrivate) { }

KAVAtmDataAssertActionDef::~KAVAtmDataAssertActionDef() = default;

QByteArray KAVAtmDataAssertActionDef::GetActionName()
{
    return KAVAtmModelUtils::ActionTypeOf(staticMetaObject);
}

void KAVAtmDataAssertActionDef::FromJson(const QJsonObject &json)
{
    KAVAtmTestActionDef::FromJson(json);

    // Properties that differ on every run and would make every comparison fail.
    QJsonArray ignoreProps {QStringLiteral("nestingColor"), QStringLiteral("internalName"),
                            QStringLiteral("resultFile"),   QStringLiteral("modifyIdentifier"),
                            QStringLiteral("url"),          QStringLiteral("time"),
                            QStringLiteral("date")};
    for (const QJsonValue &value : json.value(QLatin1String("ignoreProps")).toArray())
        ignoreProps.append(value);

    d->baselineJson = LoadBaseline(json);
    d->strict = json.value(QLatin1String("strict")).toBool(false);

    QJsonObject config;
    config.insert(QLatin1String("ignoreProps"), ignoreProps);
    if (json.contains(QLatin1String("ignoreClassProps")))
        config.insert(QLatin1String("ignoreClassProps"),
                      json.value(QLatin1String("ignoreClassProps")));
    d->configJson = QString::fromUtf8(QJsonDocument(config).toJson(QJsonDocument::Indented));
}

QString KAVAtmDataAssertActionDef::GetBaselineJsonString() const
{
    return d->baselineJson;
}

QString KAVAtmDataAssertActionDef::GetConfigJsonString() const
{
    return d->configJson;
}

bool KAVAtmDataAssertActionDef::IsStrict() const
{
    return d->strict;
}
