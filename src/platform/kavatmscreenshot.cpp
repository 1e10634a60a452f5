#include "kavatmscreenshot_p.h"

#include <QtCore/QBuffer>
#include <QtCore/QCoreApplication>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include <algorithm>

namespace KAVAtmScreenshot {

QList<QWidget *> Windows()
{
    QList<QWidget *> windows;
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return windows;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = widget->windowType();
        if (widget->isVisible() && type != Qt::ToolTip && type != Qt::Desktop)
            windows.append(widget);
    }
    std::stable_sort(windows.begin(), windows.end(), [](const QWidget *a, const QWidget *b) {
        return std::pair(a->x(), a->y()) < std::pair(b->x(), b->y());
    });
    return windows;
}

QImage GrabImage(QString *whyNot)
{
    const auto fail = [whyNot](const char *reason) {
        if (whyNot)
            *whyNot = QCoreApplication::translate("KAVAtmScreenshot", reason);
        return QImage();
    };
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return fail("the host has no widgets to show");
    const QList<QWidget *> windows = Windows();
    if (windows.isEmpty())
        return fail("the host shows no window");
    QList<QImage> images;
    int width = 0;
    int height = 0;
    for (QWidget *window : windows) {
        QImage image = window->grab().toImage();
        if (image.isNull())
            continue;
        image.setDevicePixelRatio(1);
        width += (images.isEmpty() ? 0 : Gap) + image.width();
        height = std::max(height, image.height());
        images.append(image);
    }
    if (images.isEmpty() || width <= 0 || height <= 0)
        return fail("the host's windows could not be drawn");
    // Scaled as they are put together: many windows side by side make no huge image first.
    const double scale = std::min(1.0, double(MaximumWidth) / width);
    QImage sheet(std::max(1, int(width * scale)), std::max(1, int(height * scale)),
                 QImage::Format_RGB32);
    sheet.fill(QColor(0x80, 0x80, 0x80));
    {
        QPainter painter(&sheet);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.scale(scale, scale);
        int x = 0;
        for (const QImage &image : std::as_const(images)) {
            painter.drawImage(x, 0, image);
            x += image.width() + Gap;
        }
    }
    return sheet;
}

QByteArray ToPng(const QImage &image, QString *whyNot)
{
    QByteArray png;
    QBuffer buffer(&png);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        if (whyNot)
            *whyNot = QCoreApplication::translate("KAVAtmScreenshot",
                                                  "the host's windows could not be written as PNG");
        return QByteArray();
    }
    return png;
}

QByteArray Grab(QString *whyNot)
{
    const QImage image = GrabImage(whyNot);
    return image.isNull() ? QByteArray() : ToPng(image, whyNot);
}

} // namespace KAVAtmScreenshot
