#include "corvidmainwindow.h"
#include "corvidcommands.h"
#include "corviddialoghandler.h"
#include "corviddocument.h"
#include "corvidplatform.h"
#include "corvidsheetview.h"

#include "kavcmdcommandaction.h"
#include "kavcmdcontroller.h"
#include "kavcmddialogcommand.h"
#include "kavfeatbrowserwidget.h"
#include "kavfeatenvironment.h"
#include "kavfeatenvironmentmanager.h"
#include "kavfeatmodel.h"
#include "kavfeattreenode.h"

#include "kavatmjsconsolewidget.h"
#include "kavatmjsengine.h"

#include <QtCore/QTime>
#include <QtCore/QTimer>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QSplitter>
#include <QtWidgets/QStatusBar>

CorvidMainWindow::CorvidMainWindow(CorvidPlatform *platform)
    : m_platform(platform), m_browser(new KAVFeatBrowserWidget(this)),
      m_sheetView(new CorvidSheetView(this)), m_dialogHandler(new CorvidDialogHandler(this)),
      m_featureMenu(new QMenu(this))
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("CorvidApp"));
    m_browser->setObjectName(QStringLiteral("featureTree"));
    auto *splitter = new QSplitter(this);
    splitter->setObjectName(QStringLiteral("mainSplitter"));
    splitter->addWidget(m_browser);
    splitter->addWidget(m_sheetView);
    splitter->setStretchFactor(1, 2);
    setCentralWidget(splitter);
    resize(1000, 600);
    // A clock, as hosts show one: what a visual comparison of the whole window has to mask.
    auto *clock = new QLabel(this);
    clock->setObjectName(QStringLiteral("clock"));
    statusBar()->addPermanentWidget(clock);
    const auto tick = [clock] {
        clock->setText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
    };
    tick();
    auto *clockTimer = new QTimer(this);
    connect(clockTimer, &QTimer::timeout, clock, tick);
    clockTimer->start(1000);
    KAVCmdController::GetController()->SetDialogHandler(m_dialogHandler);

    KAVFeatEnvironmentManager *environments = KAVFeatEnvironmentManager::GetManager();
    connect(environments, &KAVFeatEnvironmentManager::CurrentEnvironmentChanged, this,
            [this](KAVFeatEnvironment *environment) {
                m_browser->SetEnvironment(environment);
                m_sheetView->SetDocument(m_platform->GetCurrentDocument());
                if (environment) {
                    environment->GetModel()->SetContextualView(m_browser);
                    connect(environment, &KAVFeatEnvironment::SelectionChanged, this,
                            &CorvidMainWindow::SyncSelectionFromEnvironment, Qt::UniqueConnection);
                }
                statusBar()->showMessage(environment ? environment->GetName() : QString());
            });
    connect(m_browser, &QTreeWidget::itemSelectionChanged, this,
            &CorvidMainWindow::SyncSelectionToEnvironment);
    // A click on a part selects it, beside the parts clears the selection: the user's choice.
    connect(m_sheetView, &CorvidSheetView::userSelected, this, [this](KAVFeatObject *object) {
        KAVFeatEnvironment *environment = m_browser->GetEnvironment();
        if (!environment)
            return;
        const KAVFeatObjectSet selection = object ? KAVFeatObjectSet {object} : KAVFeatObjectSet();
        Q_EMIT m_platform->SelectionChanging(selection);
        environment->SetSelection(selection);
    });

    // The tree's context menu: what the user right-clicks, selected or nested again.
    m_featureMenu->setObjectName(QStringLiteral("featureMenu"));
    m_browser->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_browser, &QWidget::customContextMenuRequested, this,
            &CorvidMainWindow::ShowFeatureMenu);
    connect(m_featureMenu->addAction(QStringLiteral("Select")), &QAction::triggered, this, [this] {
        KAVFeatEnvironment *environment = m_browser->GetEnvironment();
        if (!environment)
            return;
        // A user's choice like any other: recorded, so that a replay selects the same.
        const KAVFeatObjectSet selection
            = m_menuObject ? KAVFeatObjectSet {m_menuObject} : KAVFeatObjectSet();
        Q_EMIT m_platform->SelectionChanging(selection);
        environment->SetSelection(selection);
    });
    m_featureMenu->addSeparator();
    connect(m_featureMenu->addAction(QStringLiteral("Nest again")), &QAction::triggered, this, [] {
        if (KAVCmdAction *action = KAVCmdController::GetController()->GetAction("Nest.Run"))
            action->trigger();
    });
    connect(m_featureMenu->addAction(QStringLiteral("Quantity...")), &QAction::triggered, this, [] {
        if (KAVCmdAction *action = KAVCmdController::GetController()->GetAction("Part.Quantity"))
            action->trigger();
    });
    RegisterCommands();
    QMenu *tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    connect(tools->addAction(QStringLiteral("Script &console")), &QAction::triggered, this, [] {
        QDialog *console = KAVAtmJsConsoleDialog::GetInstance();
        console->show();
        console->raise();
    });
    KAVAtmJsEngine::GetInstance()->RegisterQObject(QStringLiteral("mainWindow"), this);
}

