#ifndef KAVCMDCOMMANDACTION_H
#define KAVCMDCOMMANDACTION_H

#include "kavcmdaction.h"

#include <QtCore/QVariantHash>

// An action that launches a command, with the data the command starts with.
// Triggering it through the controller launches the command (KAVCmdController::AddAction).
class KAVHOST_EXPORT KAVCmdCommandAction : public KAVCmdAction {
    Q_OBJECT
public:
    KAVCmdCommandAction(const QByteArray &id, const QByteArray &commandName,
                        const QString &text = QString(), const QVariantHash &data = {},
                        QObject *parent = nullptr);
    ~KAVCmdCommandAction() override;

    QByteArray GetCommandName() const;
    QVariantHash GetData() const;
    void SetData(const QVariantHash &data);

private:
    QByteArray m_commandName;
    QVariantHash m_data;
};

#endif // KAVCMDCOMMANDACTION_H
