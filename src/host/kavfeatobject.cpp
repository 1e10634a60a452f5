#include "kavfeatobject.h"

KAVFeatObject::KAVFeatObject(const QString &identifier, QObject *parent)
    : QObject(parent), m_identifier(identifier)
{
    setObjectName(identifier);
}

KAVFeatObject::~KAVFeatObject() = default;

QString KAVFeatObject::GetIdentifier() const
{
    return m_identifier;
}

void KAVFeatObject::SetIdentifier(const QString &identifier)
{
    if (identifier == m_identifier)
        return;
    m_identifier = identifier;
    setObjectName(identifier);
    Q_EMIT Changed();
}

QVariantList KAVFeatObject::GetFeatureList() const
{
    QVariantList list;
    for (KAVFeatObject *child : GetChildren())
        list.append(QVariant::fromValue(child));
    return list;
}

QList<KAVFeatObject *> KAVFeatObject::GetChildren() const
{
    QList<KAVFeatObject *> features;
    for (QObject *child : children()) {
        if (auto *feature = qobject_cast<KAVFeatObject *>(child))
            features.append(feature);
    }
    return features;
}

KAVFeatObject *KAVFeatObject::GetParentFeature() const
{
    return qobject_cast<KAVFeatObject *>(parent());
}

bool KAVFeatObject::IsUpToDate() const
{
    return m_upToDate;
}

void KAVFeatObject::SetUpToDate(bool upToDate)
{
    m_upToDate = upToDate;
}

bool KAVFeatObject::IsTreeUpToDate() const
{
    if (!m_upToDate)
        return false;
    for (const KAVFeatObject *child : GetChildren()) {
        if (!child->IsTreeUpToDate())
            return false;
    }
    return true;
}
