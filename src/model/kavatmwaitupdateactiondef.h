#ifndef KAVATMWAITUPDATEACTIONDEF_H
#define KAVATMWAITUPDATEACTIONDEF_H

#include "kavatmtestactiondef.h"

// Waits for the update of stale feature objects.
class KAVAUTOMATION_EXPORT KAVAtmWaitUpdateActionDef : public KAVAtmTestActionDef {
    Q_OBJECT
    Q_CLASSINFO("actionType", "WaitUpdate")
public:
    Q_INVOKABLE KAVAtmWaitUpdateActionDef();
    ~KAVAtmWaitUpdateActionDef() override;

    static QByteArray GetActionName();
};

#endif // KAVATMWAITUPDATEACTIONDEF_H
