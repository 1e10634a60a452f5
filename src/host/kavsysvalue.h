#ifndef KAVSYSVALUE_H
#define KAVSYSVALUE_H

#include "kavhost_export.h"

#include <QtCore/QJsonObject>
#include <QtCore/QMetaType>
#include <QtCore/QObject>
#include <QtCore/QString>

// A number with a unit, as the host stores dimensions and angles.
class KAVHOST_EXPORT KAVSysValue {
    Q_GADGET
public:
    enum Unit {
        NoUnit = 0,
        Millimeter,
        Centimeter,
        Meter,
        Inch,
        Degree,
        Radian,
        Second,
    };
    Q_ENUM(Unit)

    KAVSysValue();
    KAVSysValue(double value, Unit unit = NoUnit);
    KAVSysValue(const KAVSysValue &other);
    KAVSysValue &operator=(const KAVSysValue &other);
    ~KAVSysValue();

    double GetValue() const;
    Unit GetUnit() const;
    double ToDouble() const;
    explicit operator double() const;

    // The value in another unit of the same kind (length, angle); NaN for an unrelated unit.
    double ConvertTo(Unit unit) const;

    // {"value": number, "unit": unit text}
    QJsonObject ToJsonObject() const;

    static QString GetUnitString(Unit unit);

    // Values of related units compare after conversion to a common unit.
    bool operator==(const KAVSysValue &other) const;
    bool operator!=(const KAVSysValue &other) const { return !(*this == other); }
    bool operator<(const KAVSysValue &other) const;

private:
    double m_value = 0.0;
    Unit m_unit = NoUnit;
};

Q_DECLARE_METATYPE(KAVSysValue)

#endif // KAVSYSVALUE_H
