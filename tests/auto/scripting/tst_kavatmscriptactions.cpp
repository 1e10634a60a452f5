// The ExecuteScript and DataAssert executors on a platform, with the real engine and modules.

#include "kavatmautomationcasemanager.h"
#include "kavatmjsengine.h"
#include "kavatmtestactiondef.h"
#include "kavfeatcontainer.h"
#include "kavfeatenvironment.h"
#include "kavfeatenvironmentmanager.h"
#include "kavnestsheet.h"
#include "testfiles.h"
#include "testplatform.h"

#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

class tst_KAVAtmScriptActions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // First: nothing has created the case manager in this process yet.
    void dataAssertFirstInProcess();
    void init();
    void cleanup();
    void executeScript_data();
    void executeScript();
    void otherCasesDoNotEndTheAction();
    void ownTimeoutTakesTheCaseAlong_data();
    void ownTimeoutTakesTheCaseAlong();
    void cancelledCaseFails();
    void dataAssert_data();
    void dataAssert();
    void dataAssertWithoutADocument();
    void unusableBaseline_data();
    void unusableBaseline();

private:
    QTemporaryDir m_dir;
    TestPlatform *m_platform = nullptr;
    KAVFeatEnvironment *m_environment = nullptr;
};

void tst_KAVAtmScriptActions::init()
{
    m_platform = new TestPlatform;
    m_environment = new KAVFeatEnvironment("doc");
    auto *sheet = new KAVNestSheet("Sheet");
    sheet->SetWidth(KAVSysValue(1000.0, KAVSysValue::Millimeter));
    m_environment->GetContainer()->AddFeatureRoot(sheet);
    KAVFeatEnvironmentManager::GetManager()->SetCurrentEnvironment(m_environment);
}

void tst_KAVAtmScriptActions::cleanup()
{
    delete m_platform;
    delete m_environment;
}

void tst_KAVAtmScriptActions::dataAssertFirstInProcess()
{
    const QJsonObject update = m_platform->Run({{"action", "DataAssert"}});
    QCOMPARE(update.value("result").toInt(), int(KAVAtmEnums::Pass));
    QVERIFY(update.value("data").toString().contains("\"Sheet\""));
}

void tst_KAVAtmScriptActions::executeScript_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no script named
    QTest::addColumn<QJsonArray>("imports");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("details");
    // Where the failure is: a line of "case.js", or of "module.mjs" when negative; 0 for none.
    QTest::addColumn<int>("line");
    QTest::newRow("no script") << QByteArray() << QJsonArray() << int(KAVAtmEnums::Warning)
                               << "There is no script file defined in the action." << 0;
    QTest::newRow("finishes at once") << QByteArray("function (c, done) { done(); }")
                                      << QJsonArray() << int(KAVAtmEnums::Pass) << "" << 0;
    QTest::newRow("records a failure")
        << QByteArray("function (c) { c.caseMgr.RecordResult(c.key, 2, 'bad sheet');"
                      " c.caseMgr.FinishCase(c); }")
        << QJsonArray() << int(KAVAtmEnums::Fail) << "bad sheet" << 0;
    // An assertion names the line that called it, not the library's.
    QTest::newRow("an assertion fails")
        << QByteArray("function (c) {\n\n    kavAssert.isTrue(false);\n}") << QJsonArray()
        << int(KAVAtmEnums::Fail) << "" << 3;
    QTest::newRow("throws later") << QByteArray("function (c) {\n    c.setTimeout(function () {"
                                                "\n        throw new Error('late'); }, 1, c);\n}")
                                  << QJsonArray() << int(KAVAtmEnums::Fail) << "late" << 3;
    QTest::newRow("not a function")
        << QByteArray("42") << QJsonArray() << int(KAVAtmEnums::Fail) << "42" << 0;
    QTest::newRow("syntax error") << QByteArray("function (c) {\n    let x = ;\n}") << QJsonArray()
                                  << int(KAVAtmEnums::Fail) << "SyntaxError" << 2;
    QTest::newRow("host globals and the UI helper")
        << QByteArray("function (c, done) { kavAssert.isTrue(kavCmdController !== undefined"
                      " && kavFeatEnvironmentManager.GetCurrentEnvironment() !== null);"
                      " c.data = uiHelper.SerializeContainer('{}'); done(); }")
        << QJsonArray() << int(KAVAtmEnums::Pass) << "" << 0;
    QTest::newRow("missing module, imported")
        << QByteArray("function (c, done) { done(); }")
        << QJsonArray {QJsonObject {
               {"file", "/nowhere/missing.mjs"}, {"namespace", "mod"}, {"loadType", "import"}}}
        << int(KAVAtmEnums::Fail) << "missing.mjs" << 0;
    QTest::newRow("module that does not compile")
        << QByteArray("function (c, done) { done(); }")
        << QJsonArray {QJsonObject {
               {"file", "module.mjs"}, {"namespace", "mod"}, {"loadType", "import"}}}
        << int(KAVAtmEnums::Fail) << "module.mjs" << -2;
    QTest::newRow("missing module, evaluated")
        << QByteArray("function (c, done) { done(); }")
        << QJsonArray {QJsonObject {{"file", "/nowhere/missing.js"}, {"namespace", "mod"}}}
        << int(KAVAtmEnums::Pass) << "" << 0;
}

