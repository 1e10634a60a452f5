// The visual comparison against a plain byte comparison of the same pixels: two 1920x1080
// images, 1 % of their pixels different (scattered, as a changed part and anti-aliased edges
// are). Prints the median of the runs, with and without drawing the diff image.
//
// Usage: bench_screenshot [runs, default 30]

#include "kavatmimagecomparison_p.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QRandomGenerator>
#include <QtGui/QGuiApplication>
#include <QtGui/QPainter>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

template<typename Run> double medianMs(int runs, Run run)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    // Something like a sheet view: a background, parts with anti-aliased outlines, text.
    QImage expected(1920, 1080, QImage::Format_ARGB32);
    expected.fill(QColor(0xf4, 0xf4, 0xf0));
    {
        QPainter painter(&expected);
        painter.setRenderHint(QPainter::Antialiasing);
        QRandomGenerator shapes(7);
        for (int i = 0; i < 400; ++i) {
            painter.setBrush(QColor::fromHsv(shapes.bounded(360), 120, 220));
            painter.drawEllipse(QPointF(shapes.bounded(1920), shapes.bounded(1080)),
                                shapes.bounded(5, 60), shapes.bounded(5, 60));
        }
    }
    QImage actual = expected.copy();
    const qint64 pixels = qint64(actual.width()) * actual.height();
    QRandomGenerator random(20261207);
    for (qint64 n = 0; n < pixels / 100; ++n)
        actual.setPixel(random.bounded(1920), random.bounded(1080), qRgb(255, 0, 0));

    qint64 differing = 0;
    const double compared = medianMs(runs, [&] {
        differing = KAVAtmImageComparison::Compare(expected, actual).differing;
    });
    KAVAtmImageComparison::Options noDiff;
    noDiff.drawDiff = false;
    const double countOnly
        = medianMs(runs, [&] { KAVAtmImageComparison::Compare(expected, actual, noDiff); });
    qint64 bytesDiffering = 0;
    const double bytes = medianMs(runs, [&] {
        const auto *a = reinterpret_cast<const quint32 *>(expected.constBits());
        const auto *b = reinterpret_cast<const quint32 *>(actual.constBits());
        qint64 count = 0;
        for (qint64 i = 0; i < pixels; ++i)
            count += a[i] != b[i];
        bytesDiffering = count;
    });
    std::printf("1920x1080, %lld of %lld pixels changed (%lld differ as compared, %lld by bytes)\n",
                static_cast<long long>(pixels / 100), static_cast<long long>(pixels),
                static_cast<long long>(differing), static_cast<long long>(bytesDiffering));
    std::printf("median of %d runs:\n", runs);
    std::printf("  visual comparison with its diff image  %8.2f ms\n", compared);
    std::printf("  visual comparison, count only          %8.2f ms\n", countOnly);
    std::printf("  plain comparison of the pixel words    %8.2f ms\n", bytes);
    return 0;
}
