#include "corvidcommands.h"
#include "corviddocument.h"
#include "corvidmodel.h"
#include "corvidplatform.h"

#include "kavatmeventrecorder.h"
#include "kavcmdcommand.h"
#include "kavcmdcontroller.h"
#include "kavcmddialogcommand.h"
#include "kavcmddialoghandler.h"
#include "kavfeatcontainer.h"
#include "kavfeatenvironment.h"
#include "kavnestitem.h"

#include <QtCore/QMetaEnum>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialog>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QDoubleSpinBox>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSpinBox>

#include <cmath>

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

namespace CorvidCommands {

void Register(CorvidPlatform *platform)
{
    KAVCmdController *controller = KAVCmdController::GetController();
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
}

} // namespace CorvidCommands
