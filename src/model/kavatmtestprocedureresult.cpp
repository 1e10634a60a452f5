#include "kavatmtestprocedureresult.h"
#include "kavatmtestactionresult.h"
#include "kavatmtestproceduredef.h"

#include <QtCore/QJsonArray>

class KAVAtmTestProcedureResultPrivate {
public:
    const KAVAtmTestProcedureDef *procedureDef = nullptr;
    QUuid id = QUuid::createUuid();
    QDateTime startTime;
    QDateTime endTime;
    QList<KAVAtmTestActionResult *> actionResults;
    QString tracePath;
    int attempt = 1;
};

KAVAtmTestProcedureResult::KAVAtmTestProcedureResult(const KAVAtmTestProcedureDef *procedureDef)
    : d(new KAVAtmTestProcedureResultPrivate)
{
    d->procedureDef = procedureDef;
    if (!procedureDef)
        return;
    for (const KAVAtmTestActionDef *action : procedureDef->GetActions())
        d->actionResults.append(new KAVAtmTestActionResult(action, this));
}

KAVAtmTestProcedureResult::~KAVAtmTestProcedureResult()
{
    qDeleteAll(d->actionResults);
}

QUuid KAVAtmTestProcedureResult::GetId() const
{
    return d->id;
}

const KAVAtmTestProcedureDef *KAVAtmTestProcedureResult::GetProcedureDef() const
{
    return d->procedureDef;
}

QDateTime KAVAtmTestProcedureResult::GetStartTime() const
{
    return d->startTime;
}

QDateTime KAVAtmTestProcedureResult::GetEndTime() const
{
    return d->endTime;
}

void KAVAtmTestProcedureResult::RecordStartTime()
{
    d->startTime = QDateTime::currentDateTimeUtc();
}

void KAVAtmTestProcedureResult::RecordFinishTime()
{
    d->endTime = QDateTime::currentDateTimeUtc();
}

QList<KAVAtmTestActionResult *> KAVAtmTestProcedureResult::GetActionResults() const
{
    return d->actionResults;
}

void KAVAtmTestProcedureResult::AddActionResult(KAVAtmTestActionResult *actionResult, int index)
{
    if (!actionResult || d->actionResults.contains(actionResult))
        return;
    d->actionResults.insert(qBound(0, index, int(d->actionResults.size())), actionResult);
}

bool KAVAtmTestProcedureResult::HasFailedActionBefore(
    const KAVAtmTestActionResult *actionResult) const
{
    const qsizetype position
        = d->actionResults.indexOf(const_cast<KAVAtmTestActionResult *>(actionResult));
    for (qsizetype i = 0; i < position; ++i) {
        if (d->actionResults.at(i)->GetResult() == KAVAtmEnums::Fail)
            return true;
    }
    return false;
}

int KAVAtmTestProcedureResult::GetAttempt() const
{
    return d->attempt;
}

void KAVAtmTestProcedureResult::SetAttempt(int attempt)
{
    d->attempt = qMax(1, attempt);
}

QString KAVAtmTestProcedureResult::GetTracePath() const
{
    return d->tracePath;
}

void KAVAtmTestProcedureResult::SetTracePath(const QString &path)
{
    d->tracePath = path;
}

QJsonObject KAVAtmTestProcedureResult::ToJson() const
{
    const QString format = KAVAtmTestActionResult::TimeFormat;
    QJsonArray actions;
    for (const KAVAtmTestActionResult *action : std::as_const(d->actionResults))
        actions.append(action->ToJson());
    QJsonObject json;
    json.insert(QLatin1String("id"), d->id.toString(QUuid::WithBraces));
    json.insert(QLatin1String("startTime"),
                d->startTime.isValid() ? d->startTime.toString(format) : QString());
    json.insert(QLatin1String("endTime"),
                d->endTime.isValid() ? d->endTime.toString(format) : QString());
    json.insert(QLatin1String("actionResults"), actions);
    if (!d->tracePath.isEmpty())
        json.insert(QLatin1String("trace"), d->tracePath);
    if (d->attempt > 1)
        json.insert(QLatin1String("attempt"), d->attempt);
    return json;
}
