#ifndef KAVFEATENVIRONMENT_H
#define KAVFEATENVIRONMENT_H

#include "kavfeatobject.h"

#include <QtCore/QObject>

class KAVFeatContainer;
class KAVFeatModel;

// One document environment: its feature container, its model and its selection.
// Processors of the environment are its children (KAVNestFeatureProcessor::GetProcessor).
class KAVHOST_EXPORT KAVFeatEnvironment : public QObject {
    Q_OBJECT
public:
    explicit KAVFeatEnvironment(const QString &name, QObject *parent = nullptr);
    ~KAVFeatEnvironment() override;

    QString GetName() const;
    KAVFeatContainer *GetContainer() const;
    KAVFeatModel *GetModel() const;

    // Replaces the selection; an empty set clears it.
    void SetSelection(const KAVFeatObjectSet &objects);
    KAVFeatObjectSet GetSelection() const;

Q_SIGNALS:
    void SelectionChanged(const KAVFeatObjectSet &selection);

private:
    QString m_name;
    KAVFeatContainer *m_container;
    KAVFeatModel *m_model;
    KAVFeatObjectSet m_selection;
};

#endif // KAVFEATENVIRONMENT_H