namespace {

void sendClick(QWidget *widget, const QPoint &position)
{
    const QPoint global = widget->mapToGlobal(position);
    QMouseEvent press(QEvent::MouseButtonPress, position, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, position, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

void sendKey(QWidget *widget, int key, Qt::KeyboardModifiers modifiers, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(widget, &release);
}

} // namespace

bool CorvidMainWindow::TypeInto(const QString &objectName, const QString &text)
{
    QWidget *dialog = CurrentDialog();
    QWidget *widget = dialog ? dialog->findChild<QWidget *>(objectName) : nullptr;
    if (!widget)
        return false;
    sendKey(widget, Qt::Key_A, Qt::ControlModifier, QString());
    for (const QChar character : text) {
        const int key = character.isDigit() || character.isLetter()
            ? int(character.toUpper().unicode())
            : int(character.unicode());
        sendKey(widget, key, Qt::NoModifier, QString(character));
    }
    return true;
}

bool CorvidMainWindow::ClickOn(const QString &objectName)
{
    QWidget *dialog = CurrentDialog();
    QWidget *widget = dialog ? dialog->findChild<QWidget *>(objectName) : nullptr;
    if (!widget)
        return false;
    sendClick(widget, widget->rect().center());
    return true;
}

bool CorvidMainWindow::ClickPart(const QString &fullPath)
{
    const QRect rect = m_sheetView->PartRect(fullPath);
    if (rect.isEmpty())
        return false;
    sendClick(m_sheetView, rect.center());
    return true;
}

bool CorvidMainWindow::SelectFromMenu(const QString &fullPath)
{
    KAVFeatTreeNode *node = m_browser->GetTreeNodeFromFullPath(fullPath);
    if (!node)
        return false;
    ShowFeatureMenu(m_browser->visualItemRect(node).center());
    m_featureMenu->actions().constFirst()->trigger();
    m_featureMenu->hide();
    return true;
}

QWidget *CorvidMainWindow::CurrentDialog() const
{
    QWidget *dialog = m_dialogHandler->GetDialog(qobject_cast<KAVCmdDialogCommand *>(
        KAVCmdController::GetController()->GetCurrentCommand()));
    return dialog ? dialog : QApplication::activeModalWidget();
}

QStringList CorvidMainWindow::SelectedFeatures() const
{
    QStringList names;
    if (const KAVFeatEnvironment *environment = m_browser->GetEnvironment()) {
        for (const KAVFeatObject *object : environment->GetSelection())
            names.append(object->GetIdentifier());
    }
    names.sort();
    return names;
}

void CorvidMainWindow::ShowFeatureMenu(const QPoint &position)
{
    // The position is the viewport's, as Qt gives it for a tree.
    auto *node = dynamic_cast<KAVFeatTreeNode *>(m_browser->itemAt(position));
    m_menuObject = node ? node->GetFeatureObject() : nullptr;
    m_featureMenu->popup(m_browser->viewport()->mapToGlobal(position));
}

void CorvidMainWindow::SyncSelectionToEnvironment()
{
    KAVFeatEnvironment *environment = m_browser->GetEnvironment();
    if (m_syncing || !environment)
        return;
    KAVFeatObjectSet selection;
    for (QTreeWidgetItem *item : m_browser->selectedItems()) {
        if (auto *node = dynamic_cast<KAVFeatTreeNode *>(item)) {
            if (KAVFeatObject *object = node->GetFeatureObject())
                selection.insert(object);
        }
    }
    Q_EMIT m_platform->SelectionChanging(selection);
    m_syncing = true;
    environment->SetSelection(selection);
    m_syncing = false;
}

void CorvidMainWindow::SyncSelectionFromEnvironment(const KAVFeatObjectSet &selection)
{
    if (m_syncing)
        return;
    m_syncing = true;
    m_browser->clearSelection();
    for (KAVFeatObject *object : selection) {
        if (KAVFeatTreeNode *node
            = m_browser->GetTreeNodeFromFullPath(KAVFeatBrowserWidget::GetFullPath(object)))
            node->setSelected(true);
    }
    m_syncing = false;
}

CorvidMainWindow::~CorvidMainWindow()
{
    KAVCmdController::GetController()->SetDialogHandler(nullptr);
}

void CorvidMainWindow::RegisterCommands()
{
    KAVCmdController *controller = KAVCmdController::GetController();
    CorvidCommands::Register(m_platform);

    QMenu *menu = menuBar()->addMenu(QStringLiteral("&Nesting"));
    for (KAVCmdCommandAction *action :
         {new KAVCmdCommandAction("Nest.Run", "Nest", QStringLiteral("&Nest"), {}, this),
          new KAVCmdCommandAction("Sheet.Properties", "Sheet", QStringLiteral("&Sheet properties"),
                                  {}, this),
          new KAVCmdCommandAction("Part.Quantity", "Part", QStringLiteral("Part &quantity"), {},
                                  this),
          new KAVCmdCommandAction("Clear.Nesting", "Clear", QStringLiteral("&Clear nesting"), {},
                                  this)}) {
        controller->AddAction(action);
        menu->addAction(action);
    }
    // What the user triggers is offered to recording.
    connect(
        controller, &KAVCmdController::ActionTriggered, m_platform,
        [this](KAVCmdAction *action) { Q_EMIT m_platform->RecordableActionTriggering(*action); });
}
