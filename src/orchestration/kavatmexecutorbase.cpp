#include "kavatmexecutorbase.h"
#include "kavatmlogging_p.h"
#include "kavatmsavefile.h"
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

QString KAVAtmExecutorBase::BaselinePath(const KAVAtmTestActionDef *def)
{
    const QString baseline
        = def ? def->GetData().value(QLatin1String("baseline")).toString() : QString();
    if (baseline.isEmpty())
        return baseline;
    QString baseDir;
    if (const KAVAtmTestProcedureDef *procedure = def->GetParentProcedureDef())
        baseDir = procedure->GetDirPath();
    if (baseDir.isEmpty())
        baseDir = QCoreApplication::applicationDirPath();
    return QDir::isAbsolutePath(baseline) ? baseline : baseDir + QDir::separator() + baseline;
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
    if (baseline.contains(QChar::Null)) {
        warn(result,
             QCoreApplication::translate("KAVAtmExecutorBase",
                                         "The baseline path holds a NUL character: nothing was "
                                         "written."));
        return QString();
    }

    const QString path = QDir::toNativeSeparators(BaselinePath(def));

    const bool exists = QFileInfo::exists(path) || QFileInfo(path).isSymLink();
    // In CI a baseline nobody committed (or a misspelt path) would be captured afresh on every
    // checkout, and the action would pass for ever having compared nothing.
    if (update == BaselineUpdate::None && !exists) {
        if (result->GetResult() == KAVAtmEnums::Pass
            || result->GetResult() == KAVAtmEnums::Warning) {
            const QString message
                = QCoreApplication::translate("KAVAtmExecutorBase",
                                              "The baseline %1 does not exist; run with "
                                              "--update-baselines missing to capture it.")
                      .arg(path);
            result->SetResult(KAVAtmEnums::Fail);
            result->SetDetails(result->GetDetails().isEmpty()
                                   ? message
                                   : result->GetDetails() + QLatin1Char('\n') + message);
        }
        return QString();
    }
    const bool passed
        = result->GetResult() == KAVAtmEnums::Pass || result->GetResult() == KAVAtmEnums::Warning;
    const QString actualPath = ActualDataPath(path);
    // What an earlier failure left beside the baseline is stale once a comparison passes
    // (a passing DataAssert reports no data, so this comes first).
    if (passed && exists && update != BaselineUpdate::All && QFileInfo(actualPath).isFile())
        QFile::remove(actualPath);
    // A baseline from no data (an action that was skipped or reported nothing) would make
    // every later comparison pass without comparing anything.
    if (result->GetData().isEmpty()) {
        qCDebug(lcOrchestration).noquote()
            << "No baseline written from an empty data text:" << path;
        return QString();
    }
    const QDir folder = QFileInfo(path).absoluteDir();
    if (!folder.exists() && !QDir().mkpath(folder.absolutePath())) {
        warn(result,
             QCoreApplication::translate("KAVAtmExecutorBase", "Failed to create folder: %1")
                 .arg(folder.absolutePath()));
        return QString();
    }
    // A failed action that reported data failed against its baseline, as far as can be told:
    // asked to, its data replaces the baseline (a script's too).
    const bool comparisonFailed = result->GetResult() == KAVAtmEnums::Fail;
    const bool failed = !passed;
    const bool replace = (update == BaselineUpdate::All && (passed || comparisonFailed))
        || (update == BaselineUpdate::Changed && comparisonFailed);

    const QByteArray data = result->GetData().toUtf8();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError) {
        // What a later comparison could not read is no baseline.
        if (!exists || replace)
            warn(result,
                 QCoreApplication::translate("KAVAtmExecutorBase",
                                             "The data is not a JSON document (%1): no baseline "
                                             "was written to %2")
                     .arg(error.errorString(), path));
        return QString();
    }
    const QByteArray content = document.toJson(QJsonDocument::Indented);
    if (!exists && failed) {
        qCDebug(lcOrchestration).noquote() << "No baseline captured from a failed action:" << path;
        return QString();
    }
    if (exists && !replace) {
        if (!failed)
            return QString();
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
