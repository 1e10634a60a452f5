#ifndef KAVATMDATAASSERTACTION_H
#define KAVATMDATAASSERTACTION_H

#include "kavatmdataassertactiondef.h"
#include "kavatmtestactionbase.h"

class KAVAtmDataAssertActionPrivate;

// Compares the host's current feature data, as the UI helper serialises it, with the action's
// baseline. Without a baseline it passes and reports the serialised data, which becomes the
// baseline on the runner's side.
class KAVAUTOMATION_EXPORT KAVAtmDataAssertAction : public KAVAtmTestActionBase {
    Q_OBJECT
public:
    Q_INVOKABLE KAVAtmDataAssertAction(KAVAtmPlatform &platform, const QUuid &id,
                                       const QJsonValue &data);
    ~KAVAtmDataAssertAction() override;

    static QByteArray GetActionName();
    // The UTF-8 JSON text the UI helper's SerializeContainer gives for the configuration.
    static QByteArray SerializeContainer(const QString &configJsonString);

    void Execute() override;

private:
    Q_DECLARE_PRIVATE(KAVAtmDataAssertAction)
};

#endif // KAVATMDATAASSERTACTION_H
