#ifndef KAVATMCLOSEFILEACTIONDEF_H
#define KAVATMCLOSEFILEACTIONDEF_H

#include "kavatmtestactiondef.h"

class KAVAtmCloseFileActionDefPrivate;

class KAVAUTOMATION_EXPORT KAVAtmCloseFileActionDef : public KAVAtmTestActionDef {
    Q_OBJECT
    Q_CLASSINFO("actionType", "CloseFile")
public:
    Q_INVOKABLE KAVAtmCloseFileActionDef();
    ~KAVAtmCloseFileActionDef() override;

    static QByteArray GetActionName();

    void FromJson(const QJsonObject &json) override;
    QJsonObject ToJson() const override;

    QString GetFilePath() const;
    void SetFilePath(const QString &filePath);
    bool IsSaveBeforeClose() const;
    void SetIsSaveBeforeClose(bool saveBeforeClose);
    bool IsForceSaveAs() const;
    void SetIsForceSaveAs(bool forceSaveAs);

private:
    const std::unique_ptr<KAVAtmCloseFileActionDefPrivate> d;
};

#endif // KAVATMCLOSEFILEACTIONDEF_H
