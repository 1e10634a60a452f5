#include "kavatmexecutescriptactiondef.h"
#include "kavatmmodelutils_p.h"

#include <QtCore/QJsonArray>

using namespace KAVAtmModelUtils;

class KAVAtmExecuteScriptActionDefPrivate {
public:
    QString scriptFilePath;
    KAVAtmExecuteScriptActionDef::ImportModules importModules;
    QString category;
    QString description;
    QString baseline;
    QJSValue scriptFunction;
};

KAVAtmExecuteScriptActionDef::KAVAtmExecuteScriptActionDef()
    : d(new KAVAtmExecuteScriptActionDefPrivate)
{
}

KAVAtmExecuteScriptActionDef::~KAVAtmExecuteScriptActionDef() = default;

QByteArray KAVAtmExecuteScriptActionDef::GetActionName()
{
    return KAVAtmModelUtils::ActionTypeOf(staticMetaObject);
}

void KAVAtmExecuteScriptActionDef::FromJson(const QJsonObject &json)
{
    KAVAtmTestActionDef::FromJson(json);

    d->scriptFilePath = json.value(QLatin1String("script")).toString();
    d->category = json.value(QLatin1String("category")).toString();
    d->description = json.value(QLatin1String("description")).toString();

    const QString procedureDir = ProcedureDir(json.value(QLatin1String("procedurePath")));
    d->importModules.clear();
    for (const QJsonValue &value : json.value(QLatin1String("importModules")).toArray()) {
        if (!value.isObject())
            continue;
        const QJsonObject module = value.toObject();
        d->importModules.insert(
            module.value(QLatin1String("file")).toString(),
            {module.value(QLatin1String("namespace")).toString(),
             module.value(QLatin1String("loadType")).toString(QStringLiteral("evaluate"))});
    }

    if (!d->scriptFilePath.isEmpty())
        d->scriptFilePath = ResolveAgainst(procedureDir, d->scriptFilePath);

    d->baseline = LoadBaseline(json);
}

QString KAVAtmExecuteScriptActionDef::GetScriptFilePath() const
{
    return d->scriptFilePath;
}

KAVAtmExecuteScriptActionDef::ImportModules KAVAtmExecuteScriptActionDef::GetImportModules() const
{
    return d->importModules;
}

QString KAVAtmExecuteScriptActionDef::GetCategory() const
{
    return d->category;
}

QString KAVAtmExecuteScriptActionDef::GetDescription() const
{
    return d->description;
}

QString KAVAtmExecuteScriptActionDef::GetBaseline() const
{
    return d->baseline;
}

QJSValue KAVAtmExecuteScriptActionDef::GetScriptFunction() const
{
    return d->scriptFunction;
}

void KAVAtmExecuteScriptActionDef::SetScriptFunction(const QJSValue &function)
{
    d->scriptFunction = function;
}
