#ifndef KAVATMOPENFILEACTIONDEF_H
#define KAVATMOPENFILEACTIONDEF_H

#include "kavatmtestactiondef.h"

class KAVAtmOpenFileActionDefPrivate;

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
    const std::unique_ptr<KAVAtmOpenFileActionDefPrivate> d;
};

#endif // KAVATMOPENFILEACTIONDEF_H
