#ifndef KAVMATMATERIAL_H
#define KAVMATMATERIAL_H

#include "kavfeatobject.h"

// A sheet material: its type (for example "Steel") and its thickness in millimetres.
class KAVHOST_EXPORT KAVMatMaterial : public KAVFeatObject {
    Q_OBJECT
    Q_PROPERTY(QString materialType READ GetMaterialType WRITE SetMaterialType)
    Q_PROPERTY(double thickness READ GetThickness WRITE SetThickness)
public:
    explicit KAVMatMaterial(const QString &identifier = QString(), QObject *parent = nullptr);
    ~KAVMatMaterial() override;

    QString GetMaterialType() const;
    void SetMaterialType(const QString &type);
    double GetThickness() const;
    void SetThickness(double thickness);

private:
    QString m_type;
    double m_thickness = 0.0;
};

#endif // KAVMATMATERIAL_H