void tst_KAVAtmScriptActions::executeScript()
{
    QFETCH(QByteArray, content);
    QFETCH(QJsonArray, imports);
    QFETCH(int, result);
    QFETCH(QString, details);
    QFETCH(int, line);
    const QString module
        = writeFile(m_dir.filePath("module.mjs"), "export const a = 1;\nlet = ;\n");
    for (qsizetype i = 0; i < imports.size(); ++i) {
        QJsonObject import = imports[i].toObject();
        if (import.value("file") == "module.mjs")
            import.insert("file", module);
        imports[i] = import;
    }
    QJsonObject action {{"action", "ExecuteScript"}, {"importModules", imports}};
    if (!content.isNull())
        action.insert("script", writeFile(m_dir.filePath("case.js"), content));
    const QJsonObject update = m_platform->Run(action);
    QCOMPARE(update.value("result").toInt(), result);
    QVERIFY2(update.value("details").toString().contains(details),
             qPrintable(update.value("details").toString()));
    const QJsonObject location = update.value("location").toObject();
    QCOMPARE(location.value("line").toInt(), qAbs(line));
    if (line != 0)
        QCOMPARE(location.value("file").toString(), line > 0 ? m_dir.filePath("case.js") : module);
    // The case goes with its action.
    QCOMPARE(KAVAtmAutomationCaseManager::GetManager()->GetTestCases().size(), 0);
}

void tst_KAVAtmScriptActions::otherCasesDoNotEndTheAction()
{
    const QJsonObject action {{"action", "ExecuteScript"},
                              {"script",
                               writeFile(m_dir.filePath("slow.js"),
                                         "function (c, done) { c.setTimeout(done, 300, c); }")}};
    QSignalSpy finished(m_platform, &KAVAtmPlatform::ActionFinished);
    const QUuid id = QUuid::createUuid();
    m_platform->DispatchAction(id, action);
    // Another case completing must not end this action.
    KAVAtmAutomationCaseManager *manager = KAVAtmAutomationCaseManager::GetManager();
    Q_EMIT manager->TestCaseCompleted(QUuid::createUuid().toString());
    QCOMPARE(finished.size(), 0);
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(m_platform->Completed().last().value("result").toInt(), int(KAVAtmEnums::Pass));
}

void tst_KAVAtmScriptActions::ownTimeoutTakesTheCaseAlong_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("details");
    const QString timedOut
        = QStringLiteral("The case execution exceeds the timeout limitation: 1 seconds.");
    QTest::newRow("never finishes") << QByteArray("function (c, done) { }") << timedOut;
    QTest::newRow("loops at the top level")
        << QByteArray("(function () { while (true) {} })()")
        << "Timeout. The script was still running and was stopped.";
}

void tst_KAVAtmScriptActions::ownTimeoutTakesTheCaseAlong()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, details);
    const QJsonObject action {{"action", "ExecuteScript"},
                              {"timeout", 1},
                              {"script", writeFile(m_dir.filePath("never.js"), content)}};
    const QJsonObject update = m_platform->Run(action, 5000);
    QCOMPARE(update.value("result").toInt(), int(KAVAtmEnums::Fail));
    QCOMPARE(update.value("details").toString(), details);
    KAVAtmAutomationCaseManager *manager = KAVAtmAutomationCaseManager::GetManager();
    QVERIFY(!manager->IsExecuting());
    QCOMPARE(manager->GetTestCases().size(), 0);
}

void tst_KAVAtmScriptActions::cancelledCaseFails()
{
    const QJsonObject action {{"action", "ExecuteScript"},
                              {"script",
                               writeFile(m_dir.filePath("cancelled.js"),
                                         "function (c) { c.caseMgr.CancelExecutingCase(); }")}};
    const QJsonObject update = m_platform->Run(action);
    QCOMPARE(update.value("result").toInt(), int(KAVAtmEnums::Fail));
    QVERIFY(update.value("details").toString().contains("cancelled"));
}

