#include "kavatmlogging_p.h"
#include "kavatmresultwriter_p.h"
#include "kavatmsavefile.h"
#include "kavatmscreenshotassertactiondef.h"
#include "kavatmtestactiondef.h"
#include "kavatmtestactionresult.h"
#include "kavatmtestproceduredef.h"
#include "kavatmtestprocedureresult.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QCryptographicHash>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonDocument>
#include <QtCore/QRegularExpression>

KAVAtmResultWriter::KAVAtmResultWriter(const QString &outputPath) : m_outputPath(outputPath) { }

KAVAtmResultWriter::~KAVAtmResultWriter() = default;

QString KAVAtmResultWriter::GetOutputPath() const
{
    return m_outputPath;
}

void KAVAtmResultWriter::SetOutputPath(const QString &path)
{
    m_outputPath = path;
}

bool KAVAtmResultWriter::IsCapturedType(const QString &type)
{
    return type.compare(QLatin1String("executeScript"), Qt::CaseInsensitive) == 0
        || type.compare(QLatin1String("DataAssert"), Qt::CaseInsensitive) == 0;
}

QString KAVAtmResultWriter::FileNamePart(const QString &name, int maxBytes)
{
    static const QRegularExpression unsafe(QStringLiteral(R"([/\\:*?"<>|\x00-\x1f])"));
    QString part = QString(name).replace(unsafe, QStringLiteral("_")).trimmed();
    if (part == QLatin1String(".") || part == QLatin1String(".."))
        part.replace(QLatin1Char('.'), QLatin1Char('_'));
    if (part.toUtf8().size() <= maxBytes)
        return part;
    const QString hash
        = QLatin1Char('~')
        + QString::fromLatin1(
              QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex().left(8));
    // Cut whole characters, never half of one, in one pass: a name of a million characters
    // must not hold the runner.
    const int budget = maxBytes - int(hash.size());
    int bytes = 0;
    qsizetype keep = 0;
    while (keep < part.size()) {
        const bool pair = part.at(keep).isHighSurrogate() && keep + 1 < part.size()
            && part.at(keep + 1).isLowSurrogate();
        const char16_t u = part.at(keep).unicode();
        const int size = pair ? 4 : u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
        if (bytes + size > budget)
            break;
        bytes += size;
        keep += pair ? 2 : 1;
    }
    return part.left(keep) + hash;
}

void KAVAtmResultWriter::SetBaselineUpdate(BaselineUpdate update)
{
    m_baselineUpdate = update;
}

QString KAVAtmResultWriter::Capture(KAVAtmTestActionResult *action)
{
    if (!action)
        return QString();
    const QString baseline = SaveActionBaseline(action, m_baselineUpdate);
    QString error;
    if (!SaveActionResult(action, &error).isEmpty())
        return baseline;
    qCWarning(lcOrchestration).noquote() << error;
    // A result that is not kept must not read as a clean pass: the report says why.
    if (action->GetResult() != KAVAtmEnums::Fail) {
        action->SetResult(KAVAtmEnums::Warning);
        action->SetDetails(action->GetDetails().isEmpty()
                               ? error
                               : action->GetDetails() + QLatin1Char('\n') + error);
    }
    return baseline;
}

QString KAVAtmResultWriter::GetResultFolder(const KAVAtmTestActionResult *action) const
{
    return GetProcedureFolder(action->GetParentProcedureResult());
}

QString KAVAtmResultWriter::GetProcedureFolder(const KAVAtmTestProcedureResult *procedure) const
{
    const QDateTime time = procedure && procedure->GetStartTime().isValid()
        ? procedure->GetStartTime()
        : QDateTime::currentDateTimeUtc();
    const KAVAtmTestProcedureDef *procedureDef = procedure ? procedure->GetProcedureDef() : nullptr;
    // Without an output path the current directory is used, not the file-system root.
    const QString root = m_outputPath.isEmpty() ? QDir::currentPath() : m_outputPath;
    // A retry or a repeat in a folder of its own, whatever second it began in.
    const int attempt = procedure ? procedure->GetAttempt() : 1;
    return root + QDir::separator()
        + FileNamePart(procedureDef ? procedureDef->GetName() : QString()) + QLatin1Char('_')
        + time.toUTC().toString(QStringLiteral("yyyyMMdd_HHmmss"))
        + (attempt > 1 ? QStringLiteral("_attempt%1").arg(attempt) : QString());
}

