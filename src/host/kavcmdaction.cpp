#include "kavcmdaction.h"
#include "kavcmdcommandaction.h"

KAVCmdAction::KAVCmdAction(const QByteArray &id, const QString &text, QObject *parent)
    : QAction(text.isEmpty() ? QString::fromLatin1(id) : text, parent), m_id(id)
{
    setObjectName(QString::fromLatin1(id));
}

KAVCmdAction::~KAVCmdAction() = default;

QByteArray KAVCmdAction::GetID() const
{
    return m_id;
}

KAVCmdCommandAction::KAVCmdCommandAction(const QByteArray &id, const QByteArray &commandName,
                                         const QString &text, const QVariantHash &data,
                                         QObject *parent)
    : KAVCmdAction(id, text, parent), m_commandName(commandName), m_data(data)
{
}

KAVCmdCommandAction::~KAVCmdCommandAction() = default;

QByteArray KAVCmdCommandAction::GetCommandName() const
{
    return m_commandName;
}

QVariantHash KAVCmdCommandAction::GetData() const
{
    return m_data;
}

void KAVCmdCommandAction::SetData(const QVariantHash &data)
{
    m_data = data;
}
