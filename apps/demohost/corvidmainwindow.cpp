#include "corvidmainwindow.h"
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

#include "corvidmodel.h"
#include "kavatmeventrecorder.h"
#include "kavatmjsconsolewidget.h"
#include "kavatmjsengine.h"
#include "kavfeatcontainer.h"
#include "kavnestitem.h"

#include <cmath>

#include <QtCore/QMetaEnum>
#include <QtCore/QTime>
#include <QtCore/QTimer>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialog>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QDoubleSpinBox>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QSplitter>
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

// A command's dialog belongs to the main window even when launched without a parent (as
// scripts launch commands), so that it is found below it.
QWidget *dialogParent(QWidget *parent)
{
    if (parent)
        return parent;
    KAVCmdDialogHandler *handler = KAVCmdController::GetController()->GetDialogHandler();
    return handler ? handler->GetParentWidget() : nullptr;
}

QDialogButtonBox *okCancel(QDialog *dialog)
{
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

// "Sheet.Properties": the sheet size of the next nesting. OK applies it and nests again;
// either button finishes the command. Besides the named fields it has widgets without names,
// as real dialogs do.
class SheetPropertiesCommand : public KAVCmdDialogCommand {
public:
    SheetPropertiesCommand(const QByteArray &name, CorvidPlatform *platform)
        : KAVCmdDialogCommand(name), m_platform(platform)
    {
    }

protected:
    void OnStart() override
    {
        KAVCmdDialogCommand::OnStart();
        // Attached once the dialog shows, as a replay attaches its own: both name the same
        // unnamed widgets the same way.
        if (GetDialog() && m_platform->GetRecordingStatus() == KAVAtmPlatform::Recording) {
            m_recorder = new KAVAtmEventRecorder(GetDialog());
            m_recorder->StartRecording();
        }
    }

    QWidget *CreateDialog(QWidget *parent) override
    {
        CorvidDocument *document = m_platform->GetCurrentDocument();
        const QSizeF size = document ? document->GetSheetSize() : QSizeF(3000, 1500);
        auto *dialog = new QDialog(dialogParent(parent));
        dialog->setWindowTitle(QStringLiteral("Sheet properties"));
        auto *form = new QFormLayout(dialog);
        form->addRow(new QLabel(QStringLiteral("The sheets of the next nesting."), dialog));
        for (const auto &[name, value] :
             {std::pair {"sheetWidth", size.width()}, std::pair {"sheetHeight", size.height()}}) {
            auto *spin = new QDoubleSpinBox(dialog);
            spin->setObjectName(QLatin1String(name));
            spin->setRange(1, 100000);
            spin->setValue(value);
            form->addRow(QLatin1String(name), spin);
        }
        auto *sheetName = new QLineEdit(dialog);
        sheetName->setObjectName(QStringLiteral("sheetName"));
        form->addRow(QStringLiteral("sheetName"), sheetName);
        auto *order = new QComboBox(dialog);
        order->setObjectName(QStringLiteral("packingOrder"));
        order->addItems({QStringLiteral("As listed"), QStringLiteral("Largest first")});
        form->addRow(QStringLiteral("packingOrder"), order);
        auto *remnant = new QCheckBox(dialog);
        remnant->setObjectName(QStringLiteral("keepRemnant"));
        form->addRow(QStringLiteral("keepRemnant"), remnant);
        form->addRow(new QCheckBox(QStringLiteral("Show preview"), dialog));
        form->addRow(okCancel(dialog));
        auto *widthSpin = dialog->findChild<QDoubleSpinBox *>(QStringLiteral("sheetWidth"));
        auto *heightSpin = dialog->findChild<QDoubleSpinBox *>(QStringLiteral("sheetHeight"));
        QObject::connect(dialog, &QDialog::accepted, this,
                         [this, widthSpin, heightSpin, sheetName, order, remnant] {
                             Q_EMIT m_platform->PopupDialogValuesReturned(
                                 {{QStringLiteral("sheetWidth"), widthSpin->value()},
                                  {QStringLiteral("sheetHeight"), heightSpin->value()},
                                  {QStringLiteral("sheetName"), sheetName->text()},
                                  {QStringLiteral("packingOrder"), order->currentText()},
                                  {QStringLiteral("keepRemnant"), remnant->isChecked()}});
                             FinishRecording();
                             if (CorvidDocument *current = m_platform->GetCurrentDocument()) {
                                 current->SetSheetSize(
                                     QSizeF(widthSpin->value(), heightSpin->value()));
                                 current->Nest();
                             }
                             Finish();
                         });
        QObject::connect(dialog, &QDialog::rejected, this, [this] {
            FinishRecording();
            Finish();
        });
        return dialog;
    }

private:
    void FinishRecording()
    {
        if (!m_recorder)
            return;
        m_recorder->StopRecording();
        Q_EMIT m_platform->WidgetRecordingFinished(m_recorder->GetEvents());
        delete m_recorder.data();
    }

    CorvidPlatform *m_platform;
    QPointer<KAVAtmEventRecorder> m_recorder;
};

// "Part.Quantity": a modal dialog (exec) with how many of a part are wanted; the part is the
// command's "part" datum, the selected part, or the first one.
class PartQuantityCommand : public KAVCmdCommand {
public:
    PartQuantityCommand(const QByteArray &name, CorvidPlatform *platform)
        : KAVCmdCommand(name), m_platform(platform)
    {
    }

protected:
    void OnStart() override
    {
        CorvidDocument *document = m_platform->GetCurrentDocument();
        CorvidPart *part = document ? FindPart(document) : nullptr;
        if (!part) {
            Finish();
            return;
        }
        QDialog dialog(dialogParent(GetParentWidget()));
        dialog.setObjectName(QString::fromLatin1(GetName()));
        dialog.setWindowTitle(QStringLiteral("Quantity of %1").arg(part->GetIdentifier()));
        auto *form = new QFormLayout(&dialog);
        auto *quantity = new QSpinBox(&dialog);
        quantity->setObjectName(QStringLiteral("quantity"));
        quantity->setRange(0, 10000);
        quantity->setValue(part->m_quantity);
        form->addRow(QStringLiteral("quantity"), quantity);
        form->addRow(okCancel(&dialog));
        // Another command may end this one while its dialog waits (a LaunchCommand passes as
        // soon as the dialog is up): the dialog goes with it, and nothing here is touched again.
        const QPointer<PartQuantityCommand> self(this);
        const QPointer<CorvidPart> asked(part);
        QObject::connect(this, &QObject::destroyed, &dialog, &QDialog::reject);
        const int answer = dialog.exec();
        if (!self)
            return;
        if (answer == QDialog::Accepted && asked) {
            Q_EMIT m_platform->PopupDialogValueReturned(QStringLiteral("quantity"),
                                                        quantity->value());
            part->m_quantity = quantity->value();
            for (KAVFeatObject *root :
                 document->GetEnvironment()->GetContainer()->GetFeatureRoots()) {
                for (KAVFeatObject *nesting : root->GetChildren()) {
                    for (KAVFeatObject *child : nesting->GetChildren()) {
                        auto *item = qobject_cast<KAVNestItem *>(child);
                        if (item && item->GetShape() == part)
                            item->SetQuantity(part->m_quantity);
                    }
                }
            }
            document->Nest();
        }
        Finish();
    }

private:
    CorvidPart *FindPart(CorvidDocument *document) const
    {
        const QString wanted = GetData().value(QStringLiteral("part")).toString();
        QList<CorvidPart *> parts;
        for (KAVFeatObject *root : document->GetEnvironment()->GetContainer()->GetFeatureRoots()) {
            for (KAVFeatObject *child : root->GetChildren()) {
                if (auto *part = qobject_cast<CorvidPart *>(child))
                    parts.append(part);
            }
        }
        for (CorvidPart *part : std::as_const(parts)) {
            if (part->GetIdentifier() == wanted)
                return part;
        }
        for (KAVFeatObject *selected : document->GetEnvironment()->GetSelection()) {
            if (auto *part = qobject_cast<CorvidPart *>(selected))
                return part;
        }
        return parts.value(0);
    }

    CorvidPlatform *m_platform;
};

// "Nest.Clear": asks with a message box, then removes the sheets of the current document.
class ClearNestingCommand : public KAVCmdCommand {
public:
    ClearNestingCommand(const QByteArray &name, CorvidPlatform *platform)
        : KAVCmdCommand(name), m_platform(platform)
    {
    }

protected:
    void OnStart() override
    {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Clear nesting"),
                        QStringLiteral("Remove every sheet of the current document?"),
                        QMessageBox::Yes | QMessageBox::No, dialogParent(GetParentWidget()));
        box.setObjectName(QStringLiteral("confirmClear"));
        box.button(QMessageBox::Yes)->setObjectName(QStringLiteral("yesButton"));
        box.button(QMessageBox::No)->setObjectName(QStringLiteral("noButton"));
        const QPointer<ClearNestingCommand> self(this);
        QObject::connect(this, &QObject::destroyed, &box, &QMessageBox::reject);
        const int answer = box.exec();
        if (!self)
            return;
        // The answer is offered to recording like a dialog's value: "confirmClear": "Yes".
        Q_EMIT m_platform->PopupDialogValueReturned(
            box.objectName(),
            QString::fromLatin1(
                QMetaEnum::fromType<QMessageBox::StandardButtons>().valueToKey(answer)));
        if (answer == QMessageBox::Yes) {
            if (CorvidDocument *document = m_platform->GetCurrentDocument())
                document->ClearNesting();
        }
        Finish();
    }

private:
    CorvidPlatform *m_platform;
};

} // namespace

