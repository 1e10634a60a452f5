#ifndef KAVATMSCREENSHOTASSERTACTION_H
#define KAVATMSCREENSHOTASSERTACTION_H

#include "kavatmscreenshotassertactiondef.h"
#include "kavatmtestactionbase.h"

class KAVAtmScreenshotAssertActionPrivate;

// Captures a widget (or every window) once it has stopped changing, paints over the masked
// widgets and compares the capture with the baseline PNG. The images go to the runner: the
// capture becomes the baseline of a first run, and a failure keeps all three (expected,
// actual, diff).
class KAVAUTOMATION_EXPORT KAVAtmScreenshotAssertAction : public KAVAtmTestActionBase {
    Q_OBJECT
public:
    Q_INVOKABLE KAVAtmScreenshotAssertAction(KAVAtmPlatform &platform, const QUuid &id,
                                             const QJsonValue &data);
    ~KAVAtmScreenshotAssertAction() override;

    static QByteArray GetActionName();
    // How long the capture may take to settle at most, whatever the time-out.
    static constexpr int MaximumSettleTime = 10000;

    void Execute() override;

private:
    Q_DECLARE_PRIVATE(KAVAtmScreenshotAssertAction)
};

#endif // KAVATMSCREENSHOTASSERTACTION_H
