#include "corvidmainwindow.h"
#include "corviddocument.h"
#include "corvidplatform.h"

#include "kavcmdcommandaction.h"
#include "kavcmdcontroller.h"
#include "kavcmddialogcommand.h"
#include "kavfeatbrowserwidget.h"
#include "kavfeatenvironment.h"
#include "kavfeatenvironmentmanager.h"
#include "kavfeatmodel.h"

#include <QtWidgets/QCheckBox>
#include <QtWidgets/QDialog>
#include <QtWidgets/QDoubleSpinBox>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QStatusBar>

namespace {

// "Nest.Run": nests the current document again.
class NestCommand : public KAVCmdCommand {
public:
    NestCommand(const QByteArray &name, CorvidPlatform *platform)
        : KAVCmdCommand(name), m_platform(platform)
    {
        SetLabel(QStringLiteral("Nest"));
    }

protected:
    void OnStart() override
    {
        CorvidDocument *document = m_platform->GetCurrentDocument();
        if (!document) {
            Finish();
            return;
        }
        connect(document, &CorvidDocument::ProcessingFinished, this, &KAVCmdCommand::Finish);
        document->Nest();
    }

private:
    CorvidPlatform *m_platform;
};

// "Sheet.Properties": a dialog with the sheet size of the next nesting.
class SheetPropertiesCommand : public KAVCmdDialogCommand {
public:
    using KAVCmdDialogCommand::KAVCmdDialogCommand;

protected:
    QWidget *CreateDialog(QWidget *parent) override
    {
        auto *dialog = new QDialog(parent);
        dialog->setWindowTitle(QStringLiteral("Sheet properties"));
        auto *form = new QFormLayout(dialog);
        for (const char *name : {"sheetWidth", "sheetHeight"}) {
            auto *spin = new QDoubleSpinBox(dialog);
            spin->setObjectName(QLatin1String(name));
            spin->setRange(1, 100000);
            spin->setValue(name[5] == 'W' ? 3000 : 1500);
            form->addRow(QLatin1String(name), spin);
        }
        auto *remnant = new QCheckBox(dialog);
        remnant->setObjectName(QStringLiteral("keepRemnant"));
        form->addRow(QStringLiteral("keepRemnant"), remnant);
        return dialog;
    }
};

} // namespace

CorvidDialogHandler::CorvidDialogHandler(QWidget *mainWindow)
    : KAVCmdDialogHandler(mainWindow, mainWindow)
{
}

void CorvidDialogHandler::ApplyAutomationData(const QVariantMap &data, bool clearFirst)
{
    auto *command = qobject_cast<KAVCmdDialogCommand *>(
        KAVCmdController::GetController()->GetCurrentCommand());
    QWidget *dialog = GetDialog(command);
    if (!dialog)
        return;
    if (clearFirst) {
        for (QLineEdit *edit : dialog->findChildren<QLineEdit *>())
            edit->clear();
    }
    for (auto it = data.cbegin(); it != data.cend(); ++it) {
        QWidget *widget = dialog->findChild<QWidget *>(it.key());
        if (auto *spin = qobject_cast<QDoubleSpinBox *>(widget))
            spin->setValue(it.value().toDouble());
        else if (auto *check = qobject_cast<QCheckBox *>(widget))
            check->setChecked(it.value().toBool());
        else if (auto *edit = qobject_cast<QLineEdit *>(widget))
            edit->setText(it.value().toString());
    }
}

CorvidMainWindow::CorvidMainWindow(CorvidPlatform *platform)
    : m_platform(platform), m_browser(new KAVFeatBrowserWidget(this)),
      m_dialogHandler(new CorvidDialogHandler(this))
{
    setWindowTitle(QStringLiteral("CorvidApp"));
    setCentralWidget(m_browser);
    resize(800, 600);
    KAVCmdController::GetController()->SetDialogHandler(m_dialogHandler);

    KAVFeatEnvironmentManager *environments = KAVFeatEnvironmentManager::GetManager();
    connect(environments, &KAVFeatEnvironmentManager::CurrentEnvironmentChanged, this,
            [this](KAVFeatEnvironment *environment) {
                m_browser->SetEnvironment(environment);
                if (environment)
                    environment->GetModel()->SetContextualView(m_browser);
                statusBar()->showMessage(environment ? environment->GetName() : QString());
            });
    RegisterCommands();
}

CorvidMainWindow::~CorvidMainWindow()
{
    KAVCmdController::GetController()->SetDialogHandler(nullptr);
}

void CorvidMainWindow::RegisterCommands()
{
    KAVCmdController *controller = KAVCmdController::GetController();
    CorvidPlatform *platform = m_platform;
    controller->RegisterCommand(
        "Nest", [platform](const QByteArray &name) { return new NestCommand(name, platform); });
    controller->RegisterCommand(
        "Sheet", [](const QByteArray &name) { return new SheetPropertiesCommand(name); });

    QMenu *menu = menuBar()->addMenu(QStringLiteral("&Nesting"));
    for (KAVCmdCommandAction *action :
         {new KAVCmdCommandAction("Nest.Run", "Nest", QStringLiteral("&Nest"), {}, this),
          new KAVCmdCommandAction("Sheet.Properties", "Sheet", QStringLiteral("&Sheet properties"),
                                  {}, this)}) {
        controller->AddAction(action);
        menu->addAction(action);
    }
    // What the user triggers is offered to recording.
    connect(
        controller, &KAVCmdController::ActionTriggered, m_platform,
        [this](KAVCmdAction *action) { Q_EMIT m_platform->RecordableActionTriggering(*action); });
}
