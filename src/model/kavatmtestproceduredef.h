#ifndef KAVATMTESTPROCEDUREDEF_H
#define KAVATMTESTPROCEDUREDEF_H

#include "kavatmtestdefbase.h"

#include <QtCore/QList>
#include <QtCore/QString>

class KAVAtmTestActionDef;
class KAVAtmTestProcedureDefPrivate;
class KAVAtmTestProcedureResult;

// A test procedure: an ordered list of actions read from and written to a procedure file.
// A file that cannot be read gives a procedure with an invalid reason, never null.
class KAVAUTOMATION_EXPORT KAVAtmTestProcedureDef : public KAVAtmTestDefBase {
public:
    static const QString SchemaId;
    // Larger procedure files are refused unread.
    static constexpr qint64 MaximumFileSize = 16 * 1024 * 1024;

    // A new procedure, to be filled in code: label and name come from the file's base name.
    explicit KAVAtmTestProcedureDef(const QString &filePath);
    ~KAVAtmTestProcedureDef() override;

    // The caller owns the result.
    static KAVAtmTestProcedureDef *FromJsonFile(const QString &filePath);
    // Writes to filePath, or to the procedure's own file when it is empty. A failed write leaves
    // the previous file whole and says why in errorString.
    bool SaveToJsonFile(const QString &filePath = QString(), QString *errorString = nullptr);

    QString GetFilePath() const;
    QString GetInvalidReason() const;
    QString GetName() const;
    void SetName(const QString &name);
    QString GetLabel() const;
    void SetLabel(const QString &label);
    qint32 GetVersion() const;
    // The absolute path of the directory that holds the procedure file.
    QString GetDirPath() const;

    QList<KAVAtmTestActionDef *> GetActions() const;
    int GetActionsCount() const;
    KAVAtmTestActionDef *GetAction(int index) const;
    int GetActionIndex(KAVAtmTestActionDef &action) const;
    // Takes ownership; an action already in the list is left alone.
    void AddTestActionDef(KAVAtmTestActionDef &action, int index);
    void RemoveTestActionDef(KAVAtmTestActionDef &action, bool deleteAction);

    bool IsChanged() const override;

    // A new result for one execution, owned by the caller.
    KAVAtmTestProcedureResult *CreateResult() const;

protected:
    KAVAtmTestProcedureDef();

private:
    const std::unique_ptr<KAVAtmTestProcedureDefPrivate> d;
};

#endif // KAVATMTESTPROCEDUREDEF_H