// Sets the values into the dialog's widgets of those names; returns how many it set, and puts
// into unapplied each key it could not set, with why.
static int setValues(QWidget *dialog, const QVariantMap &data, QMap<QString, QString> *unapplied)
{
    int set = 0;
    const auto refuse
        = [unapplied](const QString &key, const QString &why) { unapplied->insert(key, why); };
    for (auto it = data.cbegin(); it != data.cend(); ++it) {
        QWidget *widget = dialog->findChild<QWidget *>(it.key());
        const QString text = it.value().toString();
        bool ok = false;
        if (!widget) {
            refuse(it.key(), QStringLiteral("no control of that name"));
            continue;
        }
        if (qobject_cast<QDoubleSpinBox *>(widget) || qobject_cast<QSpinBox *>(widget)) {
            auto *spin = qobject_cast<QDoubleSpinBox *>(widget);
            auto *whole = qobject_cast<QSpinBox *>(widget);
            const double value = it.value().toDouble(&ok);
            const double minimum = spin ? spin->minimum() : whole->minimum();
            const double maximum = spin ? spin->maximum() : whole->maximum();
            if (!ok || !std::isfinite(value) || (whole && value != std::floor(value))) {
                refuse(it.key(),
                       QStringLiteral("\"%1\" is not a %2number")
                           .arg(text, whole ? QStringLiteral("whole ") : QString()));
                ok = false;
            } else if (value < minimum || value > maximum) {
                refuse(it.key(),
                       QStringLiteral("%1 is outside %2 to %3")
                           .arg(text, QString::number(minimum), QString::number(maximum)));
                ok = false;
            } else if (spin) {
                spin->setValue(value);
            } else {
                whole->setValue(int(value));
            }
        } else if (auto *check = qobject_cast<QCheckBox *>(widget)) {
            ok = it.value().typeId() == QMetaType::Bool;
            if (ok)
                check->setChecked(it.value().toBool());
            else
                refuse(it.key(), QStringLiteral("\"%1\" is not true or false").arg(text));
        } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            ok = true;
            edit->setText(text);
        } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
            ok = combo->findText(text) >= 0;
            if (ok) {
                combo->setCurrentText(text);
            } else {
                QStringList items;
                for (int i = 0; i < combo->count(); ++i)
                    items.append(combo->itemText(i));
                refuse(it.key(),
                       QStringLiteral("\"%1\" is not one of %2").arg(text, items.join(", ")));
            }
        } else {
            refuse(it.key(), QStringLiteral("the control takes no value"));
        }
        set += ok;
    }
    return set;
}

