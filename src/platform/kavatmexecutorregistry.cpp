#include "kavatmexecutorregistry_p.h"

#include <QtCore/QMetaObject>

namespace KAVAtmExecutorRegistry {

namespace {

// Filled while the library loads, before any platform can exist; read-only afterwards.
QList<QPair<NameFunction, const QMetaObject *>> &builtIns()
{
    static QList<QPair<NameFunction, const QMetaObject *>> list;
    return list;
}

} // namespace

bool AddBuiltIn(NameFunction name, const QMetaObject &metaObject)
{
    builtIns().append({name, &metaObject});
    return true;
}

QList<QPair<QByteArray, const QMetaObject *>> BuiltIns()
{
    // Names are asked for only now: during loading the definitions' meta-objects, in other
    // files, may not be ready.
    QList<QPair<QByteArray, const QMetaObject *>> list;
    for (const auto &[name, metaObject] : std::as_const(builtIns()))
        list.append({name(), metaObject});
    return list;
}

} // namespace KAVAtmExecutorRegistry
