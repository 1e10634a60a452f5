#ifndef KAVATMWAITUPDATEACTION_H
#define KAVATMWAITUPDATEACTION_H

#include "kavatmactivitywaitbase.h"
#include "kavatmwaitupdateactiondef.h"

class KAVAtmUpdateMonitor;
class KAVAtmWaitUpdateActionPrivate;

// Waits for the update manager to bring stale feature objects up to date.
class KAVAUTOMATION_EXPORT KAVAtmWaitUpdateAction : public KAVAtmActivityWaitBase {
    Q_OBJECT
public:
    static constexpr int DefaultStartTimeout = 30000;

    Q_INVOKABLE KAVAtmWaitUpdateAction(KAVAtmPlatform &platform, const QUuid &id,
                                       const QJsonValue &data);
    ~KAVAtmWaitUpdateAction() override;

    static QByteArray GetActionName();
    // Whether the history holds an update under way (or, without one, a busy report) followed
    // directly by idle.
    static bool IsUpdateAlreadyFinished(KAVAtmUpdateMonitor *monitor);

    // Milliseconds to wait for the update manager to become busy. Production keeps the
    // default; tests shorten it.
    static int GetStartTimeout();
    static void SetStartTimeout(int milliseconds);

    void Execute() override;

private:
    Q_DECLARE_PRIVATE(KAVAtmWaitUpdateAction)
};

#endif // KAVATMWAITUPDATEACTION_H
