#ifndef KAVATMJSCONSOLEWIDGET_H
#define KAVATMJSCONSOLEWIDGET_H

#include "kavautomation_export.h"

#include <QtWidgets/QDialog>
#include <QtWidgets/QWidget>

#include <memory>

class KAVAtmJsConsoleWidgetPrivate;

// A console inside the host: evaluates typed lines in the shared script engine and runs a
// script file as an ad-hoc test case, writing results to its output.
class KAVAUTOMATION_EXPORT KAVAtmJsConsoleWidget : public QWidget {
    Q_OBJECT
public:
    explicit KAVAtmJsConsoleWidget(QWidget *parent = nullptr);
    ~KAVAtmJsConsoleWidget() override;

    // How long a typed line may run before the engine stops it (30 s); tests shorten it.
    static constexpr int DefaultLineTimeLimit = 30000;
    static void SetLineTimeLimit(int milliseconds);

    // Runs the script file as a case, against the baseline file when one is given; the
    // completion line follows in the output. The menu's "Execute JS from file" asks for both.
    void ExecuteScriptFile(const QString &scriptPath, const QString &baselinePath = QString());

private Q_SLOTS:
    void OnExecuteButtonClicked();
    void OnExecuteFromFile();
    void OnTestCaseCompleted(const QString &key);

private:
    const std::unique_ptr<KAVAtmJsConsoleWidgetPrivate> d;
};

// The process-wide console window, created on first use and deleted when the application goes.
class KAVAUTOMATION_EXPORT KAVAtmJsConsoleDialog : public QDialog {
    Q_OBJECT
public:
    static QDialog *GetInstance();

private:
    KAVAtmJsConsoleDialog();
};

#endif // KAVATMJSCONSOLEWIDGET_H
