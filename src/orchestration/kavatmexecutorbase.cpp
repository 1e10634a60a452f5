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

QString KAVAtmExecutorBase::ActualDataPath(const QString &baselinePath)
{
    QString path = baselinePath;
    if (path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
        path.chop(5);
    return path + QStringLiteral(".actual.json");
}

QString KAVAtmExecutorBase::SaveActionBaseline(KAVAtmTestActionResult *result,
                                               BaselineUpdate update)
{
    const KAVAtmTestActionDef *def = result ? result->GetActionDef() : nullptr;
    if (!def)
        return QString();
    const QString baseline = def->GetData().value(QLatin1String("baseline")).toString();
    if (baseline.isEmpty())
        return QString();

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
        return QString();
    }
    // A baseline from no data (an action that was skipped or reported nothing) would make
    // every later comparison pass without comparing anything.
    if (result->GetData().isEmpty()) {
        qCDebug(lcOrchestration).noquote()
            << "No baseline written from an empty data text:" << path;
        return QString();
    }
    const bool failed = result->GetResult() == KAVAtmEnums::Fail;
    const bool exists = QFileInfo::exists(path);
    const bool replace
        = update == BaselineUpdate::All || (update == BaselineUpdate::Changed && failed);

    const QByteArray data = result->GetData().toUtf8();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    const QByteArray content
        = error.error == QJsonParseError::NoError ? document.toJson(QJsonDocument::Indented) : data;
    const QString actualPath = ActualDataPath(path);
    if (exists && !replace) {
        if (!failed) {
            // What a passing comparison left behind from an earlier failure is stale.
            if (QFileInfo(actualPath).isFile())
                QFile::remove(actualPath);
            return QString();
        }
        QString reason;
        const bool saved
            = KAVAtmSaveFile::Write(actualPath, content, &reason) == KAVAtmSaveFile::Outcome::Saved;
        result->SetDetails(
            result->GetDetails() + QLatin1Char('\n')
            + (saved ? QCoreApplication::translate("KAVAtmExecutorBase", "The actual data is in %1")
                           .arg(actualPath)
                     : QCoreApplication::translate("KAVAtmExecutorBase",
                                                   "The actual data could not be written to %1: %2")
                           .arg(actualPath, reason)));
        return QString();
    }
    if (KAVAtmSaveFile::Write(path, content) != KAVAtmSaveFile::Outcome::Saved) {
        warn(result,
             QCoreApplication::translate("KAVAtmExecutorBase",
                                         "Failed to save the baseline file: %1")
                 .arg(baseline));
        return QString();
    }
    QFile::remove(actualPath);
    if (exists && failed) {
        result->SetDetails(result->GetDetails() + QLatin1Char('\n')
                           + QCoreApplication::translate("KAVAtmExecutorBase",
                                                         "The baseline was rewritten with the "
                                                         "actual data: %1")
                                 .arg(path));
    }
    return path;
}
