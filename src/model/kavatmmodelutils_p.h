#ifndef KAVATMMODELUTILS_P_H
#define KAVATMMODELUTILS_P_H

#include <QtCore/QCoreApplication>
#include <QtCore/QDateTime>
#include <QtCore/QDir>
#include <QtCore/QJsonValue>
#include <QtCore/QMetaClassInfo>
#include <QtCore/QMetaObject>
#include <QtCore/QString>

#include <cmath>
#include <limits>

namespace KAVAtmModelUtils {

// A JSON number without a fractional part.
inline bool IsIntegral(const QJsonValue &value)
{
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    return std::isfinite(number) && std::trunc(number) == number;
}

// An integral JSON number clamped into the 32-bit range; fallback for anything else.
inline qint32 ToInt32(const QJsonValue &value, qint32 fallback)
{
    if (!IsIntegral(value))
        return fallback;
    const double number = value.toDouble();
    if (number > std::numeric_limits<qint32>::max())
        return std::numeric_limits<qint32>::max();
    if (number < std::numeric_limits<qint32>::min())
        return std::numeric_limits<qint32>::min();
    return static_cast<qint32>(number);
}

// dir + separator + name in native separators, or name unchanged when it is absolute.
inline QString ResolveAgainst(const QString &dir, const QString &name)
{
    if (!QDir::isRelativePath(name))
        return name;
    return QDir::toNativeSeparators(dir + QDir::separator() + name);
}

// json["procedurePath"], or the directory of the running executable.
inline QString ProcedureDir(const QJsonValue &procedurePath)
{
    if (procedurePath.isString())
        return procedurePath.toString();
    return QCoreApplication::applicationDirPath();
}

// The "actionType" class information of a class, or empty.
inline QByteArray ActionTypeOf(const QMetaObject &meta)
{
    const int index = meta.indexOfClassInfo("actionType");
    return index < 0 ? QByteArray() : QByteArray(meta.classInfo(index).value());
}

// A time as the library writes it ("yyyy-MM-dd HH:mm:ss.zzz", UTC), read as UTC. Read as local
// time it would shift by the zone's offset, and one inside a daylight-saving gap would not exist.
inline QDateTime ParseUtcTime(const QString &text)
{
    const qsizetype space = text.indexOf(QLatin1Char(' '));
    if (space < 0)
        return QDateTime();
    const QDate date = QDate::fromString(text.left(space), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(text.mid(space + 1), QStringLiteral("HH:mm:ss.zzz"));
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, Qt::UTC);
}

} // namespace KAVAtmModelUtils

#endif // KAVATMMODELUTILS_P_H
