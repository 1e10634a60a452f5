#ifndef KAVATMTESTACTIONDEFFACTORY_H
#define KAVATMTESTACTIONDEFFACTORY_H

#include "kavatmenums.h"

#include <QtCore/QByteArray>
#include <QtCore/QList>

#include <memory>

class KAVAtmTestActionDef;
class KAVAtmTestActionDefFactoryPrivate;
struct QMetaObject;

// Creates the registered typed action definitions by their exact type name.
class KAVAUTOMATION_EXPORT KAVAtmTestActionDefFactory {
public:
    static KAVAtmTestActionDefFactory *GetInstance();
    ~KAVAtmTestActionDefFactory();

    // A new definition owned by the caller, with no JSON read yet, or null for an unknown name.
    KAVAtmTestActionDef *CreateActionDef(const QByteArray &name,
                                         KAVAtmEnums::Platform platform) const;
    QList<QByteArray> GetRegisteredActionNames() const;

protected:
    void RegisterActionWithType(const QByteArray &name, const QMetaObject &metaObject);

private:
    KAVAtmTestActionDefFactory();
    KAVAtmTestActionDefFactory(const KAVAtmTestActionDefFactory &) = delete;
    KAVAtmTestActionDefFactory &operator=(const KAVAtmTestActionDefFactory &) = delete;

    const std::unique_ptr<KAVAtmTestActionDefFactoryPrivate> d;
};

#endif // KAVATMTESTACTIONDEFFACTORY_H
