#ifndef KAVATMRECORDINGACTIONDEF_H
#define KAVATMRECORDINGACTIONDEF_H

#include "kavatmtestactiondef.h"

class KAVAtmRecordingActionDefPrivate;

// Switches the recording of user operations on ("start") or off ("stop").
class KAVAUTOMATION_EXPORT KAVAtmRecordingActionDef : public KAVAtmTestActionDef {
    Q_OBJECT
    Q_CLASSINFO("actionType", "Recording")
public:
    KAVAtmRecordingActionDef();
    ~KAVAtmRecordingActionDef() override;

    static QByteArray GetActionName();

    void FromJson(const QJsonObject &json) override;
    QJsonObject ToJson() const override;

    QString GetCommand() const;
    void SetCommand(const QString &command);

private:
    const std::unique_ptr<KAVAtmRecordingActionDefPrivate> d;
};

#endif // KAVATMRECORDINGACTIONDEF_H
