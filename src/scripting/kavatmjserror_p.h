#ifndef KAVATMJSERROR_P_H
#define KAVATMJSERROR_P_H

#include "kavautomation_export.h"

#include <QtCore/QJsonObject>
#include <QtCore/QString>

class KAVAtmTestActionResult;
class QJSValue;

// Where a script failed, for the report of the action it failed.
namespace KAVAtmJsError {

// Lines shown before and after the line that failed.
constexpr int ContextLines = 2;

// The innermost place in the test's own scripts (the library's modules are skipped: a failed
// assertion is about the line that called it) as {"file", "line", "context"}; empty for a value
// that carries no place.
KAVAUTOMATION_EXPORT QJsonObject Location(const QJSValue &error);
// The location and the stack of the error, when it has them, added to the result.
KAVAUTOMATION_EXPORT void AddTo(const QJSValue &error, KAVAtmTestActionResult *result);

} // namespace KAVAtmJsError

#endif // KAVATMJSERROR_P_H
