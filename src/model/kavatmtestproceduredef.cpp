#include "kavatmtestproceduredef.h"
#include "kavatmlogging_p.h"
#include "kavatmreadfile.h"
#include "kavatmsavefile.h"
#include "kavatmtestactiondef.h"
#include "kavatmtestprocedureresult.h"

#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QRegularExpression>
#include <QtCore/QUuid>

const QString KAVAtmTestProcedureDef::SchemaId
    = QStringLiteral("com.brightel.kav.automation.procedure");

namespace {
const QString KeySchema = QStringLiteral("schema");
const QString KeyName = QStringLiteral("name");
const QString KeyLabel = QStringLiteral("label");
const QString KeyActions = QStringLiteral("actions");
} // namespace

class KAVAtmTestProcedureDefPrivate {
public:
    QString filePath;
    QString invalidReason;
    QString name;
    QString label;
    qint32 version = 1;
    QList<KAVAtmTestActionDef *> actions;
};

KAVAtmTestProcedureDef::KAVAtmTestProcedureDef() : d(new KAVAtmTestProcedureDefPrivate) { }

KAVAtmTestProcedureDef::KAVAtmTestProcedureDef(const QString &filePath)
    : d(new KAVAtmTestProcedureDefPrivate)
{
    static const QRegularExpression nonWord(QStringLiteral("[\\W]"));
    d->filePath = filePath;
    d->label = QFileInfo(filePath).completeBaseName();
    d->name = QString(d->label).remove(nonWord);
    SetChanged(true);
}

KAVAtmTestProcedureDef::~KAVAtmTestProcedureDef()
{
    qDeleteAll(d->actions);
}

