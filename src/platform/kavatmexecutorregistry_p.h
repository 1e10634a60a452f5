#ifndef KAVATMEXECUTORREGISTRY_P_H
#define KAVATMEXECUTORREGISTRY_P_H

#include "kavautomation_export.h"

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QPair>

struct QMetaObject;

// The executors the library brings. Each registers itself from its own source file, so the
// platform knows them only through this list; every platform made afterwards registers them
// under their type.
namespace KAVAtmExecutorRegistry {

using NameFunction = QByteArray (*)();

KAVAUTOMATION_EXPORT bool AddBuiltIn(NameFunction name, const QMetaObject &metaObject);
// The type name and class of each, in the order they were added.
KAVAUTOMATION_EXPORT QList<QPair<QByteArray, const QMetaObject *>> BuiltIns();

} // namespace KAVAtmExecutorRegistry

// In the executor's source file, at namespace scope.
#define KAVATM_REGISTER_EXECUTOR(Class)                                                            \
    namespace {                                                                                    \
    [[maybe_unused]] const bool s_registered##Class                                                \
        = KAVAtmExecutorRegistry::AddBuiltIn(&Class::GetActionName, Class::staticMetaObject);      \
    }

#endif // KAVATMEXECUTORREGISTRY_P_H
