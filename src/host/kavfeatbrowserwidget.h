#ifndef KAVFEATBROWSERWIDGET_H
#define KAVFEATBROWSERWIDGET_H

#include "kavhost_export.h"

#include <QtCore/QPointer>
#include <QtWidgets/QTreeWidget>

class KAVFeatEnvironment;
class KAVFeatObject;
class KAVFeatTreeNode;

// The feature tree of an environment. A node's full path is the identifiers of the objects
// from the root down to the node, joined by "/" (for example "Nesting/Sheet 1/Part A").
class KAVHOST_EXPORT KAVFeatBrowserWidget : public QTreeWidget {
    Q_OBJECT
public:
    explicit KAVFeatBrowserWidget(QWidget *parent = nullptr);
    ~KAVFeatBrowserWidget() override;

    KAVFeatEnvironment *GetEnvironment() const;
    // Shows the environment's container and follows its changes; null empties the tree.
    void SetEnvironment(KAVFeatEnvironment *environment);

    // The node at the full path (a leading "/" is allowed), or null.
    KAVFeatTreeNode *GetTreeNodeFromFullPath(const QString &path) const;
    static QString GetFullPath(const KAVFeatObject *object);

private:
    void Rebuild();

    QPointer<KAVFeatEnvironment> m_environment;
};

#endif // KAVFEATBROWSERWIDGET_H
