#ifndef KAVATMSERIALIZER_P_H
#define KAVATMSERIALIZER_P_H

#include "kavautomation_export.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>

class QObject;

// The JSON form of the host's current feature data that data assertions compare with their
// baselines: every root of the current environment, each property of each object, lists of
// feature objects sorted by a key that does not depend on the run, and objects that already have
// a key written as that key. The keys are kept process-wide, as long as their objects live.
namespace KAVAtmSerializer {

// The configuration is {"ignoreProps": [...], "ignoreClassProps": [{"className", "ignoreProps"}]};
// text that is not JSON ignores nothing. No current environment gives no bytes at all.
KAVAUTOMATION_EXPORT QByteArray SerializeContainer(const QString &configJson);

// The key an object has been given, or empty.
KAVAUTOMATION_EXPORT QString GetKey(const QObject *object);

} // namespace KAVAtmSerializer

#endif // KAVATMSERIALIZER_P_H
