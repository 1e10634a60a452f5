#ifndef KAVATMTESTACTIONRESULT_H
#define KAVATMTESTACTIONRESULT_H

#include "kavatmenums.h"

#include <QtCore/QDateTime>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonObject>
#include <QtCore/QMap>
#include <QtCore/QStringList>
#include <QtCore/QUuid>

#include <memory>

class KAVAtmTestActionDef;
class KAVAtmTestActionResultPrivate;
class KAVAtmTestProcedureResult;

// How one execution of one action went: status, outcome, details, data and times.
class KAVAUTOMATION_EXPORT KAVAtmTestActionResult {
public:
    static const QString TimeFormat;
    // The images a visual comparison sends: "expected", "actual", "diff".
    static const QStringList ImageKinds;
    // What a host sends for one action is kept up to these sizes: a host cannot make the
    // runner hold gigabytes, nor a report page a browser cannot open.
    static constexpr qsizetype MaximumTextBytes = 64 * 1024; // details, stack
    static constexpr qsizetype MaximumLineBytes = 4096; // a context line
    static constexpr qint64 MaximumScreenshotPixels = 8192 * 8192;
    // The text cut at maxBytes of UTF-8 (whole characters), saying so; else as it is.
    static QString Capped(const QString &text, qsizetype maxBytes);

    KAVAtmTestActionResult(const QUuid &id, const KAVAtmTestActionDef *actionDef,
                           const KAVAtmTestProcedureResult *parent);
    // With a new random id.
    KAVAtmTestActionResult(const KAVAtmTestActionDef *actionDef,
                           const KAVAtmTestProcedureResult *parent);
    ~KAVAtmTestActionResult();

    QUuid GetId() const;
    const KAVAtmTestActionDef *GetActionDef() const;
    const KAVAtmTestProcedureResult *GetParentProcedureResult() const;
    // The definition's type, or the "actionType" read from JSON when there is no definition.
    QString GetActionType() const;

    KAVAtmEnums::ExecutionStatus GetStatus() const;
    void SetStatus(KAVAtmEnums::ExecutionStatus status);
    KAVAtmEnums::ExecutionResult GetResult() const;
    void SetResult(KAVAtmEnums::ExecutionResult result);
    QString GetDetails() const;
    void SetDetails(const QString &details);
    QString GetData() const;
    void SetData(const QString &data);

    // What shows why an action failed, beside its details. Where a script failed: "file" and
    // "line" (from 1), and "context": {"first": line, "lines": [...]}, the lines around it.
    QJsonObject GetLocation() const;
    void SetLocation(const QJsonObject &location);
    // The script's stack, innermost call first, one "function@file:line" a line.
    QString GetStack() const;
    void SetStack(const QString &stack);
    // A PNG of the host's windows as the action ended; it travels to the runner, which keeps
    // it as a file and names it among the attachments.
    QByteArray GetScreenshot() const;
    void SetScreenshot(const QByteArray &png);
    // Why the action has no screenshot, when one was due.
    QString GetScreenshotMissing() const;
    void SetScreenshotMissing(const QString &reason);
    // Files kept with the result: {"kind", "path"} with the path relative to the report. The
    // runner's own: never read from a host.
    QJsonArray GetAttachments() const;
    void AddAttachment(const QString &kind, const QString &path);
    // A visual comparison's images by kind (PNG), and the device pixel ratio they were taken
    // at; they travel to the runner, which keeps them as files.
    QMap<QString, QByteArray> GetImages() const;
    // An empty one removes the kind.
    void SetImage(const QString &kind, const QByteArray &png);
    double GetDevicePixelRatio() const;
    void SetDevicePixelRatio(double ratio);
    // What the host's widgets showed as the action ended, for a step trace.
    QJsonObject GetWidgetTree() const;
    void SetWidgetTree(const QJsonObject &snapshot);
    // The host's output lines written while the action ran; the runner's own, as above.
    QStringList GetLog() const;
    void SetLog(const QStringList &lines);
    // Takes the evidence keys a host sends ("location", "stack", "screenshot",
    // "screenshotMissing", "images", "devicePixelRatio", "widgets"); a value of the wrong form
    // is left out, and a screenshot that is not a PNG becomes a reason for its absence.
    void ReadEvidence(const QJsonObject &json);

    QDateTime GetStartTime() const;
    QDateTime GetEndTime() const;
    void RecordStartTime();
    void RecordFinishTime();

    QJsonObject ToJson() const;
    // With checkId, only an object carrying this result's own id is read.
    void FromJson(const QJsonValue &value, bool checkId);

private:
    Q_DISABLE_COPY(KAVAtmTestActionResult)
    const std::unique_ptr<KAVAtmTestActionResultPrivate> d;
};

#endif // KAVATMTESTACTIONRESULT_H
