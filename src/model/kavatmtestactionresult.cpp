#include "kavatmtestactionresult.h"
#include "kavatmmodelutils_p.h"
#include "kavatmtestactiondef.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QJsonValue>

#include <algorithm>
#include <limits>

const QStringList KAVAtmTestActionResult::ImageKinds
    = {QStringLiteral("expected"), QStringLiteral("actual"), QStringLiteral("diff")};
const QString KAVAtmTestActionResult::TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");

class KAVAtmTestActionResultPrivate {
public:
    const KAVAtmTestActionDef *actionDef = nullptr;
    const KAVAtmTestProcedureResult *parent = nullptr;
    QString actionType;
    QUuid id;
    QDateTime startTime;
    QDateTime endTime;
    KAVAtmEnums::ExecutionStatus status = KAVAtmEnums::Pending;
    KAVAtmEnums::ExecutionResult result = KAVAtmEnums::Unknown;
    QString details;
    QString data;
    QJsonObject location;
    QString stack;
    QByteArray screenshot;
    QString screenshotMissing;
    QJsonArray attachments;
    QStringList log;
    QMap<QString, QByteArray> images;
    double devicePixelRatio = 0;
    QJsonObject widgets;
};

namespace {

const QLatin1String KeyLocation("location");
const QLatin1String KeyStack("stack");
const QLatin1String KeyScreenshot("screenshot");
const QLatin1String KeyScreenshotMissing("screenshotMissing");
const QLatin1String KeyAttachments("attachments");
const QLatin1String KeyLog("log");
const QLatin1String KeyImages("images");
const QLatin1String KeyDevicePixelRatio("devicePixelRatio");
const QLatin1String KeyWidgets("widgets");

bool isPng(const QByteArray &bytes)
{
    return bytes.startsWith("\x89PNG\r\n\x1a\n");
}

// The width and height in a PNG's header (its first chunk); 0 when there is none.
qint64 pngPixels(const QByteArray &png)
{
    if (png.size() < 24 || png.mid(12, 4) != "IHDR")
        return 0;
    const auto field = [&png](int at) {
        return qint64(quint8(png[at])) << 24 | qint64(quint8(png[at + 1])) << 16
            | qint64(quint8(png[at + 2])) << 8 | qint64(quint8(png[at + 3]));
    };
    // PNG dimensions are below 2^31; anything else is refused as too large.
    if (field(16) > 0x7FFFFFFF || field(20) > 0x7FFFFFFF)
        return std::numeric_limits<qint64>::max();
    return field(16) * field(20);
}

// A location as a host may send it: a file and a line, and its context when well formed.
QJsonObject validLocation(const QJsonValue &value)
{
    const QJsonObject location = value.toObject();
    const QString file = location.value(QLatin1String("file")).toString();
    const int line = KAVAtmModelUtils::ToInt32(location.value(QLatin1String("line")), 0);
    if (file.isEmpty() || line <= 0)
        return QJsonObject();
    QJsonObject valid {{QStringLiteral("file"), file}, {QStringLiteral("line"), line}};
    const QJsonObject context = location.value(QLatin1String("context")).toObject();
    const int first = KAVAtmModelUtils::ToInt32(context.value(QLatin1String("first")), 0);
    QJsonArray lines = context.value(QLatin1String("lines")).toArray();
    for (QJsonValueRef text : lines) {
        if (text.isString())
            text = KAVAtmTestActionResult::Capped(text.toString(),
                                                  KAVAtmTestActionResult::MaximumLineBytes);
    }
    if (first > 0 && first <= line && line - first < lines.size() && lines.size() <= 100
        && std::all_of(lines.cbegin(), lines.cend(),
                       [](const QJsonValue &text) { return text.isString(); }))
        valid.insert(
            QStringLiteral("context"),
            QJsonObject {{QStringLiteral("first"), first}, {QStringLiteral("lines"), lines}});
    return valid;
}

} // namespace

