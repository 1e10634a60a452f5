#ifndef KAVFEATOBJECT_H
#define KAVFEATOBJECT_H

#include "kavhost_export.h"

#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QSet>
#include <QtCore/QVariant>

// A feature object of the host's model. Its feature children are its QObject children that
// are feature objects, in creation order. The identifier is a stable text chosen by the host
// (a name that is the same on every run, so baselines can refer to it).
class KAVHOST_EXPORT KAVFeatObject : public QObject {
    Q_OBJECT
    // The feature children, for whoever reads the model through its properties.
    Q_PROPERTY(QVariantList features READ GetFeatureList)
public:
    explicit KAVFeatObject(const QString &identifier = QString(), QObject *parent = nullptr);
    ~KAVFeatObject() override;

    QString GetIdentifier() const;
    void SetIdentifier(const QString &identifier);

    QList<KAVFeatObject *> GetChildren() const;
    // The children as variants holding KAVFeatObject pointers.
    QVariantList GetFeatureList() const;
    KAVFeatObject *GetParentFeature() const;

    // Stale objects wait for the update manager; new objects are up to date.
    bool IsUpToDate() const;
    void SetUpToDate(bool upToDate);
    // This object and every descendant up to date.
    bool IsTreeUpToDate() const;

Q_SIGNALS:
    void Changed();

private:
    QString m_identifier;
    bool m_upToDate = true;
};

using KAVFeatObjectSet = QSet<KAVFeatObject *>;

Q_DECLARE_METATYPE(KAVFeatObjectSet)

#endif // KAVFEATOBJECT_H
