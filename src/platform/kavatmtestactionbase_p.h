#ifndef KAVATMTESTACTIONBASE_P_H
#define KAVATMTESTACTIONBASE_P_H

#include "kavatmtestactiondef.h"

#include <QtCore/QJsonValue>
#include <QtCore/QSet>
#include <QtCore/QTimer>
#include <QtCore/QUuid>

class KAVAtmPlatform;
class QEventLoop;

// The root of the executors' private parts: one object per executor, each level adding to it.
class KAVAtmTestActionBasePrivate {
public:
    explicit KAVAtmTestActionBasePrivate(KAVAtmTestActionDef *definition = nullptr)
        : definition(definition)
    {
    }
    virtual ~KAVAtmTestActionBasePrivate() = default;

    QString Describe(const KAVAtmTestActionDef *def) const
    {
        return QStringLiteral("%1 Id: %2")
            .arg(def ? def->GetType() : QString(), id.toString(QUuid::WithBraces));
    }

    // The executor's definition, read from the action's data; held by the level that knows
    // its type.
    KAVAtmTestActionDef *const definition;
    QUuid id;
    KAVAtmPlatform *platform = nullptr;
    QJsonValue data;
    QTimer timeoutTimer;
    // Loops asked to end through QuitLoop and not yet returned.
    QSet<const QEventLoop *> quitLoops;
    bool ended = false;
};

// The private part of an executor of one definition type, on top of its base's.
template <class Def, class Base = KAVAtmTestActionBasePrivate>
class KAVAtmExecutorPrivate : public Base {
public:
    KAVAtmExecutorPrivate() : Base(&def) { }

    Def def;
};

#endif // KAVATMTESTACTIONBASE_P_H
