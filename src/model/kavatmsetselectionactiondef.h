#ifndef KAVATMSETSELECTIONACTIONDEF_H
#define KAVATMSETSELECTIONACTIONDEF_H

#include "kavatmtestactiondef.h"

#include <QtCore/QList>

class KAVAtmSetSelectionActionDefPrivate;

// Selects feature objects by their full tree paths.
class KAVAUTOMATION_EXPORT KAVAtmSetSelectionActionDef : public KAVAtmTestActionDef {
    Q_OBJECT
    Q_CLASSINFO("actionType", "SetSelection")
public:
    Q_INVOKABLE KAVAtmSetSelectionActionDef();
    ~KAVAtmSetSelectionActionDef() override;

    static QByteArray GetActionName();

    // Appends to the list already held.
    void FromJson(const QJsonObject &json) override;
    QJsonObject ToJson() const override;

    QList<QString> GetSelectionPathList() const;
    void SetSelectionPathList(const QList<QString> &paths);

private:
    const std::unique_ptr<KAVAtmSetSelectionActionDefPrivate> d;
};

#endif // KAVATMSETSELECTIONACTIONDEF_H
