#ifndef KAVFEATTREENODE_H
#define KAVFEATTREENODE_H

#include "kavhost_export.h"

#include <QtCore/QPointer>
#include <QtWidgets/QTreeWidgetItem>

class KAVFeatObject;

// A node of the feature browser, showing one feature object.
class KAVHOST_EXPORT KAVFeatTreeNode : public QTreeWidgetItem {
public:
    // The item type of every node, telling a node from a plain item.
    static constexpr int Type = QTreeWidgetItem::UserType + 0x4b46;

    explicit KAVFeatTreeNode(KAVFeatObject *object);
    ~KAVFeatTreeNode() override;

    // The object shown, or null once it has been destroyed.
    KAVFeatObject *GetFeatureObject() const;

private:
    QPointer<KAVFeatObject> m_object;
};

#endif // KAVFEATTREENODE_H
