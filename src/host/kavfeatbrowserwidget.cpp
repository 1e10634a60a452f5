#include "kavfeatbrowserwidget.h"
#include "kavfeatcontainer.h"
#include "kavfeatenvironment.h"
#include "kavfeatobject.h"
#include "kavfeattreenode.h"

#include <QtCore/QPointer>
#include <QtCore/QSignalBlocker>
#include <QtCore/QStringList>

KAVFeatTreeNode::KAVFeatTreeNode(KAVFeatObject *object) : QTreeWidgetItem(Type), m_object(object)
{
    if (object)
        setText(0, object->GetIdentifier());
}

KAVFeatTreeNode::~KAVFeatTreeNode() = default;

KAVFeatObject *KAVFeatTreeNode::GetFeatureObject() const
{
    return m_object;
}

namespace {

KAVFeatTreeNode *addNode(KAVFeatObject *object)
{
    auto *node = new KAVFeatTreeNode(object);
    for (KAVFeatObject *child : object->GetChildren())
        node->addChild(addNode(child));
    return node;
}

} // namespace

KAVFeatBrowserWidget::KAVFeatBrowserWidget(QWidget *parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
}

KAVFeatBrowserWidget::~KAVFeatBrowserWidget()
{
    // An environment that is a child of this widget is destroyed after the tree is gone: its
    // signals must not reach it.
    SetEnvironment(nullptr);
}

KAVFeatEnvironment *KAVFeatBrowserWidget::GetEnvironment() const
{
    return m_environment;
}

void KAVFeatBrowserWidget::SetEnvironment(KAVFeatEnvironment *environment)
{
    if (m_environment) {
        if (m_environment->GetContainer())
            disconnect(m_environment->GetContainer(), nullptr, this, nullptr);
        disconnect(m_environment, nullptr, this, nullptr);
    }
    m_environment = environment;
    if (environment) {
        connect(environment->GetContainer(), &KAVFeatContainer::Changed, this,
                &KAVFeatBrowserWidget::Rebuild);
        connect(environment, &QObject::destroyed, this, &QTreeWidget::clear);
    }
    Rebuild();
}

void KAVFeatBrowserWidget::Rebuild()
{
    // A rebuild is no choice of the user's: what was selected stays selected, silently.
    QList<QPointer<KAVFeatObject>> selected;
    for (QTreeWidgetItem *item : selectedItems()) {
        if (auto *node = dynamic_cast<KAVFeatTreeNode *>(item))
            selected.append(node->GetFeatureObject());
    }
    const QSignalBlocker blocker(this);
    clear();
    if (!m_environment)
        return;
    for (KAVFeatObject *root : m_environment->GetContainer()->GetFeatureRoots())
        addTopLevelItem(addNode(root));
    expandAll();
    for (const QPointer<KAVFeatObject> &object : std::as_const(selected)) {
        if (KAVFeatTreeNode *node = object ? GetTreeNodeFromFullPath(GetFullPath(object)) : nullptr)
            node->setSelected(true);
    }
}

KAVFeatTreeNode *KAVFeatBrowserWidget::GetTreeNodeFromFullPath(const QString &path) const
{
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return nullptr;

    QTreeWidgetItem *found = nullptr;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (topLevelItem(i)->text(0) == parts.first()) {
            found = topLevelItem(i);
            break;
        }
    }
    for (int level = 1; found && level < parts.size(); ++level) {
        QTreeWidgetItem *parent = found;
        found = nullptr;
        for (int i = 0; i < parent->childCount(); ++i) {
            if (parent->child(i)->text(0) == parts.at(level)) {
                found = parent->child(i);
                break;
            }
        }
    }
    return found && found->type() == KAVFeatTreeNode::Type ? static_cast<KAVFeatTreeNode *>(found)
                                                           : nullptr;
}

QString KAVFeatBrowserWidget::GetFullPath(const KAVFeatObject *object)
{
    QStringList parts;
    for (const KAVFeatObject *current = object; current; current = current->GetParentFeature())
        parts.prepend(current->GetIdentifier());
    return parts.join(QLatin1Char('/'));
}
