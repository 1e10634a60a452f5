#ifndef KAVATMIMAGECOMPARISON_P_H
#define KAVATMIMAGECOMPARISON_P_H

#include "kavautomation_export.h"

#include <QtCore/QString>
#include <QtGui/QImage>

// How far a capture of the host's windows is from its baseline, pixel by pixel, as a person
// would see it: colours are compared in YIQ space, and a pixel on an anti-aliased edge (one
// that a slightly different rasteriser draws differently) does not count.
namespace KAVAtmImageComparison {

struct Options {
    // The largest colour distance two pixels may have and still be the same, 0..1: 0 takes
    // any difference, 1 none.
    double threshold = 0.2;
    // Anti-aliased pixels are counted as well.
    bool countAntiAliased = false;
    // Draws the diff image: differing pixels red, anti-aliased ones yellow, over the actual
    // image faded to grey.
    bool drawDiff = true;
};

struct Outcome {
    // Why the images could not be compared (a size that differs); empty when they were.
    QString error;
    qint64 differing = 0;
    qint64 antiAliased = 0;
    QImage diff;
};

KAVAUTOMATION_EXPORT Outcome Compare(const QImage &expected, const QImage &actual,
                                     const Options &options = Options());

} // namespace KAVAtmImageComparison

#endif // KAVATMIMAGECOMPARISON_P_H
