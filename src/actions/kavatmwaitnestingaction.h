#ifndef KAVATMWAITNESTINGACTION_H
#define KAVATMWAITNESTINGACTION_H

#include "kavatmwaitnestingactiondef.h"
#include "kavatmwaitprocessoractionbase.h"

class KAVAtmWaitNestingActionPrivate;

// Waits for the nesting processor of the current environment.
class KAVAUTOMATION_EXPORT KAVAtmWaitNestingAction : public KAVAtmWaitProcessorActionBase {
    Q_OBJECT
public:
    Q_INVOKABLE KAVAtmWaitNestingAction(KAVAtmPlatform &platform, const QUuid &id,
                                        const QJsonValue &data);
    ~KAVAtmWaitNestingAction() override;

    static QByteArray GetActionName();

    void Execute() override;

private:
    Q_DECLARE_PRIVATE(KAVAtmWaitNestingAction)
};

#endif // KAVATMWAITNESTINGACTION_H
