#include "kavfeatenvironment.h"
#include "kavfeatcontainer.h"
#include "kavfeatmodel.h"

#include <QtWidgets/QAbstractItemView>

KAVFeatModel::KAVFeatModel(QObject *parent) : QObject(parent) { }

KAVFeatModel::~KAVFeatModel() = default;

QAbstractItemView *KAVFeatModel::GetContextualView() const
{
    return m_view;
}

void KAVFeatModel::SetContextualView(QAbstractItemView *view)
{
    m_view = view;
}

KAVFeatEnvironment::KAVFeatEnvironment(const QString &name, QObject *parent)
    : QObject(parent), m_name(name), m_container(new KAVFeatContainer(this)),
      m_model(new KAVFeatModel(this))
{
    setObjectName(name);
}

KAVFeatEnvironment::~KAVFeatEnvironment() = default;

QString KAVFeatEnvironment::GetName() const
{
    return m_name;
}

KAVFeatContainer *KAVFeatEnvironment::GetContainer() const
{
    return m_container;
}

KAVFeatModel *KAVFeatEnvironment::GetModel() const
{
    return m_model;
}

void KAVFeatEnvironment::SetSelection(const KAVFeatObjectSet &objects)
{
    for (KAVFeatObject *object : std::as_const(m_selection))
        disconnect(object, &QObject::destroyed, this, nullptr);
    m_selection.clear();
    for (KAVFeatObject *object : objects) {
        if (!object)
            continue;
        m_selection.insert(object);
        // A deleted object leaves the selection quietly: no user changed it.
        connect(object, &QObject::destroyed, this, [this, object] { m_selection.remove(object); });
    }
    Q_EMIT SelectionChanged(m_selection);
}

KAVFeatObjectSet KAVFeatEnvironment::GetSelection() const
{
    return m_selection;
}
