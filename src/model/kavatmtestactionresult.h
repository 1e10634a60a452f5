#ifndef KAVATMTESTACTIONRESULT_H
#define KAVATMTESTACTIONRESULT_H

#include "kavatmenums.h"

#include <QtCore/QDateTime>
#include <QtCore/QJsonObject>
#include <QtCore/QUuid>

#include <memory>

class KAVAtmTestActionDef;
class KAVAtmTestActionResultPrivate;
class KAVAtmTestProcedureResult;

// How one execution of one action went: status, outcome, details, data and times.
class KAVAUTOMATION_EXPORT KAVAtmTestActionResult {
public:
    static const QString TimeFormat;

    KAVAtmTestActionResult(const QUuid &id, const KAVAtmTestActionDef *actionDef,
                           const KAVAtmTestProcedureResult *parent);
    // With a new random id.
    KAVAtmTestActionResult(const KAVAtmTestActionDef *actionDef,
                           const KAVAtmTestProcedureResult *parent);
    ~KAVAtmTestActionResult();

    QUuid GetId() const;
    const KAVAtmTestActionDef *GetActionDef() const;
    const KAVAtmTestProcedureResult *GetParentProcedureResult() const;
    // The definition's type, or the "actionType" read from JSON when there is no definition.
    QString GetActionType() const;

    KAVAtmEnums::ExecutionStatus GetStatus() const;
    void SetStatus(KAVAtmEnums::ExecutionStatus status);
    KAVAtmEnums::ExecutionResult GetResult() const;
    void SetResult(KAVAtmEnums::ExecutionResult result);
    QString GetDetails() const;
    void SetDetails(const QString &details);
    QString GetData() const;
    void SetData(const QString &data);

    QDateTime GetStartTime() const;
    QDateTime GetEndTime() const;
    void RecordStartTime();
    void RecordFinishTime();

    QJsonObject ToJson() const;
    // With checkId, only an object carrying this result's own id is read.
    void FromJson(const QJsonValue &value, bool checkId);

private:
    Q_DISABLE_COPY(KAVAtmTestActionResult)
    const std::unique_ptr<KAVAtmTestActionResultPrivate> d;
};

#endif // KAVATMTESTACTIONRESULT_H
