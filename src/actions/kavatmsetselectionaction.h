#ifndef KAVATMSETSELECTIONACTION_H
#define KAVATMSETSELECTIONACTION_H

#include "kavatmsetselectionactiondef.h"
#include "kavatmtestactionbase.h"

class KAVAtmSetSelectionActionPrivate;

// Replaces the current environment's selection with the objects at the given tree paths;
// paths that name nothing are skipped.
class KAVAUTOMATION_EXPORT KAVAtmSetSelectionAction : public KAVAtmTestActionBase {
    Q_OBJECT
public:
    Q_INVOKABLE KAVAtmSetSelectionAction(KAVAtmPlatform &platform, const QUuid &id,
                                         const QJsonValue &data);
    ~KAVAtmSetSelectionAction() override;

    static QByteArray GetActionName();

    void Execute() override;

private:
    Q_DECLARE_PRIVATE(KAVAtmSetSelectionAction)
};

#endif // KAVATMSETSELECTIONACTION_H
