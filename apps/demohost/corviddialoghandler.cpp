#include "corviddialoghandler.h"

#include "kavcmdcommand.h"
#include "kavcmdcontroller.h"
#include "kavcmddialogcommand.h"

#include <QtCore/QMetaEnum>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialog>
#include <QtWidgets/QDoubleSpinBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QSpinBox>

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
