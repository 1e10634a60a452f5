#include "kavatmscreenshotassertaction.h"
#include "kavatmexecutorregistry_p.h"
#include "kavatmimagecomparison_p.h"
#include "kavatmreadfile.h"
#include "kavatmscreenshot_p.h"
#include "kavatmtestactionbase_p.h"
#include "kavatmtestactionresult.h"
#include "kavatmwidgettree_p.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtCore/QtMath>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include <cmath>

KAVATM_REGISTER_EXECUTOR(KAVAtmScreenshotAssertAction)

class KAVAtmScreenshotAssertActionPrivate
    : public KAVAtmExecutorPrivate<KAVAtmScreenshotAssertActionDef> {
public:
    // The capture: the widget's, or all windows'; null when it cannot be drawn.
    QImage Capture(QString *whyNot) const;
    // Where each masked widget lies in the capture.
    QList<QRect> MaskRects() const;

    QPointer<QWidget> widget;
    QList<QPointer<QWidget>> masks;
};

namespace {

// Masks are painted in a colour no host draws on purpose, so a mask that moved shows.
const QColor MaskColour(0xff, 0x00, 0xff);

void paintMasks(QImage &image, const QList<QRect> &rects)
{
    if (rects.isEmpty() || image.isNull())
        return;
    QPainter painter(&image);
    for (const QRect &rect : rects)
        painter.fillRect(rect, MaskColour);
}

} // namespace

QImage KAVAtmScreenshotAssertActionPrivate::Capture(QString *whyNot) const
{
    if (def.GetWidget().isEmpty())
        return KAVAtmScreenshot::GrabImage(whyNot);
    if (!widget || !widget->isVisible()) {
        *whyNot = KAVAtmScreenshotAssertAction::tr("the widget %1 is no longer shown")
                      .arg(def.GetWidget());
        return QImage();
    }
    QImage image = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        *whyNot = KAVAtmScreenshotAssertAction::tr("the widget %1 could not be drawn")
                      .arg(def.GetWidget());
    return image;
}

QList<QRect> KAVAtmScreenshotAssertActionPrivate::MaskRects() const
{
    QList<QRect> rects;
    if (!def.GetWidget().isEmpty()) {
        const qreal ratio = widget ? widget->devicePixelRatioF() : 1.0;
        for (const QPointer<QWidget> &mask : masks) {
            if (!mask || !widget || !mask->isVisible())
                continue;
            const QPoint at = mask->mapTo(widget->window(), QPoint())
                - widget->mapTo(widget->window(), QPoint());
            rects.append(QRectF(QPointF(at) * ratio, QSizeF(mask->size()) * ratio).toAlignedRect());
        }
        return rects;
    }
    // As the screenshot lays the windows out: side by side in device pixels, scaled down
    // together.
    const QList<QWidget *> windows = KAVAtmScreenshot::Windows();
    int width = 0;
    QHash<const QWidget *, int> offsets;
    for (const QWidget *window : windows) {
        width += width == 0 ? 0 : KAVAtmScreenshot::Gap;
        offsets.insert(window, width);
        width += qCeil(window->width() * window->devicePixelRatioF());
    }
    const double scale = width > 0 ? std::min(1.0, double(KAVAtmScreenshot::MaximumWidth) / width)
                                   : 1.0;
    for (const QPointer<QWidget> &mask : masks) {
        if (!mask || !mask->isVisible() || !offsets.contains(mask->window()))
            continue;
        const qreal ratio = mask->window()->devicePixelRatioF();
        const QPointF at = QPointF(mask->mapTo(mask->window(), QPoint())) * ratio;
        const QRectF rect(QPointF(offsets.value(mask->window()) + at.x(), at.y()),
                          QSizeF(mask->size()) * ratio);
        rects.append(QRectF(rect.topLeft() * scale, rect.size() * scale).toAlignedRect());
    }
    return rects;
}

KAVAtmScreenshotAssertAction::KAVAtmScreenshotAssertAction(KAVAtmPlatform &platform,
                                                           const QUuid &id, const QJsonValue &data)
    : KAVAtmTestActionBase(*new KAVAtmScreenshotAssertActionPrivate, platform, id, data)
{
}