QString KAVAtmTestActionResult::Capped(const QString &text, qsizetype maxBytes)
{
    if (text.size() * 3 <= maxBytes)
        return text;
    QByteArray utf8 = text.toUtf8();
    if (utf8.size() <= maxBytes)
        return text;
    qsizetype end = maxBytes;
    while (end > 0 && (quint8(utf8.at(end)) & 0xC0) == 0x80)
        --end;
    utf8.truncate(end);
    return QString::fromUtf8(utf8)
        + QCoreApplication::translate("KAVAtmTestActionResult", "\n[cut at %1 bytes]")
              .arg(maxBytes);
}

KAVAtmTestActionResult::KAVAtmTestActionResult(const QUuid &id,
                                               const KAVAtmTestActionDef *actionDef,
                                               const KAVAtmTestProcedureResult *parent)
    : d(new KAVAtmTestActionResultPrivate)
{
    d->id = id;
    d->actionDef = actionDef;
    d->parent = parent;
}

KAVAtmTestActionResult::KAVAtmTestActionResult(const KAVAtmTestActionDef *actionDef,
                                               const KAVAtmTestProcedureResult *parent)
    : KAVAtmTestActionResult(QUuid::createUuid(), actionDef, parent)
{
}

KAVAtmTestActionResult::~KAVAtmTestActionResult() = default;

QUuid KAVAtmTestActionResult::GetId() const
{
    return d->id;
}

const KAVAtmTestActionDef *KAVAtmTestActionResult::GetActionDef() const
{
    return d->actionDef;
}

const KAVAtmTestProcedureResult *KAVAtmTestActionResult::GetParentProcedureResult() const
{
    return d->parent;
}

QString KAVAtmTestActionResult::GetActionType() const
{
    return d->actionDef ? d->actionDef->GetType() : d->actionType;
}

KAVAtmEnums::ExecutionStatus KAVAtmTestActionResult::GetStatus() const
{
    return d->status;
}

void KAVAtmTestActionResult::SetStatus(KAVAtmEnums::ExecutionStatus status)
{
    d->status = status;
}

KAVAtmEnums::ExecutionResult KAVAtmTestActionResult::GetResult() const
{
    return d->result;
}

void KAVAtmTestActionResult::SetResult(KAVAtmEnums::ExecutionResult result)
{
    d->result = result;
}

QString KAVAtmTestActionResult::GetDetails() const
{
    return d->details;
}

void KAVAtmTestActionResult::SetDetails(const QString &details)
{
    d->details = details;
}

QString KAVAtmTestActionResult::GetData() const
{
    return d->data;
}

void KAVAtmTestActionResult::SetData(const QString &data)
{
    d->data = data;
}

QJsonObject KAVAtmTestActionResult::GetLocation() const
{
    return d->location;
}

void KAVAtmTestActionResult::SetLocation(const QJsonObject &location)
{
    d->location = validLocation(location);
}

QString KAVAtmTestActionResult::GetStack() const
{
    return d->stack;
}

void KAVAtmTestActionResult::SetStack(const QString &stack)
{
    d->stack = stack;
}

QByteArray KAVAtmTestActionResult::GetScreenshot() const
{
    return d->screenshot;
}

void KAVAtmTestActionResult::SetScreenshot(const QByteArray &png)
{
    d->screenshot = png;
}

QString KAVAtmTestActionResult::GetScreenshotMissing() const
{
    return d->screenshotMissing;
}

void KAVAtmTestActionResult::SetScreenshotMissing(const QString &reason)
{
    d->screenshotMissing = reason;
}

QJsonArray KAVAtmTestActionResult::GetAttachments() const
{
    return d->attachments;
}

void KAVAtmTestActionResult::AddAttachment(const QString &kind, const QString &path)
{
    d->attachments.append(
        QJsonObject {{QStringLiteral("kind"), kind}, {QStringLiteral("path"), path}});
}

