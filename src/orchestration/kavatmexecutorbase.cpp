#include "kavatmexecutorbase.h"
#include "kavatmlogging_p.h"
#include "kavatmsavefile_p.h"
#include "kavatmtestactiondef.h"
#include "kavatmtestactionresult.h"
#include "kavatmtestproceduredef.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonDocument>

namespace {

void warn(KAVAtmTestActionResult *result, const QString &message)
{
    if (result->GetResult() == KAVAtmEnums::Fail)
        return;
    result->SetResult(KAVAtmEnums::Warning);
    result->SetDetails(result->GetDetails() + QLatin1Char('\n') + message);
}

} // namespace

KAVAtmExecutorBase::~KAVAtmExecutorBase() = default;

void KAVAtmExecutorBase::SaveActionBaseline(KAVAtmTestActionResult *result)
{
    const KAVAtmTestActionDef *def = result ? result->GetActionDef() : nullptr;
    if (!def)
        return;
    const QString baseline = def->GetData().value(QLatin1String("baseline")).toString();
    if (baseline.isEmpty())
        return;

    QString baseDir;
    if (const KAVAtmTestProcedureDef *procedure = def->GetParentProcedureDef())
        baseDir = procedure->GetDirPath();
    if (baseDir.isEmpty())
        baseDir = QCoreApplication::applicationDirPath();
    const QString path = QDir::toNativeSeparators(
        QDir::isAbsolutePath(baseline) ? baseline : baseDir + QDir::separator() + baseline);

    const QDir folder = QFileInfo(path).absoluteDir();
    if (!folder.exists() && !QDir().mkpath(folder.absolutePath())) {
        warn(result,
             QCoreApplication::translate("KAVAtmExecutorBase", "Failed to create folder: %1")
                 .arg(folder.absolutePath()));
        return;
    }
    if (QFileInfo::exists(path))
        return;
    // A baseline from no data (an action that was skipped or reported nothing) would make
    // every later comparison pass without comparing anything.
    if (result->GetData().isEmpty()) {
        qCDebug(lcOrchestration).noquote()
            << "No baseline written from an empty data text:" << path;
        return;
    }

    const QByteArray data = result->GetData().toUtf8();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    const QByteArray content
        = error.error == QJsonParseError::NoError ? document.toJson(QJsonDocument::Indented) : data;
    if (KAVAtmSaveFile::Write(path, content) != KAVAtmSaveFile::Outcome::Saved) {
        warn(result,
             QCoreApplication::translate("KAVAtmExecutorBase",
                                         "Failed to save the baseline file: %1")
                 .arg(baseline));
    }
}
