#ifndef KAVATMRESULTWRITER_P_H
#define KAVATMRESULTWRITER_P_H

#include "kavatmexecutorbase.h"
#include "kavatmprotocol_p.h"

#include <QtCore/QHash>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <optional>

class KAVAtmTestActionResult;
class KAVAtmTestProcedureResult;

// Keeps what a run produced besides its report: the result file of each finished script or
// assertion action, in a folder per procedure run below the output path, and the baseline such
// an action captures on its first run. Names from procedure files become safe file names:
// nothing written ever lands outside the output folder.
class KAVAUTOMATION_EXPORT KAVAtmResultWriter : public KAVAtmExecutorBase {
public:
    explicit KAVAtmResultWriter(const QString &outputPath = QString());
    ~KAVAtmResultWriter() override;

    QString GetOutputPath() const;
    // Without one the current directory is used.
    void SetOutputPath(const QString &path);

    // Whether the action's type keeps a result file and a baseline ("executeScript",
    // "DataAssert", in any letter case).
    static bool IsCapturedType(const QString &type);
    // The name as one file-name part: path separators, characters that file systems refuse and
    // the names "." and ".." are replaced by "_". A part longer than maxBytes (in UTF-8) is cut
    // and ends in "~" and a hash of the whole name, so that long names stay apart.
    static QString FileNamePart(const QString &name, int maxBytes = MaximumNamePart);

    // The longest name most file systems take is 255 bytes: room is left for a suffix
    // ("_2.json", or a folder's "_yyyyMMdd_HHmmss").
    static constexpr int MaximumNamePart = 255 - 24;

    // Which baselines Capture() writes (the missing ones by default).
    void SetBaselineUpdate(BaselineUpdate update);
    // The baseline first (it may turn the result into a Warning), then the result file; one
    // that cannot be written also makes the result a Warning, with the reason. Returns the
    // path of the baseline written, or an empty text.
    QString Capture(KAVAtmTestActionResult *action);
    using KAVAtmExecutorBase::SaveActionBaseline;
    // Writes the action's result file, atomically. Returns its path, or an empty text with the
    // reason in errorString.
    QString SaveActionResult(const KAVAtmTestActionResult *action, QString *errorString = nullptr);
    // Writes a file that goes with the action's result (its screenshot, say), atomically, in
    // the folder of its result files, named as they are with the extension given. Returns its
    // path, or an empty text with the reason in errorString.
    QString SaveAttachment(const KAVAtmTestActionResult *action, const QByteArray &content,
                           const QString &extension, QString *errorString = nullptr);
    // The folder of the action's procedure run: "<output>/<procedure name>_<yyyyMMdd_HHmmss>",
    // with "_attempt<N>" for its procedure's second run and after.
    QString GetResultFolder(const KAVAtmTestActionResult *action) const;
    QString GetProcedureFolder(const KAVAtmTestProcedureResult *procedure) const;

    // What the host showed and wrote while the action ran, kept as evidence: a failure's
    // host lines (when they were read) as its log, and the screenshot as an attachment when
    // mode asks for it (else none is missing). Returns the screenshot, which leaves the result.
    QByteArray KeepEvidence(KAVAtmTestActionResult *action,
                            const std::optional<QStringList> &hostLines,
                            KAVAtmProtocol::ScreenshotMode mode);
    // A visual comparison's images: each kept beside the action's result files and named
    // among its attachments ("expected", "actual", "diff", relative to the output folder),
    // and the capture written as the baseline as the update mode says (a failure whose
    // baseline is kept gets "name.actual.png" beside it). The images leave the result, which
    // then names the files. Returns the path of the baseline written, or an empty text.
    QString CaptureImages(KAVAtmTestActionResult *action);
    // The file beside an image baseline that holds a failed comparison's capture.
    static QString ActualImagePath(const QString &baselinePath);

private:
    QString UniqueFileName(const QString &folder, const KAVAtmTestActionResult *action,
                           const QString &extension);
    QString Save(const KAVAtmTestActionResult *action, const QByteArray &content,
                 const QString &extension, QString *errorString);

    QString m_outputPath;
    BaselineUpdate m_baselineUpdate = BaselineUpdate::Missing;
    // File names used per folder (in lower case), so no file replaces another.
    QHash<QString, QSet<QString>> m_used;
};

#endif // KAVATMRESULTWRITER_P_H