QString KAVAtmResultWriter::UniqueFileName(const QString &folder,
                                           const KAVAtmTestActionResult *action,
                                           const QString &extension)
{
    const KAVAtmTestActionDef *def = action->GetActionDef();
    QString base = FileNamePart(def ? def->GetName() : QString());
    if (base.isEmpty())
        base = FileNamePart(action->GetActionType());
    if (base.isEmpty())
        base = QStringLiteral("action");
    // Per folder and without regard to case: two runs may share a folder (same procedure,
    // same second), and some file systems do not tell "Step" from "step".
    QSet<QString> &used = m_used[folder];
    const QString suffix = QLatin1Char('.') + extension;
    QString name = base;
    for (int n = 2; used.contains((name + suffix).toLower())
         || QFileInfo::exists(folder + QDir::separator() + name + suffix);
         ++n)
        name = base + QLatin1Char('_') + QString::number(n);
    used.insert((name + suffix).toLower());
    return name + suffix;
}

QString KAVAtmResultWriter::SaveActionResult(const KAVAtmTestActionResult *action,
                                             QString *errorString)
{
    return Save(action, QJsonDocument(action->ToJson()).toJson(QJsonDocument::Indented),
                QStringLiteral("json"), errorString);
}

QString KAVAtmResultWriter::SaveAttachment(const KAVAtmTestActionResult *action,
                                           const QByteArray &content, const QString &extension,
                                           QString *errorString)
{
    return Save(action, content, extension, errorString);
}

QString KAVAtmResultWriter::Save(const KAVAtmTestActionResult *action, const QByteArray &content,
                                 const QString &extension, QString *errorString)
{
    const QString folder = GetResultFolder(action);
    if (!QDir().mkpath(folder)) {
        if (errorString)
            *errorString
                = QCoreApplication::translate("KAVAtmOrchestrator", "Failed to create folder: %1")
                      .arg(folder);
        return QString();
    }
    const QString file = folder + QDir::separator() + UniqueFileName(folder, action, extension);
    QString reason;
    if (KAVAtmSaveFile::Write(file, content, &reason) != KAVAtmSaveFile::Outcome::Saved) {
        if (errorString)
            *errorString = QCoreApplication::translate("KAVAtmOrchestrator",
                                                       "Failed to create file to write: %1")
                               .arg(file)
                + QStringLiteral(" (%1)").arg(reason);
        return QString();
    }
    return file;
}

