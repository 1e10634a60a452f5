#include "kavatmtestactiondef.h"
#include "kavatmmodelutils_p.h"
#include "kavatmreadfile.h"
#include "kavatmtestproceduredef.h"

#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QMetaClassInfo>
#include <QtCore/QTextStream>

#include <algorithm>
#include <limits>

using namespace KAVAtmModelUtils;

namespace {
const QString KeyAction = QStringLiteral("action");
const QString KeyPlatform = QStringLiteral("platform");
const QString KeyName = QStringLiteral("name");
const QString KeyAlwaysExecute = QStringLiteral("alwaysExecute");
const QString KeyTimeout = QStringLiteral("timeout");
const QString KeyProcedurePath = QStringLiteral("procedurePath");
const QString KeyBaseline = QStringLiteral("baseline");
} // namespace

class KAVAtmTestActionDefPrivate {
public:
    const KAVAtmTestProcedureDef *parentProcedure = nullptr;
    mutable QString actionType;
    QString name;
    mutable QJsonObject data;
    mutable QJsonObject originalData;
    bool read = false;
    KAVAtmEnums::Platform platform = KAVAtmEnums::Unspecified;
    bool alwaysExecute = false;
    qint32 timeout = KAVAtmTestActionDef::DefaultTimeout;
    mutable QString baselineError;
    mutable QString baselinePath;
};

KAVAtmTestActionDef::KAVAtmTestActionDef(const KAVAtmTestProcedureDef *parentProcedure)
    : d(new KAVAtmTestActionDefPrivate)
{
    d->parentProcedure = parentProcedure;
}

KAVAtmTestActionDef::~KAVAtmTestActionDef() = default;

void KAVAtmTestActionDef::FromJson(const QJsonObject &json)
{
    d->originalData = json;
    d->read = true;

    // Stored directly, not through the setters: an overridden SetPlatform must not interfere.
    if (json.contains(KeyAction))
        d->actionType = json.value(KeyAction).toString();
    if (json.contains(KeyPlatform))
        d->platform = KAVAtmEnums::GetPlatformFromJsonText(json.value(KeyPlatform).toString());
    if (json.contains(KeyName))
        d->name = json.value(KeyName).toString();
    if (json.contains(KeyAlwaysExecute))
        d->alwaysExecute = json.value(KeyAlwaysExecute).toBool(false);
    if (json.contains(KeyTimeout))
        d->timeout = qMax(0, ToInt32(json.value(KeyTimeout), DefaultTimeout));

    d->data = json;
    if (d->parentProcedure)
        d->data.insert(KeyProcedurePath, d->parentProcedure->GetDirPath());
    // What was just read is what is stored: a default a constructor set is no change.
    SetChanged(false);
}

QJsonObject KAVAtmTestActionDef::ToJson() const
{
    QJsonObject json;
    json.insert(KeyAction, GetType());
    json.insert(KeyPlatform, KAVAtmEnums::GetPlatformJsonText(d->platform));
    if (!d->name.isEmpty())
        json.insert(KeyName, d->name);
    json.insert(KeyAlwaysExecute, d->alwaysExecute);
    if (d->timeout != DefaultTimeout)
        json.insert(KeyTimeout, d->timeout);
    return json;
}

void KAVAtmTestActionDef::SetPlatform(KAVAtmEnums::Platform platform)
{
    if (platform == d->platform)
        return;
    d->platform = platform;
    SetChanged(true);
}

KAVAtmEnums::Platform KAVAtmTestActionDef::GetPlatform() const
{
    return d->platform;
}

QString KAVAtmTestActionDef::GetName() const
{
    return d->name;
}

void KAVAtmTestActionDef::SetName(const QString &name)
{
    if (name == d->name)
        return;
    d->name = name;
    SetChanged(true);
}

qint64 KAVAtmTestActionDef::GetTimeout() const
{
    return d->timeout;
}

void KAVAtmTestActionDef::SetTimeout(qint64 timeout)
{
    if (timeout == d->timeout)
        return;
    // Clamped rather than truncated: a wrapped value could silently turn the time-out off.
    d->timeout
        = static_cast<qint32>(std::clamp<qint64>(timeout, 0, std::numeric_limits<qint32>::max()));
    SetChanged(true);
}

bool KAVAtmTestActionDef::IsAlwaysExecute() const
{
    return d->alwaysExecute;
}

void KAVAtmTestActionDef::SetIsAlwaysExecute(bool alwaysExecute)
{
    if (alwaysExecute == d->alwaysExecute)
        return;
    d->alwaysExecute = alwaysExecute;
    SetChanged(true);
}

const KAVAtmTestProcedureDef *KAVAtmTestActionDef::GetParentProcedureDef() const
{
    return d->parentProcedure;
}

QString KAVAtmTestActionDef::GetType() const
{
    if (d->actionType.isEmpty()) {
        const QMetaObject *meta = metaObject();
        const int index = meta->indexOfClassInfo("actionType");
        if (index >= 0)
            d->actionType = QString::fromLatin1(meta->classInfo(index).value());
    }
    return d->actionType;
}

QJsonObject KAVAtmTestActionDef::GetData() const
{
    if (d->data.isEmpty())
        d->data = ToJson();
    return d->data;
}

QJsonObject KAVAtmTestActionDef::GetOriginalData() const
{
    if (d->originalData.isEmpty())
        d->originalData = ToJson();
    return d->originalData;
}

QJsonObject KAVAtmTestActionDef::GetSavedForm() const
{
    return d->read && !d->originalData.isEmpty() ? d->originalData : ToJson();
}

QString KAVAtmTestActionDef::GetBaselineError() const
{
    return d->baselineError;
}

QString KAVAtmTestActionDef::GetBaselinePath() const
{
    return d->baselinePath;
}

QString KAVAtmTestActionDef::LoadBaseline(const QJsonObject &json) const
{
    d->baselineError.clear();
    d->baselinePath.clear();
    const QString baseline = json.value(KeyBaseline).toString();
    if (baseline.isEmpty())
        return QString();
    const QString path = ResolveAgainst(ProcedureDir(json.value(KeyProcedurePath)), baseline);
    d->baselinePath = path;
    // Only a baseline that does not exist is a first run: any other that cannot be read would
    // otherwise pass every run without comparing anything.
    QByteArray content;
    QString reason;
    switch (KAVAtmReadFile::Read(path, MaximumBaselineSize, &content, &reason)) {
    case KAVAtmReadFile::Outcome::Read:
        if (content.isEmpty())
            d->baselineError = tr("The baseline file %1 is empty.").arg(path);
        return QString::fromUtf8(content);
    case KAVAtmReadFile::Outcome::Missing:
        return QString();
    case KAVAtmReadFile::Outcome::NotRegular:
        d->baselineError = tr("The baseline file %1 is not a regular file.").arg(path);
        return QString();
    case KAVAtmReadFile::Outcome::TooLarge:
        d->baselineError = tr("The baseline file %1 is larger than %2 bytes.")
                               .arg(path, QString::number(MaximumBaselineSize));
        return QString();
    case KAVAtmReadFile::Outcome::Unreadable:
        d->baselineError = tr("The baseline file %1 cannot be read: %2").arg(path, reason);
        return QString();
    }
    return QString();
}
