#ifndef KAVNESTBASEFEATURE_H
#define KAVNESTBASEFEATURE_H

#include "kavfeatobject.h"
#include "kavmatmaterial.h"

#include <QtCore/QPointer>

// A nesting feature with a material.
class KAVHOST_EXPORT KAVNestBaseFeature : public KAVFeatObject {
    Q_OBJECT
    Q_PROPERTY(KAVMatMaterial *material READ GetMaterial WRITE SetMaterial)
public:
    explicit KAVNestBaseFeature(const QString &identifier = QString(), QObject *parent = nullptr);
    ~KAVNestBaseFeature() override;

    KAVMatMaterial *GetMaterial() const;
    // Not owned.
    void SetMaterial(KAVMatMaterial *material);

private:
    QPointer<KAVMatMaterial> m_material;
};

#endif // KAVNESTBASEFEATURE_H
