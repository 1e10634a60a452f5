#ifndef KAVATMRECORDINGACTIONDEF_H
#define KAVATMRECORDINGACTIONDEF_H

#include "kavatmtestactiondef.h"

// Switches the recording of user operations on ("start") or off ("stop").
class KAVAUTOMATION_EXPORT KAVAtmRecordingActionDef : public KAVAtmTestActionDef {
    Q_OBJECT
    Q_CLASSINFO("actionType", "Recording")
public:
    KAVAtmRecordingActionDef();
    ~KAVAtmRecordingActionDef() override;

    void FromJson(const QJsonObject &json) override;
    QJsonObject ToJson() const override;

    QString GetCommand() const;
    void SetCommand(const QString &command);

private:
    struct Private;
    const std::unique_ptr<Private> d;
};

#endif // KAVATMRECORDINGACTIONDEF_H
