#ifndef KAVATMRECORDINGACTION_H
#define KAVATMRECORDINGACTION_H

#include "kavatmrecordingactiondef.h"
#include "kavatmtestactionbase.h"

class KAVAtmRecordingActionPrivate;

// Starts ("start") or stops ("stop") the platform's recording of user operations.
class KAVAUTOMATION_EXPORT KAVAtmRecordingAction : public KAVAtmTestActionBase {
    Q_OBJECT
public:
    Q_INVOKABLE KAVAtmRecordingAction(KAVAtmPlatform &platform, const QUuid &id,
                                      const QJsonValue &data);
    ~KAVAtmRecordingAction() override;

    static QByteArray GetActionName();

    void Execute() override;

private:
    Q_DECLARE_PRIVATE(KAVAtmRecordingAction)
};

#endif // KAVATMRECORDINGACTION_H