KAVAtmTestProcedureDef *KAVAtmTestProcedureDef::FromJsonFile(const QString &filePath)
{
    auto *procedure = new KAVAtmTestProcedureDef;
    KAVAtmTestProcedureDefPrivate *p = procedure->d.get();

    QByteArray content;
    QString reason;
    switch (KAVAtmReadFile::Read(filePath, MaximumFileSize, &content, &reason)) {
    case KAVAtmReadFile::Outcome::Read:
        break;
    case KAVAtmReadFile::Outcome::Missing:
        p->invalidReason = QStringLiteral(
            "[KAVAtmTestProcedureDef] The procedure definition file does not exist.");
        return procedure;
    case KAVAtmReadFile::Outcome::Unreadable:
        p->invalidReason
            = QStringLiteral("[KAVAtmTestProcedureDef] Failed to open procedure file: ") + filePath;
        return procedure;
    case KAVAtmReadFile::Outcome::NotRegular:
    case KAVAtmReadFile::Outcome::TooLarge:
        p->invalidReason = QStringLiteral("[KAVAtmTestProcedureDef] ") + reason;
        return procedure;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(content, &error);
    if (error.error != QJsonParseError::NoError) {
        p->invalidReason
            = QStringLiteral("[KAVAtmTestProcedureDef] Json parse error: ") + error.errorString();
        return procedure;
    }
    if (!document.isObject()) {
        p->invalidReason
            = QStringLiteral("[KAVAtmTestProcedureDef] Json document root is not an object.");
        return procedure;
    }

    p->filePath = filePath;
    const QJsonObject root = document.object();

    const QString schema = root.value(KeySchema).toString();
    if (!schema.startsWith(SchemaId)) {
        p->invalidReason = QStringLiteral(
            "[KAVAtmTestProcedureDef] The data is not a valid test procedure definition.");
        return procedure;
    }
    bool ok = false;
    // The version follows the one prefix, as the procedure check reads it: a doubled schema
    // text is no version.
    const qint32 version = schema.startsWith(SchemaId + QLatin1Char(':'))
        ? schema.mid(SchemaId.size() + 1).toInt(&ok, 10)
        : 0;
    if (!ok) {
        p->invalidReason = QStringLiteral("[KAVAtmTestProcedureDef] Invalid schema version.");
        return procedure;
    }
    p->version = version;

    const QJsonValue name = root.value(KeyName);
    // Without a name of its own, the file's: result folders, history and JUnit keys stay the
    // same from run to run.
    p->name = name.isString() ? name.toString() : QFileInfo(filePath).completeBaseName();
    p->label = root.value(KeyLabel).toString();

    const QJsonValue actions = root.value(KeyActions);
    if (actions.isArray()) {
        for (const QJsonValue &element : actions.toArray()) {
            auto *action = new KAVAtmTestActionDef(procedure);
            action->FromJson(element.toObject());
            p->actions.append(action);
        }
    }
    return procedure;
}

bool KAVAtmTestProcedureDef::SaveToJsonFile(const QString &filePath, QString *errorString)
{
    const QString target = filePath.isEmpty() ? d->filePath : filePath;

    QJsonArray actions;
    for (const KAVAtmTestActionDef *action : std::as_const(d->actions))
        actions.append(action->GetSavedForm());
    QJsonObject root;
    root.insert(KeySchema, SchemaId + QLatin1Char(':') + QString::number(d->version));
    root.insert(KeyName, d->name);
    root.insert(KeyLabel, d->label);
    root.insert(KeyActions, actions);

    QString error;
    if (target.isEmpty()) {
        error = QStringLiteral("The procedure has no file to save to.");
    } else {
        switch (KAVAtmSaveFile::Write(target, QJsonDocument(root).toJson(QJsonDocument::Indented),
                                      &error)) {
        case KAVAtmSaveFile::Outcome::Saved:
            SetChanged(false);
            return true;
        case KAVAtmSaveFile::Outcome::OpenFailed:
            qCDebug(lcModel) << "[KAVAtmTestProcedureDef] Failed to open the file to write. May be "
                                "you do not have permission on it.";
            break;
        case KAVAtmSaveFile::Outcome::WriteFailed:
            break;
        }
    }
    qCDebug(lcModel).noquote() << "[KAVAtmTestProcedureDef] Failed to write the procedure file"
                               << target << ':' << error;
    if (errorString)
        *errorString = error;
    return false;
}

QString KAVAtmTestProcedureDef::GetFilePath() const
{
    return d->filePath;
}

QString KAVAtmTestProcedureDef::GetInvalidReason() const
{
    return d->invalidReason;
}

QString KAVAtmTestProcedureDef::GetName() const
{
    return d->name;
}

void KAVAtmTestProcedureDef::SetName(const QString &name)
{
    if (name == d->name)
        return;
    d->name = name;
    SetChanged(true);
}

QString KAVAtmTestProcedureDef::GetLabel() const
{
    return d->label;
}

void KAVAtmTestProcedureDef::SetLabel(const QString &label)
{
    if (label == d->label)
        return;
    d->label = label;
    SetChanged(true);
}

qint32 KAVAtmTestProcedureDef::GetVersion() const
{
    return d->version;
}

QString KAVAtmTestProcedureDef::GetDirPath() const
{
    return QFileInfo(d->filePath).absolutePath();
}

QList<KAVAtmTestActionDef *> KAVAtmTestProcedureDef::GetActions() const
{
    return d->actions;
}

int KAVAtmTestProcedureDef::GetActionsCount() const
{
    return int(d->actions.size());
}

KAVAtmTestActionDef *KAVAtmTestProcedureDef::GetAction(int index) const
{
    if (index < 0 || index >= d->actions.size())
        return nullptr;
    return d->actions.at(index);
}

int KAVAtmTestProcedureDef::GetActionIndex(KAVAtmTestActionDef &action) const
{
    return int(d->actions.indexOf(&action));
}

void KAVAtmTestProcedureDef::AddTestActionDef(KAVAtmTestActionDef &action, int index)
{
    if (d->actions.contains(&action))
        return;
    d->actions.insert(qBound(0, index, int(d->actions.size())), &action);
    SetChanged(true);
}

void KAVAtmTestProcedureDef::RemoveTestActionDef(KAVAtmTestActionDef &action, bool deleteAction)
{
    if (d->actions.removeAll(&action) > 0 && deleteAction)
        delete &action;
    SetChanged(true);
}

bool KAVAtmTestProcedureDef::IsChanged() const
{
    if (KAVAtmTestDefBase::IsChanged())
        return true;
    for (const KAVAtmTestActionDef *action : std::as_const(d->actions)) {
        if (action->IsChanged())
            return true;
    }
    return false;
}

KAVAtmTestProcedureResult *KAVAtmTestProcedureDef::CreateResult() const
{
    return new KAVAtmTestProcedureResult(this);
}
