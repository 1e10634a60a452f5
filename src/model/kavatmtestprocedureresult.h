#ifndef KAVATMTESTPROCEDURERESULT_H
#define KAVATMTESTPROCEDURERESULT_H

#include "kavautomation_export.h"

#include <QtCore/QDateTime>
#include <QtCore/QJsonObject>
#include <QtCore/QList>
#include <QtCore/QUuid>

#include <memory>

class KAVAtmTestActionResult;
class KAVAtmTestProcedureDef;
class KAVAtmTestProcedureResultPrivate;

// One execution of one procedure: an action result per action, in order. The procedure
// result owns its action results, also those added later.
class KAVAUTOMATION_EXPORT KAVAtmTestProcedureResult {
public:
    explicit KAVAtmTestProcedureResult(const KAVAtmTestProcedureDef *procedureDef);
    ~KAVAtmTestProcedureResult();

    QUuid GetId() const;
    const KAVAtmTestProcedureDef *GetProcedureDef() const;
    QDateTime GetStartTime() const;
    QDateTime GetEndTime() const;
    void RecordStartTime();
    void RecordFinishTime();

    QList<KAVAtmTestActionResult *> GetActionResults() const;
    // Takes ownership; a result already in the list is left alone.
    void AddActionResult(KAVAtmTestActionResult *actionResult, int index);
    // Whether an action before this one ended with Fail.
    bool HasFailedActionBefore(const KAVAtmTestActionResult *actionResult) const;

    // Which run of its procedure this is in the runner's session, from 1 (a retry, a repeat).
    int GetAttempt() const;
    void SetAttempt(int attempt);

    // The page of the attempt's step trace, relative to the report's folder ("trace"); empty
    // when none is kept.
    QString GetTracePath() const;
    void SetTracePath(const QString &path);

    QJsonObject ToJson() const;

private:
    Q_DISABLE_COPY(KAVAtmTestProcedureResult)
    const std::unique_ptr<KAVAtmTestProcedureResultPrivate> d;
};

#endif // KAVATMTESTPROCEDURERESULT_H