KAVAtmScreenshotAssertAction::~KAVAtmScreenshotAssertAction() = default;

QByteArray KAVAtmScreenshotAssertAction::GetActionName()
{
    return KAVAtmScreenshotAssertActionDef::GetActionName();
}

void KAVAtmScreenshotAssertAction::Execute()
{
    Q_D(KAVAtmScreenshotAssertAction);
    KAVAtmTestActionBase::Execute();
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        ReportResult(KAVAtmEnums::Fail, tr("The host has no widgets to capture."), QString());
        return;
    }
    if (d->def.GetBaseline().isEmpty()) {
        ReportResult(KAVAtmEnums::Fail, tr("The action names no baseline."), QString());
        return;
    }
    if (!d->def.GetWidget().isEmpty()) {
        d->widget = KAVAtmWidgetTree::Find(d->def.GetWidget());
        if (!d->widget || !d->widget->isVisible()) {
            ReportResult(KAVAtmEnums::Fail,
                         d->widget ? tr("The widget %1 is not shown.").arg(d->def.GetWidget())
                                   : tr("No widget is named %1.").arg(d->def.GetWidget()),
                         QString());
            return;
        }
        KAVAtmWidgetTree::Mark(d->widget);
    }
    QStringList unknown;
    for (const QString &path : d->def.GetMask()) {
        QWidget *mask = KAVAtmWidgetTree::Find(path);
        if (!mask)
            unknown.append(path);
        d->masks.append(mask);
    }
    if (!unknown.isEmpty()) {
        ReportResult(KAVAtmEnums::Fail,
                     tr("No widget is named %1 (in the mask).").arg(unknown.join(QStringLiteral(", "))),
                     QString());
        return;
    }
    const double ratio = d->widget ? d->widget->devicePixelRatioF() : qApp->devicePixelRatio();
    const QString baselinePath = KAVAtmScreenshotAssertActionDef::VariantPath(
        d->def.GetBaseline(), KAVAtmScreenshotAssertActionDef::CurrentPlatform(), ratio);

    QImage expected;
    QByteArray bytes;
    QString reason;
    const KAVAtmReadFile::Outcome read = KAVAtmReadFile::Read(
        baselinePath, KAVAtmTestActionDef::MaximumBaselineSize, &bytes, &reason);
    switch (read) {
    case KAVAtmReadFile::Outcome::Missing:
        break;
    case KAVAtmReadFile::Outcome::Read:
        if (bytes.isEmpty()) {
            ReportResult(KAVAtmEnums::Fail, tr("The baseline file %1 is empty.").arg(baselinePath),
                         QString());
            return;
        }
        if (!bytes.startsWith("\x89PNG\r\n\x1a\n") || !expected.loadFromData(bytes, "PNG")) {
            ReportResult(KAVAtmEnums::Fail,
                         tr("The baseline file %1 is not a PNG image.").arg(baselinePath),
                         QString());
            return;
        }
        break;
    case KAVAtmReadFile::Outcome::NotRegular:
        ReportResult(KAVAtmEnums::Fail,
                     tr("The baseline file %1 is not a regular file.").arg(baselinePath),
                     QString());
        return;
    case KAVAtmReadFile::Outcome::TooLarge:
        ReportResult(KAVAtmEnums::Fail,
                     tr("The baseline file %1 is larger than %2 bytes.")
                         .arg(baselinePath,
                              QString::number(KAVAtmTestActionDef::MaximumBaselineSize)),
                     QString());
        return;
    case KAVAtmReadFile::Outcome::Unreadable:
        ReportResult(KAVAtmEnums::Fail,
                     tr("The baseline file %1 cannot be read: %2").arg(baselinePath, reason),
                     QString());
        return;
    }

    // Captured until two captures in a row are the same, with the event loop run between
    // them: a view still laying itself out, or an animation, is not compared half drawn.
    const qint64 timeout = d->def.GetTimeout();
    const int settleTime = timeout > 0
        ? int(std::min<qint64>(MaximumSettleTime, timeout * 900))
        : MaximumSettleTime;
    QImage previous;
    QImage actual;
    QString whyNot;
    bool settled = false;
    QElapsedTimer settling;
    settling.start();
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(25);
    connect(&tick, &QTimer::timeout, &loop, [&] {
        actual = d->Capture(&whyNot);
        if (actual.isNull()) {
            QuitLoop(loop);
            return;
        }
        // What is masked may change as it likes.
        paintMasks(actual, d->MaskRects());
        if (!previous.isNull() && actual == previous) {
            settled = true;
            QuitLoop(loop);
            return;
        }
        previous = actual;
        if (settling.elapsed() >= settleTime)
            QuitLoop(loop);
    });
    tick.start();
    if (!ExecLoop(loop))
        return;
    tick.stop();
    if (actual.isNull()) {
        ReportResult(KAVAtmEnums::Fail, tr("The capture failed: %1.").arg(whyNot), QString());
        return;
    }
    if (!settled) {
        ReportResult(KAVAtmEnums::Fail,
                     tr("The capture did not settle: it still changed after %1 ms. Mask what "
                        "changes by itself.")
                         .arg(settling.elapsed()),
                     QString());
        return;
    }
    const QList<QRect> rects = d->MaskRects();

    KAVAtmTestActionResult result(GetId(), &d->def, nullptr);
    result.SetStatus(KAVAtmEnums::Completed);
    result.SetDevicePixelRatio(ratio);
    const QByteArray actualPng = KAVAtmScreenshot::ToPng(actual, &whyNot);
    if (actualPng.isEmpty()) {
        ReportResult(KAVAtmEnums::Fail, tr("The capture failed: %1.").arg(whyNot), QString());
        return;
    }
    result.SetImage(QStringLiteral("actual"), actualPng);
    if (expected.isNull()) {
        // A first run: the runner keeps the capture as the baseline.
        result.SetResult(KAVAtmEnums::Pass);
        result.SetDetails(tr("No baseline %1 yet: the capture becomes it.").arg(baselinePath));
        ReportResult(result);
        return;
    }
    expected = expected.convertToFormat(QImage::Format_RGB32);
    if (expected.size() == actual.size())
        paintMasks(expected, rects);
    KAVAtmImageComparison::Options options;
    options.threshold = d->def.GetThreshold();
    const KAVAtmImageComparison::Outcome outcome
        = KAVAtmImageComparison::Compare(expected, actual, options);
    if (!outcome.error.isEmpty()) {
        result.SetResult(KAVAtmEnums::Fail);
        result.SetDetails(outcome.error);
        result.SetImage(QStringLiteral("expected"), bytes);
        ReportResult(result);
        return;
    }
    const qint64 pixels = qint64(actual.width()) * actual.height();
    const qint64 allowed = std::max<qint64>(
        d->def.GetMaxDiffPixels(), qint64(std::floor(d->def.GetMaxDiffPixelRatio() * pixels)));
    if (outcome.differing <= allowed) {
        result.SetResult(KAVAtmEnums::Pass);
        if (outcome.differing > 0)
            result.SetDetails(tr("%1 pixel(s) differ, within the %2 allowed.")
                                  .arg(outcome.differing)
                                  .arg(allowed));
        ReportResult(result);
        return;
    }
    result.SetResult(KAVAtmEnums::Fail);
    result.SetDetails(tr("%1 pixel(s) differ from the baseline %2 (%3 % of %4x%5); at most %6 "
                         "may.")
                          .arg(outcome.differing)
                          .arg(baselinePath)
                          .arg(100.0 * double(outcome.differing) / double(pixels), 0, 'f', 2)
                          .arg(actual.width())
                          .arg(actual.height())
                          .arg(allowed));
    result.SetImage(QStringLiteral("expected"), KAVAtmScreenshot::ToPng(expected, &whyNot));
    result.SetImage(QStringLiteral("diff"), KAVAtmScreenshot::ToPng(outcome.diff, &whyNot));
    ReportResult(result);
}
