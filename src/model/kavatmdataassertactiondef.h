#ifndef KAVATMDATAASSERTACTIONDEF_H
#define KAVATMDATAASSERTACTIONDEF_H

#include "kavatmtestactiondef.h"

class KAVAtmDataAssertActionDefPrivate;

// Compares the current nesting data with a baseline. Reading loads the baseline file and
// builds the serialisation configuration (ignored properties).
class KAVAUTOMATION_EXPORT KAVAtmDataAssertActionDef : public KAVAtmTestActionDef {
    Q_OBJECT
    Q_CLASSINFO("actionType", "DataAssert")
public:
    KAVAtmDataAssertActionDef();
    ~KAVAtmDataAssertActionDef() override;

    static QByteArray GetActionName();

    void FromJson(const QJsonObject &json) override;

    QString GetBaselineJsonString() const;
    QString GetConfigJsonString() const;
    // Properties only the actual data has fail the comparison too ("strict").
    bool IsStrict() const;

private:
    const std::unique_ptr<KAVAtmDataAssertActionDefPrivate> d;
};

#endif // KAVATMDATAASSERTACTIONDEF_H
