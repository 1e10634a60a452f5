#include "kavatmtestactionresult.h"
#include "kavatmmodelutils_p.h"
#include "kavatmtestactiondef.h"

#include <QtCore/QJsonValue>

const QString KAVAtmTestActionResult::TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");

class KAVAtmTestActionResultPrivate {
public:
    const KAVAtmTestActionDef *actionDef = nullptr;
    const KAVAtmTestProcedureResult *parent = nullptr;
    QString actionType;
    QUuid id;
    QDateTime startTime;
    QDateTime endTime;
    KAVAtmEnums::ExecutionStatus status = KAVAtmEnums::Pending;
    KAVAtmEnums::ExecutionResult result = KAVAtmEnums::Unknown;
    QString details;
    QString data;
};

KAVAtmTestActionResult::KAVAtmTestActionResult(const QUuid &id,
                                               const KAVAtmTestActionDef *actionDef,
                                               const KAVAtmTestProcedureResult *parent)
    : d(new KAVAtmTestActionResultPrivate)
{
    d->id = id;
    d->actionDef = actionDef;
    d->parent = parent;
}

KAVAtmTestActionResult::KAVAtmTestActionResult(const KAVAtmTestActionDef *actionDef,
                                               const KAVAtmTestProcedureResult *parent)
    : KAVAtmTestActionResult(QUuid::createUuid(), actionDef, parent)
{
}

KAVAtmTestActionResult::~KAVAtmTestActionResult() = default;

QUuid KAVAtmTestActionResult::GetId() const
{
    return d->id;
}

const KAVAtmTestActionDef *KAVAtmTestActionResult::GetActionDef() const
{
    return d->actionDef;
}

const KAVAtmTestProcedureResult *KAVAtmTestActionResult::GetParentProcedureResult() const
{
    return d->parent;
}

QString KAVAtmTestActionResult::GetActionType() const
{
    return d->actionDef ? d->actionDef->GetType() : d->actionType;
}

KAVAtmEnums::ExecutionStatus KAVAtmTestActionResult::GetStatus() const
{
    return d->status;
}

void KAVAtmTestActionResult::SetStatus(KAVAtmEnums::ExecutionStatus status)
{
    d->status = status;
}

KAVAtmEnums::ExecutionResult KAVAtmTestActionResult::GetResult() const
{
    return d->result;
}

void KAVAtmTestActionResult::SetResult(KAVAtmEnums::ExecutionResult result)
{
    d->result = result;
}

QString KAVAtmTestActionResult::GetDetails() const
{
    return d->details;
}

void KAVAtmTestActionResult::SetDetails(const QString &details)
{
    d->details = details;
}

QString KAVAtmTestActionResult::GetData() const
{
    return d->data;
}

void KAVAtmTestActionResult::SetData(const QString &data)
{
    d->data = data;
}

QDateTime KAVAtmTestActionResult::GetStartTime() const
{
    return d->startTime;
}

QDateTime KAVAtmTestActionResult::GetEndTime() const
{
    return d->endTime;
}

void KAVAtmTestActionResult::RecordStartTime()
{
    d->startTime = QDateTime::currentDateTimeUtc();
}

void KAVAtmTestActionResult::RecordFinishTime()
{
    d->endTime = QDateTime::currentDateTimeUtc();
}

QJsonObject KAVAtmTestActionResult::ToJson() const
{
    QJsonObject json;
    if (d->actionDef)
        json.insert(QLatin1String("actionType"), d->actionDef->GetType());
    json.insert(QLatin1String("id"), d->id.toString(QUuid::WithBraces));
    json.insert(QLatin1String("status"), int(d->status));
    json.insert(QLatin1String("statusStr"), KAVAtmEnums::GetExecutionStatusEnumText(d->status));
    json.insert(QLatin1String("result"), int(d->result));
    json.insert(QLatin1String("resultStr"), KAVAtmEnums::GetExecutionResultEnumText(d->result));
    if (!d->details.isEmpty())
        json.insert(QLatin1String("details"), d->details);
    if (!d->data.isEmpty())
        json.insert(QLatin1String("data"), d->data);
    if (d->startTime.isValid())
        json.insert(QLatin1String("startTime"), d->startTime.toString(TimeFormat));
    if (d->endTime.isValid())
        json.insert(QLatin1String("endTime"), d->endTime.toString(TimeFormat));
    return json;
}

void KAVAtmTestActionResult::FromJson(const QJsonValue &value, bool checkId)
{
    if (!value.isObject())
        return;
    const QJsonObject json = value.toObject();
    const QString keyId = QStringLiteral("id");

    if (checkId) {
        if (json.value(keyId).toString() != d->id.toString(QUuid::WithBraces))
            return;
    } else if (json.contains(keyId)) {
        d->id = QUuid::fromString(json.value(keyId).toString());
    }

    if (json.contains(QLatin1String("actionType")))
        d->actionType = json.value(QLatin1String("actionType")).toString();
    if (json.contains(QLatin1String("status"))) {
        d->status = KAVAtmEnums::ExecutionStatus(
            KAVAtmModelUtils::ToInt32(json.value(QLatin1String("status")), 0));
    }
    if (json.contains(QLatin1String("result"))) {
        d->result = KAVAtmEnums::ExecutionResult(
            KAVAtmModelUtils::ToInt32(json.value(QLatin1String("result")), 0));
    }
    if (json.contains(QLatin1String("details")))
        d->details = json.value(QLatin1String("details")).toString();
    if (json.contains(QLatin1String("data")))
        d->data = json.value(QLatin1String("data")).toString();
    if (json.contains(QLatin1String("startTime"))) {
        d->startTime
            = KAVAtmModelUtils::ParseUtcTime(json.value(QLatin1String("startTime")).toString());
    }
    if (json.contains(QLatin1String("endTime"))) {
        d->endTime
            = KAVAtmModelUtils::ParseUtcTime(json.value(QLatin1String("endTime")).toString());
    }
}
