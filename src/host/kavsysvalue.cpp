#include "kavsysvalue.h"

#include <cmath>
#include <limits>

namespace {

enum class Kind { None, Length, Angle, Time };

Kind kindOf(KAVSysValue::Unit unit)
{
    switch (unit) {
    case KAVSysValue::Millimeter:
    case KAVSysValue::Centimeter:
    case KAVSysValue::Meter:
    case KAVSysValue::Inch:
        return Kind::Length;
    case KAVSysValue::Degree:
    case KAVSysValue::Radian:
        return Kind::Angle;
    case KAVSysValue::Second:
        return Kind::Time;
    case KAVSysValue::NoUnit:
        break;
    }
    return Kind::None;
}

// Factor from the unit to the base unit of its kind (mm, degree, second).
double toBase(KAVSysValue::Unit unit)
{
    switch (unit) {
    case KAVSysValue::Centimeter:
        return 10.0;
    case KAVSysValue::Meter:
        return 1000.0;
    case KAVSysValue::Inch:
        return 25.4;
    case KAVSysValue::Radian:
        return 180.0 / M_PI;
    default:
        return 1.0;
    }
}

} // namespace

KAVSysValue::KAVSysValue() = default;

KAVSysValue::KAVSysValue(double value, Unit unit) : m_value(value), m_unit(unit) { }

KAVSysValue::KAVSysValue(const KAVSysValue &other) = default;
KAVSysValue &KAVSysValue::operator=(const KAVSysValue &other) = default;
KAVSysValue::~KAVSysValue() = default;

double KAVSysValue::GetValue() const
{
    return m_value;
}

KAVSysValue::Unit KAVSysValue::GetUnit() const
{
    return m_unit;
}

double KAVSysValue::ToDouble() const
{
    return m_value;
}

KAVSysValue::operator double() const
{
    return m_value;
}

double KAVSysValue::ConvertTo(Unit unit) const
{
    if (unit == m_unit)
        return m_value;
    if (kindOf(unit) != kindOf(m_unit))
        return std::numeric_limits<double>::quiet_NaN();
    return m_value * toBase(m_unit) / toBase(unit);
}

QJsonObject KAVSysValue::ToJsonObject() const
{
    return QJsonObject {{QStringLiteral("value"), m_value},
                        {QStringLiteral("unit"), GetUnitString(m_unit)}};
}

QString KAVSysValue::GetUnitString(Unit unit)
{
    switch (unit) {
    case NoUnit:
        return QString();
    case Millimeter:
        return QStringLiteral("mm");
    case Centimeter:
        return QStringLiteral("cm");
    case Meter:
        return QStringLiteral("m");
    case Inch:
        return QStringLiteral("in");
    case Degree:
        return QStringLiteral("deg");
    case Radian:
        return QStringLiteral("rad");
    case Second:
        return QStringLiteral("s");
    }
    return QString();
}

bool KAVSysValue::operator==(const KAVSysValue &other) const
{
    if (kindOf(m_unit) != kindOf(other.m_unit))
        return false;
    return m_value * toBase(m_unit) == other.m_value * toBase(other.m_unit);
}

bool KAVSysValue::operator<(const KAVSysValue &other) const
{
    const Kind kind = kindOf(m_unit);
    const Kind otherKind = kindOf(other.m_unit);
    // Unrelated kinds still need a strict weak order to sort mixed lists.
    if (kind != otherKind)
        return kind < otherKind;
    return m_value * toBase(m_unit) < other.m_value * toBase(other.m_unit);
}
