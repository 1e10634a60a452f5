#include "kavatmjsconsolewidget.h"
#include "kavatmautomationcasemanager.h"
#include "kavatmexecutescriptactiondef.h"
#include "kavatmjsengine.h"
#include "kavatmlogging_p.h"
#include "kavatmtestactionresult.h"
#include "kavcmdcontroller.h"
#include "kavfeatenvironmentmanager.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QJsonObject>
#include <QtCore/QPointer>
#include <QtCore/QUuid>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QTextEdit>
#include <QtWidgets/QToolButton>

namespace {
int s_lineTimeLimit = KAVAtmJsConsoleWidget::DefaultLineTimeLimit;
} // namespace

class KAVAtmJsConsoleWidgetPrivate {
public:
    QTextEdit *result = nullptr;
    QLineEdit *input = nullptr;
    QToolButton *execute = nullptr;
    KAVAtmJsEngine *engine = nullptr;
    // The case of the file run and its definition, which the case manager refers to until
    // the case is deleted.
    QString caseKey;
    std::unique_ptr<KAVAtmExecuteScriptActionDef> definition;
};

KAVAtmJsConsoleWidget::KAVAtmJsConsoleWidget(QWidget *parent)
    : QWidget(parent), d(new KAVAtmJsConsoleWidgetPrivate)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("KAVAtmJsConsole"));
    resize(935, 656);
    setWindowTitle(QStringLiteral("Form"));
    auto *layout = new QGridLayout(this);
    layout->setObjectName(QStringLiteral("gridLayout"));
    d->result = new QTextEdit(this);
    d->result->setObjectName(QStringLiteral("_EditResult"));
    d->result->setReadOnly(true);
    layout->addWidget(d->result, 0, 0, 1, 3);
    d->input = new QLineEdit(this);
    d->input->setObjectName(QStringLiteral("_EditInput"));
    layout->addWidget(d->input, 1, 0);
    d->execute = new QToolButton(this);
    d->execute->setObjectName(QStringLiteral("_EditExecute"));
    d->execute->setText(tr("Execute"));
    d->execute->setPopupMode(QToolButton::MenuButtonPopup);
    d->execute->setToolButtonStyle(Qt::ToolButtonTextOnly);
    d->execute->setArrowType(Qt::DownArrow);
    auto *menu = new QMenu(d->execute);
    connect(menu->addAction(tr("Execute JS from file")), &QAction::triggered, this,
            &KAVAtmJsConsoleWidget::OnExecuteFromFile);
    d->execute->setMenu(menu);
    layout->addWidget(d->execute, 1, 1);
    connect(d->execute, &QToolButton::clicked, this,
            &KAVAtmJsConsoleWidget::OnExecuteButtonClicked);
    connect(d->input, &QLineEdit::returnPressed, this,
            &KAVAtmJsConsoleWidget::OnExecuteButtonClicked);

    d->engine = KAVAtmJsEngine::GetInstance();
    KAVAtmAutomationCaseManager *manager = KAVAtmAutomationCaseManager::GetManager();
    // What a test script reaches, so that a console line can try out a script's statements.
    d->engine->RegisterQObject(QStringLiteral("kavCmdController"),
                               KAVCmdController::GetController());
    d->engine->RegisterQObject(QStringLiteral("kavFeatEnvironmentManager"),
                               KAVFeatEnvironmentManager::GetManager());
    connect(manager, &KAVAtmAutomationCaseManager::TestCaseCompleted, this,
            &KAVAtmJsConsoleWidget::OnTestCaseCompleted);
}

void KAVAtmJsConsoleWidget::SetLineTimeLimit(int milliseconds)
{
    s_lineTimeLimit = milliseconds;
}

KAVAtmJsConsoleWidget::~KAVAtmJsConsoleWidget()
{
    // The case manager must not keep a case whose definition goes with this widget.
    if (!d->caseKey.isEmpty())
        KAVAtmAutomationCaseManager::GetManager()->ClearCase(d->caseKey);
}

