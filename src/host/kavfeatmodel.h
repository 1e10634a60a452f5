#ifndef KAVFEATMODEL_H
#define KAVFEATMODEL_H

#include "kavhost_export.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>

class QAbstractItemView;

// The model side of a document environment: knows the view that currently shows it.
class KAVHOST_EXPORT KAVFeatModel : public QObject {
    Q_OBJECT
public:
    explicit KAVFeatModel(QObject *parent = nullptr);
    ~KAVFeatModel() override;

    // The item view showing the model, or null.
    QAbstractItemView *GetContextualView() const;
    void SetContextualView(QAbstractItemView *view);

private:
    QPointer<QAbstractItemView> m_view;
};

#endif // KAVFEATMODEL_H
