#ifndef KAVNESTSHEETITEM_H
#define KAVNESTSHEETITEM_H

#include "kavfeatobject.h"
#include "kavsysvalue.h"

#include <QtCore/QPointer>

// A part placed on a sheet: its shape and the 1-based index of the sheet it lies on.
class KAVHOST_EXPORT KAVNestSheetItem : public KAVFeatObject {
    Q_OBJECT
    Q_PROPERTY(KAVFeatObject *shape READ GetShape WRITE SetShape)
    Q_PROPERTY(int sheetIndex READ GetSheetIndex WRITE SetSheetIndex)
    Q_PROPERTY(KAVSysValue rotation READ GetRotation WRITE SetRotation)
public:
    explicit KAVNestSheetItem(const QString &identifier = QString(), QObject *parent = nullptr);
    ~KAVNestSheetItem() override;

    KAVFeatObject *GetShape() const;
    // Not owned.
    void SetShape(KAVFeatObject *shape);
    int GetSheetIndex() const;
    void SetSheetIndex(int index);
    KAVSysValue GetRotation() const;
    void SetRotation(const KAVSysValue &rotation);

private:
    QPointer<KAVFeatObject> m_shape;
    int m_sheetIndex = 1;
    KAVSysValue m_rotation {0.0, KAVSysValue::Degree};
};

#endif // KAVNESTSHEETITEM_H
