#ifndef KAVATMSCREENSHOTASSERTACTIONDEF_H
#define KAVATMSCREENSHOTASSERTACTIONDEF_H

#include "kavatmtestactiondef.h"

#include <QtCore/QStringList>

class KAVAtmScreenshotAssertActionDefPrivate;

// Compares what a widget of the host (or all its windows) shows with a PNG baseline, after
// painting over the widgets that change by themselves.
class KAVAUTOMATION_EXPORT KAVAtmScreenshotAssertActionDef : public KAVAtmTestActionDef {
    Q_OBJECT
    Q_CLASSINFO("actionType", "ScreenshotAssert")
public:
    static constexpr double DefaultThreshold = 0.2;

    Q_INVOKABLE KAVAtmScreenshotAssertActionDef();
    ~KAVAtmScreenshotAssertActionDef() override;

    static QByteArray GetActionName();
    // The baseline for a platform and device pixel ratio: the name as given on Linux at 1,
    // else with "-<platform>" and "@<ratio>x" before ".png" ("sheet-windows@2x.png"), so a
    // baseline taken on one never fails, or passes, another.
    static QString VariantPath(const QString &path, const QString &platform, double ratio);
    // The platform of this build: "linux", "windows", "macos" or "other".
    static QString CurrentPlatform();

    void FromJson(const QJsonObject &json) override;
    QJsonObject ToJson() const override;

    // The object name path of the widget; empty for all the host's windows.
    QString GetWidget() const;
    // The baseline as named, resolved against the procedure's folder; empty when none is.
    QString GetBaseline() const;
    QStringList GetMask() const;
    double GetThreshold() const;
    qint64 GetMaxDiffPixels() const;
    double GetMaxDiffPixelRatio() const;

private:
    const std::unique_ptr<KAVAtmScreenshotAssertActionDefPrivate> d;
};

#endif // KAVATMSCREENSHOTASSERTACTIONDEF_H
