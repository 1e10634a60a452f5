#ifndef KAVATMAUTOMATIONCASEMANAGER_H
#define KAVATMAUTOMATIONCASEMANAGER_H

#include "kavatmenums.h"

#include <QtCore/QObject>
#include <QtCore/QStringList>
#include <QtCore/QUuid>
#include <QtQml/QJSValue>

#include <limits>
#include <memory>

class KAVAtmAutomationCaseManagerPrivate;
class KAVAtmExecuteScriptActionDef;
class KAVAtmTestActionResult;

// The script test cases of a host process, run one at a time: each is registered with its
// definition (whose script function the case runner calls), queued, started through the
// embedded "kavExecutor" module, timed out, and finished with the result the script recorded.
// Scripts reach it as the global "kavAtmAutomationCaseManager". Creating it loads the embedded
// modules into the shared engine and publishes the UI helper as "uiHelper".
class KAVAUTOMATION_EXPORT KAVAtmAutomationCaseManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList categories READ GetCategories)
    Q_PROPERTY(QStringList testCases READ GetTestCases)
    Q_PROPERTY(QString currentExecutingCase READ GetCurrentExecutingCase)
public:
    // Created on first use; gone with the application object.
    static KAVAtmAutomationCaseManager *GetManager();
    ~KAVAtmAutomationCaseManager() override;

    // The key is the id as braced text; a case already under it is replaced.
    QString RegisterCase(const QUuid &id, KAVAtmExecuteScriptActionDef *def);
    // Null for an unknown key.
    KAVAtmTestActionResult *GetCaseInfo(const QString &key) const;
    KAVAtmEnums::ExecutionStatus GetStatus(const QString &key) const;

    Q_INVOKABLE void ClearCase(const QString &key);
    Q_INVOKABLE void ClearCases(const QString &category = QString(),
                                const QString &testCaseName = QString());
    // Only when exactly one case matches.
    Q_INVOKABLE void RemoveCase(const QString &category, const QString &testCaseName);
    Q_INVOKABLE QStringList GetCategories() const;
    Q_INVOKABLE QStringList GetTestCases(const QString &category = QString()) const;
    // Writes the matching cases' results as a JSON array, atomically, then deletes those cases;
    // a failed write keeps them and returns false, with the reason logged.
    Q_INVOKABLE bool SaveResultsToFile(const QString &filePath, const QString &category = QString(),
                                       const QString &testCaseName = QString());
    Q_INVOKABLE QString GetCurrentExecutingCase() const;
    // A result that is not one of the ExecutionResult numbers records a Fail that names it.
    Q_INVOKABLE void RecordResult(const QString &key, const QJSValue &result,
                                  const QString &detail = QString(),
                                  const QString &outputData = QString());
    // A Fail with where the script failed, when the error thrown says.
    Q_INVOKABLE void RecordFailure(const QString &key, const QString &detail,
                                   const QJSValue &error);
    // True for a case that no longer exists too: a polling loop must stop.
    Q_INVOKABLE bool ShouldBreak(const QString &key) const;
    Q_INVOKABLE void CancelExecutingCase();
    Q_INVOKABLE void StopExecution();
    Q_INVOKABLE bool IsExecuting() const;

    // Ends the executing case as timed out, keeping what it recorded beside the time-out
    // message; nothing happens for a case that does not execute.
    void TimeOutCase(const QString &key);

    // How long past its time-out a script may still run before the engine stops it.
    static constexpr qint64 StopGrace = 250;

    // The longest case time-out a timer can hold; longer ones are clamped to it.
    static constexpr qint64 MaximumTimeout = std::numeric_limits<int>::max() / 1000;

public Q_SLOTS:
    void Execute(const QString &category = QString(), const QString &testCaseName = QString());
    void ExecuteCase(const QString &key);
    void FinishCase(const QJSValue &context);
    void FinishCase(const QString &key, const QJSValue &context);

Q_SIGNALS:
    void TestCaseStarting(const QString &key);
    void TestCaseCompleted(const QString &key);
    void TestCaseCancelled(const QString &key);

private:
    KAVAtmAutomationCaseManager();

    friend class KAVAtmAutomationCaseManagerPrivate;
    const std::unique_ptr<KAVAtmAutomationCaseManagerPrivate> d;
};

#endif // KAVATMAUTOMATIONCASEMANAGER_H
