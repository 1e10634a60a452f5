#ifndef KAVATMEXECUTESCRIPTACTIONDEF_H
#define KAVATMEXECUTESCRIPTACTIONDEF_H

#include "kavatmtestactiondef.h"

#include <QtCore/QHash>
#include <QtCore/QPair>
#include <QtQml/QJSValue>

class KAVAtmExecuteScriptActionDefPrivate;

// Runs a script test case: the script file, the modules it imports and its baseline.
class KAVAUTOMATION_EXPORT KAVAtmExecuteScriptActionDef : public KAVAtmTestActionDef {
    Q_OBJECT
    Q_CLASSINFO("actionType", "ExecuteScript")
public:
    // Module file -> (namespace, load type).
    using ImportModules = QHash<QString, QPair<QString, QString>>;

    Q_INVOKABLE KAVAtmExecuteScriptActionDef();
    ~KAVAtmExecuteScriptActionDef() override;

    static QByteArray GetActionName();

    void FromJson(const QJsonObject &json) override;

    // Absolute once read: a relative "script" is resolved against the procedure's directory.
    QString GetScriptFilePath() const;
    ImportModules GetImportModules() const;
    QString GetCategory() const;
    QString GetDescription() const;
    QString GetBaseline() const;

    // The function the script file evaluated to.
    QJSValue GetScriptFunction() const;
    void SetScriptFunction(const QJSValue &function);

private:
    const std::unique_ptr<KAVAtmExecuteScriptActionDefPrivate> d;
};

#endif // KAVATMEXECUTESCRIPTACTIONDEF_H
