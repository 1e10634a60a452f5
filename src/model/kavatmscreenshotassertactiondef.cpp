#include "kavatmscreenshotassertactiondef.h"
#include "kavatmmodelutils_p.h"

#include <QtCore/QJsonArray>

#include <cmath>

class KAVAtmScreenshotAssertActionDefPrivate {
public:
    QString widget;
    QString named; // the baseline as the procedure names it
    QString baseline;
    QStringList mask;
    double threshold = KAVAtmScreenshotAssertActionDef::DefaultThreshold;
    qint64 maxDiffPixels = 0;
    double maxDiffPixelRatio = 0;
};

KAVAtmScreenshotAssertActionDef::KAVAtmScreenshotAssertActionDef()
    : d(new KAVAtmScreenshotAssertActionDefPrivate)
{
}

KAVAtmScreenshotAssertActionDef::~KAVAtmScreenshotAssertActionDef() = default;

QByteArray KAVAtmScreenshotAssertActionDef::GetActionName()
{
    return KAVAtmModelUtils::ActionTypeOf(staticMetaObject);
}

QString KAVAtmScreenshotAssertActionDef::CurrentPlatform()
{
#if defined(Q_OS_WIN)
    return QStringLiteral("windows");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("macos");
#elif defined(Q_OS_LINUX)
    return QStringLiteral("linux");
#else
    return QStringLiteral("other");
#endif
}

QString KAVAtmScreenshotAssertActionDef::VariantPath(const QString &path, const QString &platform,
                                                     double ratio)
{
    if (path.isEmpty())
        return path;
    QString base = path;
    QString extension;
    if (base.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)) {
        extension = base.right(4);
        base.chop(4);
    } else {
        extension = QStringLiteral(".png");
    }
    if (!platform.isEmpty() && platform != QLatin1String("linux"))
        base += QLatin1Char('-') + platform;
    if (ratio > 0 && std::abs(ratio - 1.0) > 1e-6)
        base += QLatin1Char('@') + QString::number(ratio, 'g', 3) + QLatin1Char('x');
    return base + extension;
}

void KAVAtmScreenshotAssertActionDef::FromJson(const QJsonObject &json)
{
    KAVAtmTestActionDef::FromJson(json);
    d->widget = json.value(QLatin1String("widget")).toString();
    const QString baseline = json.value(QLatin1String("baseline")).toString();
    d->named = baseline;
    d->baseline = baseline.isEmpty() ? QString()
                                     : KAVAtmModelUtils::ResolveAgainst(
                                           KAVAtmModelUtils::ProcedureDir(
                                               json.value(QLatin1String("procedurePath"))),
                                           baseline);
    d->mask.clear();
    for (const QJsonValue &value : json.value(QLatin1String("mask")).toArray())
        d->mask.append(value.toString());
    // Out of range is held to the range, as the procedure check says.
    d->threshold
        = std::clamp(json.value(QLatin1String("threshold")).toDouble(DefaultThreshold), 0.0, 1.0);
    d->maxDiffPixels
        = std::max<qint64>(0, json.value(QLatin1String("maxDiffPixels")).toInteger(0));
    d->maxDiffPixelRatio
        = std::clamp(json.value(QLatin1String("maxDiffPixelRatio")).toDouble(0), 0.0, 1.0);
}

QJsonObject KAVAtmScreenshotAssertActionDef::ToJson() const
{
    QJsonObject json = KAVAtmTestActionDef::ToJson();
    json.insert(QLatin1String("widget"), d->widget);
    json.insert(QLatin1String("baseline"), d->named);
    json.insert(QLatin1String("mask"), QJsonArray::fromStringList(d->mask));
    json.insert(QLatin1String("threshold"), d->threshold);
    json.insert(QLatin1String("maxDiffPixels"), d->maxDiffPixels);
    json.insert(QLatin1String("maxDiffPixelRatio"), d->maxDiffPixelRatio);
    return json;
}

QString KAVAtmScreenshotAssertActionDef::GetWidget() const
{
    return d->widget;
}

QString KAVAtmScreenshotAssertActionDef::GetBaseline() const
{
    return d->baseline;
}

QStringList KAVAtmScreenshotAssertActionDef::GetMask() const
{
    return d->mask;
}

double KAVAtmScreenshotAssertActionDef::GetThreshold() const
{
    return d->threshold;
}

qint64 KAVAtmScreenshotAssertActionDef::GetMaxDiffPixels() const
{
    return d->maxDiffPixels;
}

double KAVAtmScreenshotAssertActionDef::GetMaxDiffPixelRatio() const
{
    return d->maxDiffPixelRatio;
}
