#ifndef KAVNESTSHEET_H
#define KAVNESTSHEET_H

#include "kavfeatobject.h"
#include "kavsysvalue.h"

// A nested sheet; its sheet items are its children.
class KAVHOST_EXPORT KAVNestSheet : public KAVFeatObject {
    Q_OBJECT
    Q_PROPERTY(KAVSysValue width READ GetWidth WRITE SetWidth)
    Q_PROPERTY(KAVSysValue height READ GetHeight WRITE SetHeight)
public:
    explicit KAVNestSheet(const QString &identifier = QString(), QObject *parent = nullptr);
    ~KAVNestSheet() override;

    KAVSysValue GetWidth() const;
    void SetWidth(const KAVSysValue &width);
    KAVSysValue GetHeight() const;
    void SetHeight(const KAVSysValue &height);

private:
    KAVSysValue m_width {3000.0, KAVSysValue::Millimeter};
    KAVSysValue m_height {1500.0, KAVSysValue::Millimeter};
};

#endif // KAVNESTSHEET_H
