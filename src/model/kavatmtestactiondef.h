#ifndef KAVATMTESTACTIONDEF_H
#define KAVATMTESTACTIONDEF_H

#include "kavatmenums.h"
#include "kavatmtestdefbase.h"

#include <QtCore/QJsonObject>

class KAVAtmTestActionDefPrivate;
class KAVAtmTestProcedureDef;

// One action of a procedure: its type, name, platform, time-out, whether it runs after an
// earlier failure, and the JSON it was read from. Typed definitions add their own keys and
// name their type in the class information "actionType".
class KAVAUTOMATION_EXPORT KAVAtmTestActionDef : public KAVAtmTestDefBase {
    Q_OBJECT
public:
    static constexpr qint32 DefaultTimeout = 300;
    // A baseline larger than any message could carry is no baseline.
    static constexpr qint64 MaximumBaselineSize = 64 * 1024 * 1024;

    explicit KAVAtmTestActionDef(const KAVAtmTestProcedureDef *parentProcedure = nullptr);
    ~KAVAtmTestActionDef() override;

    // Never fails: missing or ill-typed keys keep their defaults.
    virtual void FromJson(const QJsonObject &json);
    virtual QJsonObject ToJson() const;
    virtual void SetPlatform(KAVAtmEnums::Platform platform);

    KAVAtmEnums::Platform GetPlatform() const;
    QString GetName() const;
    void SetName(const QString &name);
    // Seconds; 0 means no time-out.
    qint64 GetTimeout() const;
    void SetTimeout(qint64 timeout);
    bool IsAlwaysExecute() const;
    void SetIsAlwaysExecute(bool alwaysExecute);
    const KAVAtmTestProcedureDef *GetParentProcedureDef() const;

    // The "action" key, or the class's "actionType" when none was read.
    QString GetType() const;

    // What is executed: the JSON read, with "procedurePath" added for a procedure's action.
    // A definition never read from JSON reports (and keeps) its first ToJson().
    QJsonObject GetData() const;
    // The JSON exactly as read; the same fallback as GetData().
    QJsonObject GetOriginalData() const;

    // Why the baseline file named in the JSON could not be used (empty, not a regular file,
    // too large, unreadable); empty when it was read or does not exist yet.
    QString GetBaselineError() const;
    // Where the baseline named in the JSON was looked for; empty when none is named.
    QString GetBaselinePath() const;

protected:
    // The content of the file named by json["baseline"], relative to json["procedurePath"]
    // (or to the application's directory), or the empty text.
    QString LoadBaseline(const QJsonObject &json) const;

private:
    friend class KAVAtmTestProcedureDef;
    // What a procedure file holds for the action: the JSON read, or the current form of one
    // built in code. Unlike GetOriginalData() it never freezes that form.
    QJsonObject GetSavedForm() const;

    const std::unique_ptr<KAVAtmTestActionDefPrivate> d;
};

#endif // KAVATMTESTACTIONDEF_H
