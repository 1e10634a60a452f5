#include "kavatmimagecomparison_p.h"
#include "kavatmscreenshotassertactiondef.h"

#include <QtGui/QPainter>
#include <QtTest/QtTest>

namespace {

QImage filled(int width, int height, QRgb colour = qRgb(255, 255, 255))
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QImage withPixel(QImage image, int x, int y, QRgb colour)
{
    image.setPixel(x, y, colour);
    return image;
}

// A dark disc drawn smoothly: its rim is blended with the background.
QImage disc(double x)
{
    QImage image = filled(40, 40);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(20, 20, 120));
    painter.drawEllipse(QPointF(x, 20), 12, 12);
    return image;
}

} // namespace

class tst_KAVAtmImageComparison : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void compare_data();
    void compare();
    void baselineNames_data();
    void baselineNames();
};

void tst_KAVAtmImageComparison::compare_data()
{
    QTest::addColumn<QImage>("expected");
    QTest::addColumn<QImage>("actual");
    QTest::addColumn<double>("threshold");
    QTest::addColumn<bool>("countAntiAliased");
    QTest::addColumn<qint64>("differing");
    QTest::addColumn<bool>("antiAliasedSeen");
    QTest::addColumn<QString>("error");

    const QImage white = filled(8, 6);
    QTest::newRow("identical") << white << white << 0.2 << false << qint64(0) << false << "";
    QTest::newRow("one pixel") << white << withPixel(white, 3, 2, qRgb(0, 0, 0)) << 0.2 << false
                               << qint64(1) << false << "";
    // Alpha is drawn over white: a transparent black pixel is white.
    QImage clear(8, 6, QImage::Format_ARGB32);
    clear.fill(qRgba(0, 0, 0, 0));
    QTest::newRow("transparent over white")
        << white << clear << 0.0 << false << qint64(0) << false << "";
    const QImage faint = withPixel(white, 3, 2, qRgb(250, 250, 250));
    QTest::newRow("faint, under the threshold") << white << faint << 0.2 << false << qint64(0)
                                                << false << "";
    QTest::newRow("grey, over the threshold")
        << white << withPixel(white, 3, 2, qRgb(200, 200, 200)) << 0.2 << false << qint64(1)
        << false << "";
    QTest::newRow("faint, threshold 0") << white << faint << 0.0 << false << qint64(1) << false
                                        << "";
    // Threshold 1 takes the largest distance there is (black on white) as the same.
    QTest::newRow("threshold 1") << white << withPixel(white, 3, 2, qRgb(0, 0, 0)) << 1.0
                                 << false << qint64(0) << false << "";
    // A sub-pixel move changes only the blended rim.
    QTest::newRow("anti-aliased edge") << disc(20) << disc(20.4) << 0.1 << false << qint64(0)
                                       << true << "";
    QTest::newRow("anti-aliased edge, counted")
        << disc(20) << disc(20.4) << 0.1 << true << qint64(-2) << false << "";
    // Between a darker and a brighter flat area, but with more than two neighbours of its own
    // colour: no rim either.
    QImage halves = filled(20, 20);
    QPainter(&halves).fillRect(0, 0, 10, 20, Qt::black);
    for (const QPoint &grey : {QPoint(10, 9), QPoint(10, 11), QPoint(11, 9)})
        halves.setPixel(grey, qRgb(128, 128, 128));
    QTest::newRow("crowded, no edge") << halves << withPixel(halves, 10, 10, qRgb(128, 128, 128))
                                      << 0.1 << false << qint64(1) << false << "";
    // A changed area inside a flat one is no rim: every pixel counts.
    QImage block = filled(20, 20);
    QPainter(&block).fillRect(5, 5, 4, 3, QColor(200, 0, 0));
    QTest::newRow("changed block") << filled(20, 20) << block << 0.2 << false << qint64(12)
                                   << false << "";
    QTest::newRow("size") << filled(998, 600) << filled(1000, 600) << 0.2 << false << qint64(0)
                          << false << "The capture is 1000x600; the baseline is 998x600.";
}

void tst_KAVAtmImageComparison::compare()
{
    QFETCH(QImage, expected);
    QFETCH(QImage, actual);
    QFETCH(double, threshold);
    QFETCH(bool, countAntiAliased);
    QFETCH(qint64, differing);
    QFETCH(bool, antiAliasedSeen);
    QFETCH(QString, error);
    KAVAtmImageComparison::Options options;
    options.threshold = threshold;
    options.countAntiAliased = countAntiAliased;
    const KAVAtmImageComparison::Outcome outcome
        = KAVAtmImageComparison::Compare(expected, actual, options);
    QCOMPARE(outcome.error, error);
    // -2: some, how many depends on the rasteriser.
    if (differing == -2)
        QVERIFY2(outcome.differing > 0, qPrintable(QString::number(outcome.differing)));
    else
        QCOMPARE(outcome.differing, differing);
    QCOMPARE(outcome.antiAliased > 0, antiAliasedSeen);
    if (!error.isEmpty())
        return;
    // Red where pixels differ, over the actual faded to grey.
    QCOMPARE(outcome.diff.size(), actual.size());
    qint64 red = 0;
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x)
            red += outcome.diff.pixel(x, y) == qRgb(255, 0, 0);
    }
    QCOMPARE(red, outcome.differing);
}

void tst_KAVAtmImageComparison::baselineNames_data()
{
    QTest::addColumn<QString>("platform");
    QTest::addColumn<double>("ratio");
    QTest::addColumn<QString>("name");
    QTest::newRow("default") << "linux" << 1.0 << "shots/sheet.png";
    QTest::newRow("windows") << "windows" << 1.0 << "shots/sheet-windows.png";
    QTest::newRow("2x") << "linux" << 2.0 << "shots/sheet@2x.png";
    QTest::newRow("macos 1.5x") << "macos" << 1.5 << "shots/sheet-macos@1.5x.png";
}

void tst_KAVAtmImageComparison::baselineNames()
{
    QFETCH(QString, platform);
    QFETCH(double, ratio);
    QFETCH(QString, name);
    QCOMPARE(KAVAtmScreenshotAssertActionDef::VariantPath("shots/sheet.png", platform, ratio), name);
}

QTEST_MAIN(tst_KAVAtmImageComparison)
#include "tst_kavatmimagecomparison.moc"
