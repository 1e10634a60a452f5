#ifndef KAVCMDACTION_H
#define KAVCMDACTION_H

#include "kavhost_export.h"

#include <QtGui/QAction>

// A host command action: a QAction with the byte-string id the controller knows it by.
class KAVHOST_EXPORT KAVCmdAction : public QAction {
    Q_OBJECT
public:
    explicit KAVCmdAction(const QByteArray &id, const QString &text = QString(),
                          QObject *parent = nullptr);
    ~KAVCmdAction() override;

    QByteArray GetID() const;

private:
    QByteArray m_id;
};

#endif // KAVCMDACTION_H
