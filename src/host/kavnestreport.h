#ifndef KAVNESTREPORT_H
#define KAVNESTREPORT_H

#include "kavfeatobject.h"
#include "kavsysvalue.h"

// The outcome of a nesting run.
class KAVHOST_EXPORT KAVNestReport : public KAVFeatObject {
    Q_OBJECT
    Q_PROPERTY(int sheetCount READ GetSheetCount WRITE SetSheetCount)
    Q_PROPERTY(double utilization READ GetUtilization WRITE SetUtilization)
    Q_PROPERTY(KAVSysValue::Unit lengthUnit READ GetLengthUnit WRITE SetLengthUnit)
public:
    explicit KAVNestReport(const QString &identifier = QString(), QObject *parent = nullptr);
    ~KAVNestReport() override;

    int GetSheetCount() const;
    void SetSheetCount(int count);
    // Used share of the sheets, 0 to 1.
    double GetUtilization() const;
    void SetUtilization(double utilization);
    KAVSysValue::Unit GetLengthUnit() const;
    void SetLengthUnit(KAVSysValue::Unit unit);

private:
    int m_sheetCount = 0;
    double m_utilization = 0.0;
    KAVSysValue::Unit m_lengthUnit = KAVSysValue::Millimeter;
};

#endif // KAVNESTREPORT_H
