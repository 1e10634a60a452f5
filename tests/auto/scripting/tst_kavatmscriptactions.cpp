// The ExecuteScript and DataAssert executors on a platform, with the real engine and modules.

#include "kavatmautomationcasemanager.h"
#include "kavatmjsengine.h"
#include "kavfeatcontainer.h"
#include "kavfeatenvironment.h"
#include "kavfeatenvironmentmanager.h"
#include "kavnestsheet.h"
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
    void ownTimeoutTakesTheCaseAlong();
    void cancelledCaseFails();
    void dataAssert_data();
    void dataAssert();
    void dataAssertWithoutADocument();

private:
    QString script(const QString &name, const QByteArray &content);

    QTemporaryDir m_dir;
    TestPlatform *m_platform = nullptr;
    KAVFeatEnvironment *m_environment = nullptr;
};

QString tst_KAVAtmScriptActions::script(const QString &name, const QByteArray &content)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return path;
}

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
    QTest::newRow("no script") << QByteArray() << QJsonArray() << int(KAVAtmEnums::Warning)
                               << "There is no script file defined in the action.";
    QTest::newRow("finishes at once") << QByteArray("function (c, done) { done(); }")
                                      << QJsonArray() << int(KAVAtmEnums::Pass) << "";
    QTest::newRow("records a failure")
        << QByteArray("function (c) { c.caseMgr.RecordResult(c.key, 2, 'bad sheet');"
                      " c.caseMgr.FinishCase(c); }")
        << QJsonArray() << int(KAVAtmEnums::Fail) << "bad sheet";
    QTest::newRow("not a function")
        << QByteArray("42") << QJsonArray() << int(KAVAtmEnums::Fail) << "42";
    QTest::newRow("syntax error") << QByteArray("function (") << QJsonArray()
                                  << int(KAVAtmEnums::Fail) << "SyntaxError";
    QTest::newRow("host globals and the UI helper")
        << QByteArray("function (c, done) { kavAssert.isTrue(kavCmdController !== undefined"
                      " && kavFeatEnvironmentManager.GetCurrentEnvironment() !== null);"
                      " c.data = uiHelper.SerializeContainer('{}'); done(); }")
        << QJsonArray() << int(KAVAtmEnums::Pass) << "";
    QTest::newRow("missing module, imported")
        << QByteArray("function (c, done) { done(); }")
        << QJsonArray {QJsonObject {
               {"file", "/nowhere/missing.mjs"}, {"namespace", "mod"}, {"loadType", "import"}}}
        << int(KAVAtmEnums::Fail) << "missing.mjs";
    QTest::newRow("missing module, evaluated")
        << QByteArray("function (c, done) { done(); }")
        << QJsonArray {QJsonObject {{"file", "/nowhere/missing.js"}, {"namespace", "mod"}}}
        << int(KAVAtmEnums::Pass) << "";
}

void tst_KAVAtmScriptActions::executeScript()
{
    QFETCH(QByteArray, content);
    QFETCH(QJsonArray, imports);
    QFETCH(int, result);
    QFETCH(QString, details);
    QJsonObject action {{"action", "ExecuteScript"}, {"importModules", imports}};
    if (!content.isNull())
        action.insert("script", script("case.js", content));
    const QJsonObject update = m_platform->Run(action);
    QCOMPARE(update.value("result").toInt(), result);
    QVERIFY2(update.value("details").toString().contains(details),
             qPrintable(update.value("details").toString()));
    // The case goes with its action.
    QCOMPARE(KAVAtmAutomationCaseManager::GetManager()->GetTestCases().size(), 0);
}

void tst_KAVAtmScriptActions::otherCasesDoNotEndTheAction()
{
    const QJsonObject action {
        {"action", "ExecuteScript"},
        {"script", script("slow.js", "function (c, done) { c.setTimeout(done, 300, c); }")}};
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

void tst_KAVAtmScriptActions::ownTimeoutTakesTheCaseAlong()
{
    const QJsonObject action {{"action", "ExecuteScript"},
                              {"timeout", 1},
                              {"script", script("never.js", "function (c, done) { }")}};
    const QJsonObject update = m_platform->Run(action, 5000);
    QCOMPARE(update.value("result").toInt(), int(KAVAtmEnums::Fail));
    QCOMPARE(update.value("details").toString(), QStringLiteral("Timeout."));
    KAVAtmAutomationCaseManager *manager = KAVAtmAutomationCaseManager::GetManager();
    QVERIFY(!manager->IsExecuting());
    QCOMPARE(manager->GetTestCases().size(), 0);
}

void tst_KAVAtmScriptActions::cancelledCaseFails()
{
    const QJsonObject action {
        {"action", "ExecuteScript"},
        {"script", script("cancelled.js", "function (c) { c.caseMgr.CancelExecutingCase(); }")}};
    const QJsonObject update = m_platform->Run(action);
    QCOMPARE(update.value("result").toInt(), int(KAVAtmEnums::Fail));
    QVERIFY(update.value("details").toString().contains("cancelled"));
}

void tst_KAVAtmScriptActions::dataAssert_data()
{
    QTest::addColumn<QByteArray>("baseline"); // null: none
    QTest::addColumn<QString>("override"); // a replacement of the module's function, or empty
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
    QTest::newRow("a thrown error") << QByteArray() << "function () { throw new Error('broken'); }"
                                    << int(KAVAtmEnums::Fail) << "broken" << false;
    QTest::newRow("no result object")
        << QByteArray() << "function () { return 5; }" << int(KAVAtmEnums::Fail) << "5" << false;
}

void tst_KAVAtmScriptActions::dataAssert()
{
    QFETCH(QByteArray, baseline);
    QFETCH(QString, override);
    QFETCH(int, result);
    QFETCH(QString, details);
    QFETCH(bool, hasData);
    KAVAtmJsEngine *engine = KAVAtmJsEngine::GetInstance();
    const QJSValue module = engine->GetGlobalProperty("dataAssertAction");
    if (!override.isEmpty()) {
        QJSValue fake = engine->CreateEmptyJsObject();
        fake.setProperty("dataAssert", engine->Evaluate("(" + override + ")"));
        engine->SetGlobalProperty("dataAssertAction", fake);
    }
    QJsonObject action {{"action", "DataAssert"}, {"procedurePath", m_dir.path()}};
    if (!baseline.isNull())
        action.insert("baseline", script("baseline.json", baseline));
    const QJsonObject update = m_platform->Run(action);
    engine->SetGlobalProperty("dataAssertAction", module);
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
    QCOMPARE(update.value("result").toInt(), int(KAVAtmEnums::Warning));
    QVERIFY(update.value("data").toString().isEmpty());
}

QTEST_MAIN(tst_KAVAtmScriptActions)
#include "tst_kavatmscriptactions.moc"
