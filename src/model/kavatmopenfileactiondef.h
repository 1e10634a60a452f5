#ifndef KAVATMOPENFILEACTIONDEF_H
#define KAVATMOPENFILEACTIONDEF_H

#include "kavatmtestactiondef.h"

class KAVAUTOMATION_EXPORT KAVAtmOpenFileActionDef : public KAVAtmTestActionDef {
    Q_OBJECT
    Q_CLASSINFO("actionType", "OpenFile")
public:
    Q_INVOKABLE KAVAtmOpenFileActionDef();
    ~KAVAtmOpenFileActionDef() override;

    static QByteArray GetActionName();

    void FromJson(const QJsonObject &json) override;
    QJsonObject ToJson() const override;

    QString GetFilePath() const;
    void SetFilePath(const QString &filePath);

private:
    struct Private;
    const std::unique_ptr<Private> d;
};

#endif // KAVATMOPENFILEACTIONDEF_H
