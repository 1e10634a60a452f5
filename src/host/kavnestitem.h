#ifndef KAVNESTITEM_H
#define KAVNESTITEM_H

#include "kavfeatobject.h"

#include <QtCore/QPointer>

// A part to nest: its shape (a source object) and how many are wanted.
class KAVHOST_EXPORT KAVNestItem : public KAVFeatObject {
    Q_OBJECT
    Q_PROPERTY(KAVFeatObject *shape READ GetShape WRITE SetShape)
    Q_PROPERTY(int quantity READ GetQuantity WRITE SetQuantity)
    Q_PROPERTY(Orientations orientations READ GetOrientations WRITE SetOrientations)
public:
    enum Orientation {
        NoRotation = 0x0,
        Rotate90 = 0x1,
        Rotate180 = 0x2,
        Rotate270 = 0x4,
        Mirror = 0x8,
    };
    Q_DECLARE_FLAGS(Orientations, Orientation)
    Q_FLAG(Orientations)

    explicit KAVNestItem(const QString &identifier = QString(), QObject *parent = nullptr);
    ~KAVNestItem() override;

    KAVFeatObject *GetShape() const;
    // Not owned.
    void SetShape(KAVFeatObject *shape);
    int GetQuantity() const;
    void SetQuantity(int quantity);
    Orientations GetOrientations() const;
    void SetOrientations(Orientations orientations);

private:
    QPointer<KAVFeatObject> m_shape;
    int m_quantity = 1;
    Orientations m_orientations = Rotate180;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(KAVNestItem::Orientations)

#endif // KAVNESTITEM_H
