#include "kavcmdcommand.h"
#include "kavcmdcommandaction.h"
#include "kavcmddialogcommand.h"

#include <QtWidgets/QDialog>

KAVCmdCommand::KAVCmdCommand(const QByteArray &name, QObject *parent)
    : QObject(parent), m_name(name), m_label(QString::fromLatin1(name))
{
    setObjectName(QString::fromLatin1(name));
}

KAVCmdCommand::~KAVCmdCommand() = default;

QByteArray KAVCmdCommand::GetName() const
{
    return m_name;
}

QString KAVCmdCommand::GetLabel() const
{
    return m_label;
}

void KAVCmdCommand::SetLabel(const QString &label)
{
    m_label = label;
}

QVariantHash KAVCmdCommand::GetData() const
{
    return m_data;
}

KAVCmdCommandAction *KAVCmdCommand::GetAction() const
{
    return m_action;
}

QWidget *KAVCmdCommand::GetParentWidget() const
{
    return m_parentWidget;
}

bool KAVCmdCommand::IsRunning() const
{
    return m_running;
}

bool KAVCmdCommand::IsFinished() const
{
    return m_finished;
}

void KAVCmdCommand::Start(const QVariantHash &data, KAVCmdCommandAction *action,
                          QWidget *parentWidget)
{
    if (m_running || m_finished) {
        qWarning("KAVCmdCommand::Start: command %s was already started", m_name.constData());
        return;
    }
    m_data = data;
    m_action = action;
    m_parentWidget = parentWidget;
    m_running = true;
    Q_EMIT Started();
    OnStart();
}

void KAVCmdCommand::Finish()
{
    if (!m_running)
        return;
    m_running = false;
    m_finished = true;
    OnFinish();
    Q_EMIT Finished();
}

void KAVCmdCommand::OnStart() { }

void KAVCmdCommand::OnFinish() { }

KAVCmdDialogCommand::KAVCmdDialogCommand(const QByteArray &name, QObject *parent)
    : KAVCmdCommand(name, parent)
{
}

KAVCmdDialogCommand::~KAVCmdDialogCommand()
{
    delete m_dialog;
}

QWidget *KAVCmdDialogCommand::GetDialog() const
{
    return m_dialog;
}

QWidget *KAVCmdDialogCommand::CreateDialog(QWidget *parentWidget)
{
    auto *dialog = new QDialog(parentWidget);
    dialog->setWindowTitle(GetLabel());
    return dialog;
}

void KAVCmdDialogCommand::OnStart()
{
    m_dialog = CreateDialog(GetParentWidget());
    if (m_dialog) {
        m_dialog->setObjectName(QString::fromLatin1(GetName()));
        m_dialog->show();
    }
}

void KAVCmdDialogCommand::OnFinish()
{
    if (m_dialog) {
        m_dialog->hide();
        m_dialog->deleteLater();
    }
}
