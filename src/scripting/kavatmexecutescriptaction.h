#ifndef KAVATMEXECUTESCRIPTACTION_H
#define KAVATMEXECUTESCRIPTACTION_H

#include "kavatmexecutescriptactiondef.h"
#include "kavatmtestactionbase.h"

class QJSValue;

class KAVAtmExecuteScriptActionPrivate;

// Runs a script file as a script test case: the file's text is one function expression, called
// by the case manager with the case context and a completion callback. The action ends with the
// case's result; a cancelled case fails it, and an action that ends first (its time-out)
// cancels and clears its case.
class KAVAUTOMATION_EXPORT KAVAtmExecuteScriptAction : public KAVAtmTestActionBase {
    Q_OBJECT
public:
    Q_INVOKABLE KAVAtmExecuteScriptAction(KAVAtmPlatform &platform, const QUuid &id,
                                          const QJsonValue &data);
    ~KAVAtmExecuteScriptAction() override;

    static QByteArray GetActionName();

    void Execute() override;

protected:
    void Cleanup() override;

    void OnTimeout() override;

private:
    void ReportStopped();
    // A failure with where the script failed.
    void ReportScriptError(const QString &details, const QJSValue &error);

    Q_DECLARE_PRIVATE(KAVAtmExecuteScriptAction)
};

#endif // KAVATMEXECUTESCRIPTACTION_H