void KAVAtmJsConsoleWidget::OnExecuteButtonClicked()
{
    const QString text = d->input->text();
    if (text.isEmpty())
        return;
    d->result->append(text);
    // A line typed while a case runs keeps the case's deadline; a case the line starts sets
    // its own, which the line's end leaves in place.
    const int deadline = d->engine->HasDeadline() || d->engine->WasStopped()
        ? 0
        : d->engine->SetDeadline(s_lineTimeLimit);
    const QJSValue value = d->engine->Evaluate(text);
    const bool stopped = deadline != 0 && d->engine->WasStopped();
    d->engine->ClearDeadline(deadline);
    d->result->append(QStringLiteral("> ")
                      + (stopped
                             ? tr("The script ran past %1 ms and was stopped.").arg(s_lineTimeLimit)
                             : value.toString()));
    d->input->clear();
}

void KAVAtmJsConsoleWidget::OnExecuteFromFile()
{
    const QString script = QFileDialog::getOpenFileName(this, tr("Open Script File"), QString(),
                                                        tr("JavaScript File (*.js)"));
    if (script.isEmpty())
        return;
    const QMessageBox::StandardButton answer = QMessageBox::question(
        this, tr("Select Baseline File?"), tr("Do you want to select a baseline file?"),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::No);
    if (answer == QMessageBox::Cancel)
        return;
    QString baseline;
    if (answer == QMessageBox::Yes)
        baseline = QFileDialog::getOpenFileName(this, tr("Select Baseline File"));
    ExecuteScriptFile(script, baseline);
}

void KAVAtmJsConsoleWidget::ExecuteScriptFile(const QString &scriptPath,
                                              const QString &baselinePath)
{
    d->result->append(tr("Executing script file: %1").arg(scriptPath));
    const QJSValue function = d->engine->ExecuteScriptFile(scriptPath, true);
    if (function.isError() || !function.isCallable()) {
        d->result->append(function.toString());
        return;
    }
    const QUuid id = QUuid::createUuid();
    QJsonObject json {
        {QStringLiteral("name"), QStringLiteral("Test_%1").arg(id.toString(QUuid::WithBraces))},
        {QStringLiteral("category"), QStringLiteral("Adhoc Execution")}};
    if (!baselinePath.isEmpty())
        json.insert(QStringLiteral("baseline"), baselinePath);

    KAVAtmAutomationCaseManager *manager = KAVAtmAutomationCaseManager::GetManager();
    // Every registered case goes, the previous run's included, before its definition does.
    manager->ClearCases();
    d->definition = std::make_unique<KAVAtmExecuteScriptActionDef>();
    d->definition->FromJson(json);
    d->definition->SetScriptFunction(function);
    d->caseKey = manager->RegisterCase(id, d->definition.get());
    qCDebug(lcScripting).noquote() << "The registered test case key is:" << d->caseKey;
    // The script works on the host's own windows.
    KAVAtmJsConsoleDialog::GetInstance()->close();
    manager->ExecuteCase(d->caseKey);
}

void KAVAtmJsConsoleWidget::OnTestCaseCompleted(const QString &key)
{
    // Only the case this console started, and once; the cases of ExecuteScript actions are
    // theirs to handle.
    if (key.isEmpty() || key != d->caseKey)
        return;
    d->caseKey.clear();
    KAVAtmAutomationCaseManager *manager = KAVAtmAutomationCaseManager::GetManager();
    if (const KAVAtmTestActionResult *result = manager->GetCaseInfo(key)) {
        d->result->append(
            QStringLiteral("Key: %1, Result: [%2], Details: [%3]")
                .arg(key, QString::number(int(result->GetResult())), result->GetDetails()));
    }
    manager->ClearCase(key);
}

namespace {
QPointer<KAVAtmJsConsoleDialog> s_consoleDialog;

void deleteConsoleDialog()
{
    delete s_consoleDialog.data();
}
} // namespace

KAVAtmJsConsoleDialog::KAVAtmJsConsoleDialog() : QDialog(nullptr)
{
    auto *layout = new QGridLayout(this);
    layout->addWidget(new KAVAtmJsConsoleWidget(this), 0, 0);
    resize(800, 600);
}

QDialog *KAVAtmJsConsoleDialog::GetInstance()
{
    if (!s_consoleDialog) {
        s_consoleDialog = new KAVAtmJsConsoleDialog;
        // Widgets must go while the application still exists, not with the static objects.
        static const bool registered = [] {
            qAddPostRoutine(deleteConsoleDialog);
            return true;
        }();
        Q_UNUSED(registered);
    }
    return s_consoleDialog;
}
