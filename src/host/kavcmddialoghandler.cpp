#include "kavcmddialoghandler.h"
#include "kavcmddialogcommand.h"

#include <QtWidgets/QWidget>

KAVCmdDialogHandler::KAVCmdDialogHandler(QWidget *parentWidget, QObject *parent)
    : QObject(parent), m_parentWidget(parentWidget)
{
}

KAVCmdDialogHandler::~KAVCmdDialogHandler() = default;

QWidget *KAVCmdDialogHandler::GetParentWidget() const
{
    return m_parentWidget;
}

void KAVCmdDialogHandler::SetParentWidget(QWidget *widget)
{
    m_parentWidget = widget;
}

QWidget *KAVCmdDialogHandler::GetDialog(const KAVCmdDialogCommand *command) const
{
    if (!command || !command->IsRunning())
        return nullptr;
    return command->GetDialog();
}
