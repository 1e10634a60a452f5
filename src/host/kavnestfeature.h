#ifndef KAVNESTFEATURE_H
#define KAVNESTFEATURE_H

#include "kavnestbasefeature.h"
#include "kavsysvalue.h"

// The nesting of one material: holds its packaging, items, report and sheets as children.
class KAVHOST_EXPORT KAVNestFeature : public KAVNestBaseFeature {
    Q_OBJECT
    Q_PROPERTY(KAVSysValue partSpacing READ GetPartSpacing WRITE SetPartSpacing)
public:
    explicit KAVNestFeature(const QString &identifier = QString(), QObject *parent = nullptr);
    ~KAVNestFeature() override;

    KAVSysValue GetPartSpacing() const;
    void SetPartSpacing(const KAVSysValue &spacing);

private:
    KAVSysValue m_partSpacing {5.0, KAVSysValue::Millimeter};
};

#endif // KAVNESTFEATURE_H
