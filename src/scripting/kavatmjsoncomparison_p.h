#ifndef KAVATMJSONCOMPARISON_P_H
#define KAVATMJSONCOMPARISON_P_H

#include "kavautomation_export.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>

// The comparison of an actual JSON document with its baseline behind kavAssert.areEqualJson and
// DataAssert: the same text is equal without being read; otherwise every value of the expected
// document must be in the actual one, of the same JSON type and equal (numbers within 0.0001;
// integers past what a double holds exactly, as written); the actual document may hold more.
// Keys are taken in the order scripts see them (index-like keys first, ascending, then as
// written; a repeated key counts with its last value).
namespace KAVAtmJsonComparison {

// Empty when equal; otherwise the message of the first difference, with its JSON path, or
// "JSON.parse: Parse error" for a text that is not JSON.
KAVAUTOMATION_EXPORT QString Compare(const QByteArray &expected, const QByteArray &actual);

} // namespace KAVAtmJsonComparison

#endif // KAVATMJSONCOMPARISON_P_H
