// The script console: typed lines and script files run as ad-hoc cases.

#include "kavatmautomationcasemanager.h"
#include "kavatmjsconsolewidget.h"

#include "testfiles.h"

#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QTextEdit>

class tst_KAVAtmJsConsole : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lines_data();
    void lines();
    void scriptFiles_data();
    void scriptFiles();
    void onlyItsOwnCase();

private:
    QTemporaryDir m_dir;
};

void tst_KAVAtmJsConsole::lines_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("sum") << "1+1"
                         << "1+1\n> 2";
    QTest::newRow("error") << "nothing.here"
                           << "nothing.here\n> ReferenceError: nothing is not defined";
    QTest::newRow("host global") << "typeof kavCmdController"
                                 << "typeof kavCmdController\n> object";
    KAVAtmJsConsoleWidget::SetLineTimeLimit(200);
    QTest::newRow("endless loop")
        << "while (true) {}"
        << "while (true) {}\n> The script ran past 200 ms and was stopped.";
}

void tst_KAVAtmJsConsole::lines()
{
    QFETCH(QString, input);
    QFETCH(QString, output);
    KAVAtmJsConsoleWidget console;
    auto *line = console.findChild<QLineEdit *>("_EditInput");
    line->setText(input);
    QTest::keyClick(line, Qt::Key_Return);
    QCOMPARE(console.findChild<QTextEdit *>("_EditResult")->toPlainText(), output);
    QVERIFY(line->text().isEmpty());
}

void tst_KAVAtmJsConsole::scriptFiles_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("last");
    QTest::newRow("passes") << QByteArray("(function (context, done) { done(); })")
                            << "Result: [1], Details: []";
    QTest::newRow("fails") << QByteArray("(function (context, done) {"
                                         "  kavAtmAutomationCaseManager.RecordResult("
                                         "      context.key, 2, 'wrong');"
                                         "  done(); })")
                           << "Result: [2], Details: [wrong]";
    QTest::newRow("not a function") << QByteArray("42") << "42";
}

void tst_KAVAtmJsConsole::scriptFiles()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, last);
    KAVAtmJsConsoleWidget console;
    KAVAtmAutomationCaseManager *manager = KAVAtmAutomationCaseManager::GetManager();
    console.ExecuteScriptFile(writeFile(m_dir.filePath("case.js"), script));
    auto *output = console.findChild<QTextEdit *>("_EditResult");
    QTRY_VERIFY(output->toPlainText().endsWith(last));
    QVERIFY(output->toPlainText().startsWith("Executing script file: "));
    // The case is gone once reported.
    QTRY_VERIFY(manager->GetTestCases().isEmpty());
}

void tst_KAVAtmJsConsole::onlyItsOwnCase()
{
    KAVAtmJsConsoleWidget console;
    KAVAtmAutomationCaseManager *manager = KAVAtmAutomationCaseManager::GetManager();
    auto *output = console.findChild<QTextEdit *>("_EditResult");
    // A case still running when the console goes is taken along, not left to a dead definition.
    {
        KAVAtmJsConsoleWidget leaving;
        leaving.ExecuteScriptFile(
            writeFile(m_dir.filePath("slow.js"), "(function (context, done) { })"));
        QCOMPARE(manager->GetTestCases().size(), 1);
    }
    QVERIFY(manager->GetTestCases().isEmpty());
    QSignalSpy completed(manager, &KAVAtmAutomationCaseManager::TestCaseCompleted);
    console.ExecuteScriptFile(
        writeFile(m_dir.filePath("done.js"), "(function (context, done) { done(); })"));
    QTRY_COMPARE(completed.count(), 1);
    // A second completion of the same key is not reported twice.
    Q_EMIT manager->TestCaseCompleted(completed.at(0).at(0).toString());
    QCOMPARE(output->toPlainText().count("Result: ["), 1);
}

QTEST_MAIN(tst_KAVAtmJsConsole)
#include "tst_kavatmjsconsole.moc"