CorvidDialogHandler::CorvidDialogHandler(QWidget *mainWindow)
    : KAVCmdDialogHandler(mainWindow, mainWindow)
{
}

void CorvidDialogHandler::ApplyAutomationData(const QVariantMap &data, bool clearFirst)
{
    m_unapplied.clear();
    auto *command = qobject_cast<KAVCmdDialogCommand *>(
        KAVCmdController::GetController()->GetCurrentCommand());
    QWidget *dialog = GetDialog(command);
    // A command waiting in a modal popup takes the data as the popup's answer.
    if (!dialog) {
        AnswerModal(data);
        return;
    }
    if (clearFirst) {
        for (QLineEdit *edit : dialog->findChildren<QLineEdit *>())
            edit->clear();
    }
    setValues(dialog, data, &m_unapplied);
}

QMap<QString, QString> CorvidDialogHandler::GetUnappliedAutomationData() const
{
    return m_unapplied;
}

void CorvidDialogHandler::AnswerModal(const QVariantMap &data)
{
    QWidget *modal = QApplication::activeModalWidget();
    // What it does not know leaves the popup open, and the step says what it did not take.
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        // The button named under the box's own name: "confirmClear": "No"; "NoButton" for a
        // box that was closed without one.
        for (auto it = data.cbegin(); it != data.cend(); ++it) {
            if (it.key() != box->objectName())
                m_unapplied.insert(it.key(),
                                   QStringLiteral("no control of that name: the message box is "
                                                  "\"%1\"")
                                       .arg(box->objectName()));
        }
        const QString name = data.value(box->objectName()).toString();
        bool known = false;
        const int button = QMetaEnum::fromType<QMessageBox::StandardButtons>().keyToValue(
            name.toLatin1().constData(), &known);
        QAbstractButton *answer = known && button != QMessageBox::NoButton
            ? box->button(QMessageBox::StandardButton(button))
            : nullptr;
        if (!data.contains(box->objectName()))
            m_unapplied.insert(box->objectName(), QStringLiteral("no answer was given"));
        else if (!known || (button != QMessageBox::NoButton && !answer))
            m_unapplied.insert(box->objectName(),
                               QStringLiteral("\"%1\" is no button of the message box").arg(name));
        else if (button == QMessageBox::NoButton)
            box->reject();
        else
            answer->click();
        return;
    }
    auto *dialog = qobject_cast<QDialog *>(modal);
    // A popup's values are recorded when it is accepted.
    if (dialog && setValues(dialog, data, &m_unapplied) > 0 && m_unapplied.isEmpty())
        dialog->accept();
}

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
    CorvidPlatform *platform = m_platform;
    controller->RegisterCommand(
        "Nest", [platform](const QByteArray &name) { return new NestCommand(name, platform); });
    controller->RegisterCommand("Sheet", [platform](const QByteArray &name) {
        return new SheetPropertiesCommand(name, platform);
    });
    controller->RegisterCommand("Part", [platform](const QByteArray &name) {
        return new PartQuantityCommand(name, platform);
    });
    controller->RegisterCommand("Clear", [platform](const QByteArray &name) {
        return new ClearNestingCommand(name, platform);
    });

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
