#include "kavatmimagecomparison_p.h"

#include <QtCore/QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace KAVAtmImageComparison {

namespace {

// The largest YIQ distance there is (black against white).
constexpr double MaximumDelta = 35215.0;

struct Pixels {
    const QRgb *bits;
    int width;
    int height;
    QRgb at(int x, int y) const { return bits[qsizetype(y) * width + x]; }
};

// Over white, as a browser shows a transparent pixel.
inline void blended(QRgb pixel, double &r, double &g, double &b)
{
    const double a = qAlpha(pixel) / 255.0;
    r = 255 + (qRed(pixel) - 255) * a;
    g = 255 + (qGreen(pixel) - 255) * a;
    b = 255 + (qBlue(pixel) - 255) * a;
}

inline double luma(double r, double g, double b)
{
    return r * 0.29889531 + g * 0.58662247 + b * 0.11448223;
}

// The perceived distance; for lumaOnly the brightness difference, negative when the first
// pixel is the brighter one.
double colourDelta(QRgb first, QRgb second, bool lumaOnly)
{
    double r1, g1, b1, r2, g2, b2;
    blended(first, r1, g1, b1);
    blended(second, r2, g2, b2);
    const double y1 = luma(r1, g1, b1);
    const double y2 = luma(r2, g2, b2);
    const double y = y1 - y2;
    if (lumaOnly)
        return y;
    const double i = (r1 * 0.59597799 - g1 * 0.27417610 - b1 * 0.32180189)
        - (r2 * 0.59597799 - g2 * 0.27417610 - b2 * 0.32180189);
    const double q = (r1 * 0.21147017 - g1 * 0.52261711 + b1 * 0.31114694)
        - (r2 * 0.21147017 - g2 * 0.52261711 + b2 * 0.31114694);
    return 0.5053 * y * y + 0.299 * i * i + 0.1957 * q * q;
}

// More than two of the pixel's neighbours have its very colour: it lies inside a flat area.
bool hasManySiblings(const Pixels &image, int x1, int y1)
{
    const int x0 = std::max(x1 - 1, 0), y0 = std::max(y1 - 1, 0);
    const int x2 = std::min(x1 + 1, image.width - 1), y2 = std::min(y1 + 1, image.height - 1);
    const QRgb pixel = image.at(x1, y1);
    int same = (x1 == x0 || x1 == x2 || y1 == y0 || y1 == y2) ? 1 : 0;
    for (int x = x0; x <= x2; ++x) {
        for (int y = y0; y <= y2; ++y) {
            if ((x != x1 || y != y1) && image.at(x, y) == pixel && ++same > 2)
                return true;
        }
    }
    return false;
}

// The pixel is on an edge an anti-aliasing rasteriser blends: between its darkest and its
// brightest neighbour, each of which lies in a flat area of both images.
bool isAntiAliased(const Pixels &image, int x1, int y1, const Pixels &other)
{
    const int x0 = std::max(x1 - 1, 0), y0 = std::max(y1 - 1, 0);
    const int x2 = std::min(x1 + 1, image.width - 1), y2 = std::min(y1 + 1, image.height - 1);
    const QRgb pixel = image.at(x1, y1);
    int same = (x1 == x0 || x1 == x2 || y1 == y0 || y1 == y2) ? 1 : 0;
    double darkest = 0, brightest = 0;
    int minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (int x = x0; x <= x2; ++x) {
        for (int y = y0; y <= y2; ++y) {
            if (x == x1 && y == y1)
                continue;
            const double delta = colourDelta(pixel, image.at(x, y), true);
            if (delta == 0) {
                if (++same > 2)
                    return false;
            } else if (delta < darkest) {
                darkest = delta;
                minX = x;
                minY = y;
            } else if (delta > brightest) {
                brightest = delta;
                maxX = x;
                maxY = y;
            }
        }
    }
    if (darkest == 0 || brightest == 0)
        return false;
    return (hasManySiblings(image, minX, minY) && hasManySiblings(other, minX, minY))
        || (hasManySiblings(image, maxX, maxY) && hasManySiblings(other, maxX, maxY));
}

inline QRgb faded(QRgb pixel)
{
    double r, g, b;
    blended(pixel, r, g, b);
    const int grey = int(255 + (luma(r, g, b) - 255) * 0.1);
    return qRgb(grey, grey, grey);
}

} // namespace

Outcome Compare(const QImage &expected, const QImage &actual, const Options &options)
{
    Outcome outcome;
    if (expected.size() != actual.size()) {
        outcome.error = QCoreApplication::translate("KAVAtmImageComparison",
                                                    "The capture is %1x%2; the baseline is %3x%4.")
                            .arg(actual.width())
                            .arg(actual.height())
                            .arg(expected.width())
                            .arg(expected.height());
        return outcome;
    }
    const QImage first = expected.convertToFormat(QImage::Format_ARGB32);
    const QImage second = actual.convertToFormat(QImage::Format_ARGB32);
    const int width = first.width();
    const int height = first.height();
    const Pixels a {reinterpret_cast<const QRgb *>(first.constBits()), width, height};
    const Pixels b {reinterpret_cast<const QRgb *>(second.constBits()), width, height};
    // Scan lines of ARGB32 have no padding, so one comparison covers the whole image.
    const bool identical = width == 0 || height == 0
        || std::memcmp(a.bits, b.bits, size_t(width) * size_t(height) * sizeof(QRgb)) == 0;
    if (options.drawDiff)
        outcome.diff = QImage(width, height, QImage::Format_RGB32);
    QRgb *diff = options.drawDiff ? reinterpret_cast<QRgb *>(outcome.diff.bits()) : nullptr;
    const double threshold = std::clamp(options.threshold, 0.0, 1.0);
    const double limit = MaximumDelta * threshold * threshold;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const qsizetype at = qsizetype(y) * width + x;
            const QRgb pa = a.bits[at];
            const QRgb pb = b.bits[at];
            if (identical || pa == pb || colourDelta(pa, pb, false) <= limit) {
                if (diff)
                    diff[at] = faded(pb);
                continue;
            }
            if (!options.countAntiAliased
                && (isAntiAliased(a, x, y, b) || isAntiAliased(b, x, y, a))) {
                ++outcome.antiAliased;
                if (diff)
                    diff[at] = qRgb(255, 255, 0);
                continue;
            }
            ++outcome.differing;
            if (diff)
                diff[at] = qRgb(255, 0, 0);
        }
    }
    return outcome;
}

} // namespace KAVAtmImageComparison