QStringList KAVAtmTestActionResult::GetLog() const
{
    return d->log;
}

void KAVAtmTestActionResult::SetLog(const QStringList &lines)
{
    d->log = lines;
}

QMap<QString, QByteArray> KAVAtmTestActionResult::GetImages() const
{
    return d->images;
}

void KAVAtmTestActionResult::SetImage(const QString &kind, const QByteArray &png)
{
    if (png.isEmpty())
        d->images.remove(kind);
    else
        d->images.insert(kind, png);
}

double KAVAtmTestActionResult::GetDevicePixelRatio() const
{
    return d->devicePixelRatio;
}

void KAVAtmTestActionResult::SetDevicePixelRatio(double ratio)
{
    d->devicePixelRatio = ratio;
}

QJsonObject KAVAtmTestActionResult::GetWidgetTree() const
{
    return d->widgets;
}

void KAVAtmTestActionResult::SetWidgetTree(const QJsonObject &snapshot)
{
    d->widgets = snapshot;
}

void KAVAtmTestActionResult::ReadEvidence(const QJsonObject &json)
{
    if (json.contains(KeyImages)) {
        d->images.clear();
        const QJsonObject images = json.value(KeyImages).toObject();
        for (auto it = images.constBegin(); it != images.constEnd(); ++it) {
            if (!ImageKinds.contains(it.key()))
                continue;
            const auto decoded = QByteArray::fromBase64Encoding(
                it.value().toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
            const qint64 pixels = decoded && isPng(*decoded) ? pngPixels(*decoded) : 0;
            if (pixels > 0 && pixels <= MaximumScreenshotPixels)
                d->images.insert(it.key(), *decoded);
        }
    }
    if (json.contains(KeyDevicePixelRatio)) {
        const double ratio = json.value(KeyDevicePixelRatio).toDouble();
        d->devicePixelRatio = ratio > 0 && ratio <= 16 ? ratio : 0;
    }
    if (json.contains(KeyWidgets))
        d->widgets = json.value(KeyWidgets).toObject();

    if (json.contains(KeyLocation))
        d->location = validLocation(json.value(KeyLocation));
    if (json.contains(KeyStack))
        d->stack = Capped(json.value(KeyStack).toString(), MaximumTextBytes);
    if (json.contains(KeyScreenshotMissing))
        d->screenshotMissing
            = Capped(json.value(KeyScreenshotMissing).toString(), MaximumLineBytes);
    if (!json.contains(KeyScreenshot))
        return;
    const auto decoded = QByteArray::fromBase64Encoding(
        json.value(KeyScreenshot).toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    // A small file can unpack into gigabytes of pixels in whatever shows it.
    const qint64 pixels = decoded && isPng(*decoded) ? pngPixels(*decoded) : 0;
    if (pixels > MaximumScreenshotPixels) {
        d->screenshot.clear();
        d->screenshotMissing
            = QCoreApplication::translate("KAVAtmTestActionResult",
                                          "the host sent a screenshot of %1 pixels, more than "
                                          "the %2 a screenshot may have")
                  .arg(pixels)
                  .arg(MaximumScreenshotPixels);
    } else if (pixels > 0) {
        d->screenshot = *decoded;
    } else {
        d->screenshot.clear();
        d->screenshotMissing = QCoreApplication::translate(
            "KAVAtmTestActionResult", "the host sent a screenshot that is not a PNG image");
    }
}

QDateTime KAVAtmTestActionResult::GetStartTime() const
{
    return d->startTime;
}

QDateTime KAVAtmTestActionResult::GetEndTime() const
{
    return d->endTime;
}

void KAVAtmTestActionResult::RecordStartTime()
{
    d->startTime = QDateTime::currentDateTimeUtc();
}

void KAVAtmTestActionResult::RecordFinishTime()
{
    d->endTime = QDateTime::currentDateTimeUtc();
}

QJsonObject KAVAtmTestActionResult::ToJson() const
{
    QJsonObject json;
    if (d->actionDef)
        json.insert(QLatin1String("actionType"), d->actionDef->GetType());
    json.insert(QLatin1String("id"), d->id.toString(QUuid::WithBraces));
    json.insert(QLatin1String("status"), int(d->status));
    json.insert(QLatin1String("statusStr"), KAVAtmEnums::GetExecutionStatusEnumText(d->status));
    json.insert(QLatin1String("result"), int(d->result));
    json.insert(QLatin1String("resultStr"), KAVAtmEnums::GetExecutionResultEnumText(d->result));
    if (!d->details.isEmpty())
        json.insert(QLatin1String("details"), d->details);
    if (!d->data.isEmpty())
        json.insert(QLatin1String("data"), d->data);
    if (d->startTime.isValid())
        json.insert(QLatin1String("startTime"), d->startTime.toString(TimeFormat));
    if (d->endTime.isValid())
        json.insert(QLatin1String("endTime"), d->endTime.toString(TimeFormat));
    if (!d->location.isEmpty())
        json.insert(KeyLocation, d->location);
    if (!d->stack.isEmpty())
        json.insert(KeyStack, d->stack);
    if (!d->screenshot.isEmpty())
        json.insert(KeyScreenshot, QString::fromLatin1(d->screenshot.toBase64()));
    if (!d->screenshotMissing.isEmpty())
        json.insert(KeyScreenshotMissing, d->screenshotMissing);
    if (!d->attachments.isEmpty())
        json.insert(KeyAttachments, d->attachments);
    if (!d->log.isEmpty())
        json.insert(KeyLog, QJsonArray::fromStringList(d->log));
    if (!d->images.isEmpty()) {
        QJsonObject images;
        for (auto it = d->images.constBegin(); it != d->images.constEnd(); ++it)
            images.insert(it.key(), QString::fromLatin1(it.value().toBase64()));
        json.insert(KeyImages, images);
    }
    if (d->devicePixelRatio > 0)
        json.insert(KeyDevicePixelRatio, d->devicePixelRatio);
    if (!d->widgets.isEmpty())
        json.insert(KeyWidgets, d->widgets);
    return json;
}

void KAVAtmTestActionResult::FromJson(const QJsonValue &value, bool checkId)
{
    if (!value.isObject())
        return;
    const QJsonObject json = value.toObject();
    const QString keyId = QStringLiteral("id");

    if (checkId) {
        if (json.value(keyId).toString() != d->id.toString(QUuid::WithBraces))
            return;
    } else if (json.contains(keyId)) {
        d->id = QUuid::fromString(json.value(keyId).toString());
    }

    if (json.contains(QLatin1String("actionType")))
        d->actionType = json.value(QLatin1String("actionType")).toString();
    if (json.contains(QLatin1String("status"))) {
        d->status = KAVAtmEnums::ExecutionStatus(
            KAVAtmModelUtils::ToInt32(json.value(QLatin1String("status")), 0));
    }
    if (json.contains(QLatin1String("result"))) {
        d->result = KAVAtmEnums::ExecutionResult(
            KAVAtmModelUtils::ToInt32(json.value(QLatin1String("result")), 0));
    }
    if (json.contains(QLatin1String("details")))
        d->details = json.value(QLatin1String("details")).toString();
    if (json.contains(QLatin1String("data")))
        d->data = json.value(QLatin1String("data")).toString();
    if (json.contains(QLatin1String("startTime"))) {
        d->startTime
            = KAVAtmModelUtils::ParseUtcTime(json.value(QLatin1String("startTime")).toString());
    }
    if (json.contains(QLatin1String("endTime"))) {
        d->endTime
            = KAVAtmModelUtils::ParseUtcTime(json.value(QLatin1String("endTime")).toString());
    }
    ReadEvidence(json);
}
