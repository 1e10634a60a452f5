#ifndef KAVATMWAITNESTINGACTIONDEF_H
#define KAVATMWAITNESTINGACTIONDEF_H

#include "kavatmtestactiondef.h"

// Waits for the nesting processor of the current document.
class KAVAUTOMATION_EXPORT KAVAtmWaitNestingActionDef : public KAVAtmTestActionDef {
    Q_OBJECT
    Q_CLASSINFO("actionType", "WaitNest")
public:
    Q_INVOKABLE KAVAtmWaitNestingActionDef();
    ~KAVAtmWaitNestingActionDef() override;

    static QByteArray GetActionName();
};

#endif // KAVATMWAITNESTINGACTIONDEF_H
