#include "kavatmrecordingactiondef.h"
#include "kavatmmodelutils_p.h"

namespace {
const QString DefaultCommand = QStringLiteral("stop");
}

class KAVAtmRecordingActionDefPrivate {
public:
    QString command = DefaultCommand;
};

KAVAtmRecordingActionDef::KAVAtmRecordingActionDef() : d(new KAVAtmRecordingActionDefPrivate) { }

KAVAtmRecordingActionDef::~KAVAtmRecordingActionDef() = default;

QByteArray KAVAtmRecordingActionDef::GetActionName()
{
    return KAVAtmModelUtils::ActionTypeOf(staticMetaObject);
}

void KAVAtmRecordingActionDef::FromJson(const QJsonObject &json)
{
    KAVAtmTestActionDef::FromJson(json);
    d->command = json.value(QLatin1String("command")).toString(DefaultCommand).toLower();
}

QJsonObject KAVAtmRecordingActionDef::ToJson() const
{
    QJsonObject json = KAVAtmTestActionDef::ToJson();
    json.insert(QLatin1String("command"), d->command);
    return json;
}

QString KAVAtmRecordingActionDef::GetCommand() const
{
    return d->command;
}

void KAVAtmRecordingActionDef::SetCommand(const QString &command)
{
    d->command = command;
}
