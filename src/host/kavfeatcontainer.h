#ifndef KAVFEATCONTAINER_H
#define KAVFEATCONTAINER_H

#include "kavhost_export.h"

#include <QtCore/QList>
#include <QtCore/QObject>

class KAVFeatObject;

// The top-level feature objects of one document, in container order. The container owns them.
class KAVHOST_EXPORT KAVFeatContainer : public QObject {
    Q_OBJECT
public:
    explicit KAVFeatContainer(QObject *parent = nullptr);
    ~KAVFeatContainer() override;

    QList<KAVFeatObject *> GetFeatureRoots() const;
    // Takes ownership; an object already in the container is not added again.
    void AddFeatureRoot(KAVFeatObject *root);
    // Removes and deletes the root.
    void RemoveFeatureRoot(KAVFeatObject *root);
    void Clear();

    // Every object of the container is up to date.
    bool IsAllUpToDate() const;

Q_SIGNALS:
    void Changed();

private:
    QList<KAVFeatObject *> m_roots;
};

#endif // KAVFEATCONTAINER_H