void tst_KAVAtmScriptActions::dataAssert_data()
{
    QTest::addColumn<QByteArray>("baseline"); // null: none
    QTest::addColumn<QString>("before"); // a script run before the action, empty, or "strict"
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("details");
    QTest::addColumn<bool>("hasData");
    QTest::newRow("no baseline: the data")
        << QByteArray() << "" << int(KAVAtmEnums::Pass) << "" << true;
    QTest::newRow("equal baseline: no data")
        << QByteArray(R"({"Sheet":{"className":"KAVNestSheet","features":[],"height":
            {"unit":"mm","value":1500},"objectName":"Sheet","width":{"unit":"mm","value":1000}}})")
        << "" << int(KAVAtmEnums::Pass) << "" << false;
    QTest::newRow("a number differs")
        << QByteArray(R"({"Sheet":{"width":{"unit":"mm","value":1000.5}}})") << ""
        << int(KAVAtmEnums::Fail) << "Expected: [1000.5]. Actual: [1000]. Path: $/Sheet/width/value"
        << true;
    QTest::newRow("of another JSON type")
        << QByteArray(R"({"Sheet":{"width":{"unit":"mm","value":[1000]}}})") << ""
        << int(KAVAtmEnums::Fail)
        << "Expected: [[1000]] (array). Actual: [1000] (number). Path: $/Sheet/width/value" << true;
    // A script may not replace what the verdict depends on.
    QTest::newRow("library objects replaced")
        << QByteArray(R"({"Sheet":{"width":{"unit":"mm","value":1000.5}}})")
        << "kavAssert = { areEqualJson() {} }; uiHelper = null; kavExecutor = null;"
           " dataAssertAction = { dataAssert() { return { hasError: false }; } };"
        << int(KAVAtmEnums::Fail) << "Expected: [1000.5]. Actual: [1000]." << true;
    QTest::newRow("a baseline of nothing") << QByteArray(" {}\n") << "" << int(KAVAtmEnums::Fail)
                                           << "holds nothing to compare." << true;
    QTest::newRow("a broken baseline")
        << QByteArray("{\n  \"Sheet\": {,\n}") << "" << int(KAVAtmEnums::Fail)
        << "baseline.json is not JSON: unterminated object at line 2, column 13." << true;
    QTest::newRow("strict: what the baseline lacks")
        << QByteArray(R"({"Sheet":{"className":"KAVNestSheet","features":[],"height":
            {"unit":"mm","value":1500},"width":{"unit":"mm","value":1000}}})")
        << "strict" << int(KAVAtmEnums::Fail)
        << "The actual object (Path: $/Sheet) has properties the baseline does not have: "
           "objectName"
        << true;
}

void tst_KAVAtmScriptActions::dataAssert()
{
    QFETCH(QByteArray, baseline);
    QFETCH(QString, before);
    QFETCH(int, result);
    QFETCH(QString, details);
    QFETCH(bool, hasData);
    KAVAtmJsEngine *engine = KAVAtmJsEngine::GetInstance();
    const bool strict = before == "strict";
    if (!strict)
        engine->Evaluate(before);
    QJsonObject action {{"action", "DataAssert"},
                        {"procedurePath", m_dir.path()},
                        {"timeout", 1},
                        {"strict", strict}};
    if (!baseline.isNull())
        action.insert("baseline", writeFile(m_dir.filePath("baseline.json"), baseline));
    const QJsonObject update = m_platform->Run(action, 5000);
    QCOMPARE(update.value("result").toInt(), result);
    QVERIFY2(update.value("details").toString().contains(details),
             qPrintable(update.value("details").toString()));
    // After a compared baseline there is no data: never the word "undefined".
    QCOMPARE(!update.value("data").toString().isEmpty(), hasData);
}

void tst_KAVAtmScriptActions::dataAssertWithoutADocument()
{
    KAVFeatEnvironmentManager::GetManager()->SetCurrentEnvironment(nullptr);
    const QJsonObject update = m_platform->Run({{"action", "DataAssert"}});
    QCOMPARE(update.value("result").toInt(), int(KAVAtmEnums::Fail));
    QCOMPARE(update.value("details").toString(),
             QStringLiteral("There is no current document to assert."));
    QVERIFY(update.value("data").toString().isEmpty());
}

void tst_KAVAtmScriptActions::unusableBaseline_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // empty: a first run, which passes
    QTest::newRow("missing") << "missing"
                             << "";
    QTest::newRow("empty") << "empty"
                           << "is empty.";
    QTest::newRow("folder") << "folder"
                            << "is not a regular file.";
    QTest::newRow("FIFO") << "fifo"
                          << "is not a regular file.";
    QTest::newRow("a link to nothing") << "dangling"
                                       << "is not a regular file.";
    QTest::newRow("too large") << "large"
                               << "is larger than 67108864 bytes.";
}

void tst_KAVAtmScriptActions::unusableBaseline()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QString path = m_dir.filePath("baseline-" + kind);
    if (kind == "folder") {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == "fifo") {
        QVERIFY(QProcess::execute("mkfifo", {path}) == 0);
    } else if (kind == "dangling") {
        QVERIFY(QFile::link(m_dir.filePath("nowhere"), path));
    } else if (kind != "missing") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (kind == "large")
            QVERIFY(file.resize(KAVAtmTestActionDef::MaximumBaselineSize + 1));
    }
    for (const char *type : {"DataAssert", "ExecuteScript"}) {
        const QJsonObject update = m_platform->Run(
            {{"action", type},
             {"baseline", path},
             {"script", writeFile(m_dir.filePath("done.js"), "function (c, done) { done(); }")}});
        if (reason.isEmpty()) {
            QCOMPARE(update.value("result").toInt(), int(KAVAtmEnums::Pass));
        } else {
            QCOMPARE(update.value("result").toInt(), int(KAVAtmEnums::Fail));
            QCOMPARE(update.value("details").toString(),
                     QStringLiteral("The baseline file %1 %2").arg(path, reason));
        }
    }
}

QTEST_MAIN(tst_KAVAtmScriptActions)
#include "tst_kavatmscriptactions.moc"
