#ifndef KAVATMJSONCOMPARISON_P_H
#define KAVATMJSONCOMPARISON_P_H

#include "kavautomation_export.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>

// The comparison of an actual JSON document with its baseline behind kavAssert.areEqualJson and
// DataAssert: both texts must be JSON, identical or not; every value of the expected document
// must be in the actual one, of the same JSON type and equal (numbers within 0.0001; integers
// past what a double holds exactly, as written); the actual document may hold more, unless
// strict. Keys are taken in the order scripts see them (index-like keys first, ascending, then
// as written; a repeated key counts with its last value).
namespace KAVAtmJsonComparison {

struct Options {
    // How messages name each text ("The baseline file x.json").
    QString expectedName = QStringLiteral("The expected JSON text");
    QString actualName = QStringLiteral("The actual JSON text");
    // Properties only the actual document has fail it too.
    bool strict = false;
    // An expected {} or [] compares nothing, and so fails.
    bool refuseEmptyExpected = false;
};

// Empty when equal; otherwise the message of the first difference, with its JSON path, or
// what is wrong with a text that is not JSON: which one, why and where.
KAVAUTOMATION_EXPORT QString Compare(const QByteArray &expected, const QByteArray &actual,
                                     const Options &options);
KAVAUTOMATION_EXPORT QString Compare(const QByteArray &expected, const QByteArray &actual);

// A script's string as UTF-8, with each lone surrogate written as its escape.
KAVAUTOMATION_EXPORT QByteArray Utf8Text(const QString &text);

} // namespace KAVAtmJsonComparison

#endif // KAVATMJSONCOMPARISON_P_H