QString KAVAtmResultWriter::ActualImagePath(const QString &baselinePath)
{
    QString path = baselinePath;
    if (path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        path.chop(4);
    return path + QStringLiteral(".actual.png");
}

QByteArray KAVAtmResultWriter::KeepEvidence(KAVAtmTestActionResult *action,
                                            const std::optional<QStringList> &hostLines,
                                            KAVAtmProtocol::ScreenshotMode mode)
{
    if (hostLines && action->GetResult() == KAVAtmEnums::Fail)
        action->SetLog(*hostLines);
    const QByteArray png = action->GetScreenshot();
    action->SetScreenshot(QByteArray());
    // None asked for: one sent unasked is not kept, and none is missing. Asked for after
    // failures only, one with an action that did not fail is not kept either.
    const bool failed = action->GetResult() == KAVAtmEnums::Fail;
    if (mode == KAVAtmProtocol::ScreenshotMode::Off
        || (mode == KAVAtmProtocol::ScreenshotMode::Failures && !failed)) {
        action->SetScreenshotMissing(QString());
        return png;
    }
    if (png.isEmpty())
        return png;
    QString error;
    const QString path = SaveAttachment(action, png, QStringLiteral("png"), &error);
    if (path.isEmpty()) {
        action->SetScreenshotMissing(
            QCoreApplication::translate("KAVAtmOrchestrator", "it could not be saved: %1")
                .arg(error));
        return png;
    }
    const QString root
        = GetOutputPath().isEmpty() ? QDir::currentPath() : GetOutputPath();
    action->AddAttachment(QStringLiteral("screenshot"),
                          QDir(QFileInfo(root).absoluteFilePath())
                              .relativeFilePath(QFileInfo(path).absoluteFilePath()));
    return png;
}

QString KAVAtmResultWriter::CaptureImages(KAVAtmTestActionResult *action)
{
    const QMap<QString, QByteArray> images = action->GetImages();
    for (const QString &kind : KAVAtmTestActionResult::ImageKinds)
        action->SetImage(kind, QByteArray());
    const QString root = m_outputPath.isEmpty() ? QDir::currentPath() : m_outputPath;
    const QDir rootDir(QFileInfo(root).absoluteFilePath());
    const auto addLine = [action](const QString &line) {
        action->SetDetails(action->GetDetails().isEmpty()
                               ? line
                               : action->GetDetails() + QLatin1Char('\n') + line);
    };
    // Expected, actual, diff: the order a person compares them in.
    for (const QString &kind : KAVAtmTestActionResult::ImageKinds) {
        const auto image = images.constFind(kind);
        // A pass keeps no copies; its capture is only there to become a baseline.
        if (image == images.constEnd() || action->GetResult() != KAVAtmEnums::Fail)
            continue;
        QString error;
        const QString path = SaveAttachment(action, *image, kind + QStringLiteral(".png"), &error);
        if (path.isEmpty())
            addLine(QCoreApplication::translate("KAVAtmOrchestrator",
                                                "The %1 image could not be kept: %2")
                        .arg(kind, error));
        else
            action->AddAttachment(kind,
                                  rootDir.relativeFilePath(QFileInfo(path).absoluteFilePath()));
    }

    const QString named = BaselinePath(action->GetActionDef());
    if (named.isEmpty() || named.contains(QChar::Null))
        return QString();
    // The runner's own platform (the host runs beside it) and the ratio the host drew at.
    const QString path = QDir::toNativeSeparators(KAVAtmScreenshotAssertActionDef::VariantPath(
        named, KAVAtmScreenshotAssertActionDef::CurrentPlatform(), action->GetDevicePixelRatio()));
    const bool exists = QFileInfo::exists(path) || QFileInfo(path).isSymLink();
    const bool passed
        = action->GetResult() == KAVAtmEnums::Pass || action->GetResult() == KAVAtmEnums::Warning;
    const bool failed = action->GetResult() == KAVAtmEnums::Fail;
    const QString actualPath = ActualImagePath(path);
    if (m_baselineUpdate == BaselineUpdate::None && !exists) {
        if (passed) {
            action->SetResult(KAVAtmEnums::Fail);
            addLine(QCoreApplication::translate("KAVAtmExecutorBase",
                                                "The baseline %1 does not exist; run with "
                                                "--update-baselines missing to capture it.")
                        .arg(path));
        }
        return QString();
    }
    if (passed && exists && m_baselineUpdate != BaselineUpdate::All
        && QFileInfo(actualPath).isFile())
        QFile::remove(actualPath);
    const auto actual = images.constFind(QStringLiteral("actual"));
    if (actual == images.constEnd()) {
        // A first run's pass without its capture would capture nothing, and pass again.
        if (!exists && passed) {
            action->SetResult(KAVAtmEnums::Fail);
            addLine(QCoreApplication::translate("KAVAtmOrchestrator",
                                                "The capture did not reach the runner: no "
                                                "baseline was written to %1.")
                        .arg(path));
        }
        return QString();
    }
    const bool replace = (m_baselineUpdate == BaselineUpdate::All && (passed || failed))
        || (m_baselineUpdate == BaselineUpdate::Changed && failed);
    // Never a baseline from a failed action's first run: it failed before it compared.
    if (!exists && !passed)
        return QString();
    if (exists && !replace) {
        if (!failed)
            return QString();
        QString reason;
        const bool saved
            = KAVAtmSaveFile::Write(actualPath, *actual, &reason) == KAVAtmSaveFile::Outcome::Saved;
        addLine(saved ? QCoreApplication::translate("KAVAtmExecutorBase",
                                                    "The actual image is in %1")
                            .arg(actualPath)
                      : QCoreApplication::translate("KAVAtmExecutorBase",
                                                    "The actual image could not be written to "
                                                    "%1: %2")
                            .arg(actualPath, reason));
        return QString();
    }
    const QDir folder = QFileInfo(path).absoluteDir();
    QString reason;
    if ((!folder.exists() && !QDir().mkpath(folder.absolutePath()))
        || KAVAtmSaveFile::Write(path, *actual, &reason) != KAVAtmSaveFile::Outcome::Saved) {
        if (!failed)
            action->SetResult(KAVAtmEnums::Warning);
        addLine(QCoreApplication::translate("KAVAtmExecutorBase",
                                            "Failed to save the baseline file: %1")
                    .arg(path));
        return QString();
    }
    QFile::remove(actualPath);
    if (exists && failed)
        addLine(QCoreApplication::translate("KAVAtmExecutorBase",
                                            "The baseline was rewritten with the actual image: %1")
                    .arg(path));
    return path;
}
