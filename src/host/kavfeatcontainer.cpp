#include "kavfeatcontainer.h"
#include "kavfeatobject.h"

#include <utility>

KAVFeatContainer::KAVFeatContainer(QObject *parent) : QObject(parent) { }

KAVFeatContainer::~KAVFeatContainer() = default;

QList<KAVFeatObject *> KAVFeatContainer::GetFeatureRoots() const
{
    return m_roots;
}

void KAVFeatContainer::AddFeatureRoot(KAVFeatObject *root)
{
    if (!root || m_roots.contains(root))
        return;
    root->setParent(this);
    m_roots.append(root);
    connect(root, &QObject::destroyed, this, [this, root] { m_roots.removeAll(root); });
    Q_EMIT Changed();
}

void KAVFeatContainer::RemoveFeatureRoot(KAVFeatObject *root)
{
    if (!m_roots.removeAll(root))
        return;
    delete root;
    Q_EMIT Changed();
}

void KAVFeatContainer::Clear()
{
    const QList<KAVFeatObject *> roots = std::exchange(m_roots, {});
    qDeleteAll(roots);
    Q_EMIT Changed();
}

bool KAVFeatContainer::IsAllUpToDate() const
{
    for (const KAVFeatObject *root : m_roots) {
        if (!root->IsTreeUpToDate())
            return false;
    }
    return true;
}
