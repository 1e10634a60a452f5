// Script test cases through the case manager and the embedded case runner, in the real engine.

#include "kavatmautomationcasemanager.h"
#include "kavatmexecutescriptactiondef.h"
#include "kavatmjsengine.h"
#include "kavatmtestactionresult.h"

#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>
#include <QtWidgets/QDialog>

#include <memory>

class tst_KAVAtmAutomationCaseManager : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void howACaseEnds_data();
    void howACaseEnds();
    void synchronousCasesChain();
    void oneCaseAtATime();
    void noTimeoutAndHugeTimeout();
    void cancelAndStop();
    void clearingWhatRunsOrWaits();
    void saveResults();
    void delayedCallbacks();
    void subDialogAroundAModalDialog();

private:
    // A case whose body is the script function text; owned by the test.
    QString add(const QString &body, qint64 timeout = 30, const QString &name = QString(),
                const QString &category = QString());
    QJSValue global(const QString &name) const;

    KAVAtmAutomationCaseManager *m_manager = nullptr;
    std::vector<std::unique_ptr<KAVAtmExecuteScriptActionDef>> m_definitions;
};

void tst_KAVAtmAutomationCaseManager::initTestCase()
{
    m_manager = KAVAtmAutomationCaseManager::GetManager();
    QCOMPARE(KAVAtmJsEngine::GetInstance()->Evaluate("typeof uiHelper").toString(),
             QStringLiteral("object"));
}

void tst_KAVAtmAutomationCaseManager::cleanup()
{
    m_manager->StopExecution();
    m_manager->ClearCases();
    QVERIFY(!m_manager->IsExecuting());
}

QJSValue tst_KAVAtmAutomationCaseManager::global(const QString &name) const
{
    return KAVAtmJsEngine::GetInstance()->GetGlobalProperty(name);
}

QString tst_KAVAtmAutomationCaseManager::add(const QString &body, qint64 timeout,
                                             const QString &name, const QString &category)
{
    auto def = std::make_unique<KAVAtmExecuteScriptActionDef>();
    def->FromJson(QJsonObject {
        {"action", "ExecuteScript"}, {"name", name}, {"category", category}, {"timeout", timeout}});
    if (!body.isEmpty())
        def->SetScriptFunction(KAVAtmJsEngine::GetInstance()->Evaluate("(" + body + ")"));
    const QString key = m_manager->RegisterCase(QUuid::createUuid(), def.get());
    m_definitions.push_back(std::move(def));
    return key;
}

void tst_KAVAtmAutomationCaseManager::howACaseEnds_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("details");
    QTest::addColumn<bool>("synchronous");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<QString>("data");
    QTest::newRow("no body") << QString() << 1 << "" << true << 30 << "";
    // Data that is no string is kept as its JSON text, not dropped.
    QTest::newRow("completion callback, a number as data")
        << "function (c, done) { c.data = 5; done(); }" << 1 << "" << true << 30 << "5";
    QTest::newRow("an object as data") << "function (c, done) { c.data = {a: [1, 'x']}; done(); }"
                                       << 1 << "" << true << 30 << R"({"a":[1,"x"]})";
    QTest::newRow("resolved promise")
        << "function (c) { return Promise.resolve(); }" << 1 << "" << false << 30 << "";
    QTest::newRow("rejected promise") << "function (c) { return Promise.reject(new Error('no')); }"
                                      << 2 << "no" << false << 30 << "";
    QTest::newRow("throws") << "function (c) { throw new Error('thrown'); }" << 2 << "thrown"
                            << true << 30 << "";
    QTest::newRow("failed assertion")
        << "function (c, done) { kavAssert.areEqual(1, 2, 'x'); done(); }" << 2
        << "The values of property [x] in expected and actual are not equal.\n"
           "Expected: [1]. Actual: [2]"
        << true << 30 << "";
    QTest::newRow("waits for slots")
        << "function (c) { c.waitForSlots = true; c.setTimeout(function () {"
           " c.caseMgr.RecordResult(c.key, 3, 'late'); c.caseMgr.FinishCase(c); }, 20, c);"
           " return Promise.resolve(); }"
        << 3 << "late" << false << 30 << "";
    QTest::newRow("wait() in a promise chain")
        << "function (c) { return kavExecutor.wait(10).then(() => kavExecutor.wait(10)); }" << 1
        << "" << false << 30 << "";
    const QString timedOut
        = QStringLiteral("The case execution exceeds the timeout limitation: 1 seconds.");
    const QString stopped = timedOut + " The script was still running and was stopped.";
    QTest::newRow("stalls after recording")
        << "function (c) { c.caseMgr.RecordResult(c.key, 2, 'step 3 failed', 'partial'); }" << 2
        << timedOut + "\nstep 3 failed" << false << 1 << "partial";
    QTest::newRow("loop in the body")
        << "function (c) { while (true) {} }" << 2 << stopped << true << 1 << "";
    QTest::newRow("loop in a delayed callback")
        << "function (c) { c.setTimeout(function () { for (;;) {} }, 10, c); }" << 2 << stopped
        << false << 1 << "";
    const QString invalid = QStringLiteral("RecordResult was given the result code %1, which is "
                                           "not one of 0 (Unknown), 1 (Pass), 2 (Fail) or 3 "
                                           "(Warning). Details: x");
    for (const char *code : {"7", "'Fail'", "1.5", "undefined"}) {
        QTest::addRow("result code %s", code)
            << QStringLiteral("function (c, done) { c.caseMgr.RecordResult(c.key, %1, 'x');"
                              " done(); }")
                   .arg(QLatin1String(code))
            << 2 << invalid.arg(QString::fromLatin1(code).replace('\'', '"')) << true << 30 << "";
    }
    QTest::newRow("negative delay")
        << "function (c, done) { c.setTimeout(done, -5, c); }" << 1 << "" << false << 30 << "";
    QTest::newRow("wait() without a delay")
        << "function (c) { return kavExecutor.wait(); }" << 1 << "" << false << 30 << "";
}

void tst_KAVAtmAutomationCaseManager::howACaseEnds()
{
    QFETCH(QString, body);
    QFETCH(int, result);
    QFETCH(QString, details);
    QFETCH(bool, synchronous);
    QFETCH(int, timeout);
    QFETCH(QString, data);
    const QString key = add(body, timeout);
    QSignalSpy completed(m_manager, &KAVAtmAutomationCaseManager::TestCaseCompleted);
    m_manager->ExecuteCase(key);
    QCOMPARE(completed.size(), synchronous ? 1 : 0);
    QTRY_COMPARE_WITH_TIMEOUT(completed.size(), 1, 10000);
    QCOMPARE(completed.first().first().toString(), key);
    const KAVAtmTestActionResult *case_ = m_manager->GetCaseInfo(key);
    QCOMPARE(case_->GetStatus(), KAVAtmEnums::Completed);
    QCOMPARE(int(case_->GetResult()), result);
    QCOMPARE(case_->GetDetails(), details);
    QCOMPARE(case_->GetData(), data);
    QVERIFY(m_manager->ShouldBreak(key));
    QVERIFY(!m_manager->IsExecuting());
    // A stopped script leaves the engine working.
    QCOMPARE(KAVAtmJsEngine::GetInstance()->Evaluate("1 + 1").toInt(), 2);
}

void tst_KAVAtmAutomationCaseManager::synchronousCasesChain()
{
    const QString first = add("function (c, done) { done(); }", 30, "first", "A");
    const QString second = add("function (c, done) { done(); }", 30, "second", "A");
    add("function (c, done) { done(); }", 30, "other", "B");
    QStringList order;
    connect(m_manager, &KAVAtmAutomationCaseManager::TestCaseStarting, this,
            [&](const QString &key) { order << "start " + key; });
    connect(m_manager, &KAVAtmAutomationCaseManager::TestCaseCompleted, this,
            [&](const QString &key) { order << "done " + key; });
    m_manager->Execute("A");
    // Both before Execute returned, one after the other; category B stays pending.
    QCOMPARE(order.size(), 4);
    QVERIFY(order[0].startsWith("start") && order[1] == "done " + order[0].mid(6));
    QVERIFY(order[2].startsWith("start") && order[3] == "done " + order[2].mid(6));
    QCOMPARE(QSet<QString>({order[0].mid(6), order[2].mid(6)}), QSet<QString>({first, second}));
    QCOMPARE(m_manager->GetCategories().size(), 2);
    QCOMPARE(m_manager->GetTestCases("A").size(), 2);
    // Cases that have completed are not run again.
    order.clear();
    m_manager->Execute("A");
    QCOMPARE(order.size(), 0);
    disconnect(m_manager, nullptr, this, nullptr);
}

void tst_KAVAtmAutomationCaseManager::oneCaseAtATime()
{
    // A body that starts another case, and a second Execute(), only queue it.
    const QString waiting = add("function (c, done) { c.setTimeout(done, 50, c); }");
    KAVAtmJsEngine::GetInstance()->SetGlobalProperty("waitingKey", waiting);
    const QString starter
        = add("function (c, done) { c.caseMgr.ExecuteCase(waitingKey); c.caseMgr.Execute();"
              " c.setTimeout(done, 50, c); }");
    QSignalSpy starting(m_manager, &KAVAtmAutomationCaseManager::TestCaseStarting);
    m_manager->ExecuteCase(starter);
    QCOMPARE(starting.size(), 1);
    QCOMPARE(m_manager->GetCurrentExecutingCase(), starter);
    QTRY_COMPARE(starting.size(), 2);
    QCOMPARE(m_manager->GetStatus(starter), KAVAtmEnums::Completed);
    QTRY_COMPARE(m_manager->GetStatus(waiting), KAVAtmEnums::Completed);
}

void tst_KAVAtmAutomationCaseManager::noTimeoutAndHugeTimeout()
{
    // Neither may end the case early: no timer at all, and one clamped rather than wrapped
    // (12884902 s in milliseconds wraps to 112 ms in 32 bits).
    for (qint64 timeout : {qint64(0), qint64(12884902)}) {
        const QString key = add("function (c, done) { }", timeout);
        m_manager->ExecuteCase(key);
        QTest::qWait(300);
        QCOMPARE(m_manager->GetStatus(key), KAVAtmEnums::Executing);
        m_manager->StopExecution();
    }
}

void tst_KAVAtmAutomationCaseManager::cancelAndStop()
{
    const QString first = add("function (c, done) { }");
    const QString second = add("function (c, done) { }");
    const QString third = add("function (c, done) { }");
    QSignalSpy cancelled(m_manager, &KAVAtmAutomationCaseManager::TestCaseCancelled);
    m_manager->ExecuteCase(first);
    m_manager->ExecuteCase(second);
    m_manager->ExecuteCase(third);
    m_manager->CancelExecutingCase();
    QCOMPARE(cancelled.size(), 1);
    QCOMPARE(m_manager->GetStatus(first), KAVAtmEnums::Cancelled);
    QCOMPARE(m_manager->GetCurrentExecutingCase(), second);
    m_manager->StopExecution();
    QCOMPARE(cancelled.size(), 2);
    QCOMPARE(m_manager->GetStatus(third), KAVAtmEnums::Pending);
    QVERIFY(!m_manager->IsExecuting());
    QVERIFY(m_manager->ShouldBreak(second));
    QVERIFY(!m_manager->ShouldBreak(third));
    QVERIFY(m_manager->ShouldBreak(QUuid::createUuid().toString())); // gone: stop polling
}

void tst_KAVAtmAutomationCaseManager::clearingWhatRunsOrWaits()
{
    const QString running = add("function (c, done) { c.setTimeout(done, 30, c); }");
    const QString queued = add("function (c, done) { done(); }");
    m_manager->ExecuteCase(running);
    m_manager->ExecuteCase(queued);
    // Replacing the waiting case, then deleting the running one: nothing may refer to either.
    const QString replaced
        = m_manager->RegisterCase(QUuid::fromString(queued), m_definitions.back().get());
    QCOMPARE(replaced, queued);
    QCOMPARE(m_manager->GetStatus(queued), KAVAtmEnums::Pending);
    m_manager->ClearCase(running);
    QVERIFY(m_manager->GetCurrentExecutingCase().isEmpty());
    QTest::qWait(100); // the running body's own finish comes, and is ignored
    QVERIFY(!m_manager->GetCaseInfo(running));
    m_manager->ExecuteCase(queued);
    QTRY_COMPARE(m_manager->GetStatus(queued), KAVAtmEnums::Completed);
    // Two cases of one name: RemoveCase removes neither.
    add(QString(), 30, "twin");
    add(QString(), 30, "twin");
    m_manager->RemoveCase(QString(), "twin");
    QCOMPARE(m_manager->GetTestCases().count("twin"), 2);
}

void tst_KAVAtmAutomationCaseManager::saveResults()
{
    QTemporaryDir dir;
    const QString key = add("function (c, done) { done(); }", 30, "saved");
    m_manager->ExecuteCase(key);
    // A failed write keeps the cases: deleted, their results would be lost.
    QVERIFY(!m_manager->SaveResultsToFile(dir.filePath("missing/results.json")));
    QVERIFY(m_manager->GetCaseInfo(key));
    QVERIFY(m_manager->SaveResultsToFile(dir.filePath("results.json")));
    QVERIFY(!m_manager->GetCaseInfo(key));
    QFile file(dir.filePath("results.json"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonArray saved = QJsonDocument::fromJson(file.readAll()).array();
    QCOMPARE(saved.size(), 1);
    QCOMPARE(saved.first()["result"].toInt(), int(KAVAtmEnums::Pass));
}

void tst_KAVAtmAutomationCaseManager::delayedCallbacks()
{
    // Nested: a second pending callback is refused.
    const QString nested = add("function (c, done) { c.setTimeout(function () {}, 200, c);"
                               " c.setTimeout(function () {}, 10, c); }");
    m_manager->ExecuteCase(nested);
    QTRY_COMPARE(m_manager->GetStatus(nested), KAVAtmEnums::Completed);
    QCOMPARE(m_manager->GetCaseInfo(nested)->GetDetails(),
             QStringLiteral("nested calls to setTimeout are not supported!"));

    // A callback left by a case that ended never runs, whatever runs next.
    KAVAtmJsEngine *engine = KAVAtmJsEngine::GetInstance();
    engine->Evaluate("var leftOver = 0;");
    const QString leaves
        = add("function (c, done) { c.setTimeout(function () { leftOver = 1; }, 10, c); done(); }");
    m_manager->ExecuteCase(leaves);
    QTest::qWait(100);
    QCOMPARE(engine->Evaluate("leftOver").toInt(), 0);

    // The next case's first wait is not refused because of the callback the last one left.
    const QString next = add("function (c) { return kavExecutor.wait(10); }");
    QSignalSpy starting(m_manager, &KAVAtmAutomationCaseManager::TestCaseStarting);
    m_manager->ExecuteCase(next);
    QCOMPARE(m_manager->GetStatus(next), KAVAtmEnums::Executing);
    QTRY_COMPARE(m_manager->GetStatus(next), KAVAtmEnums::Completed);
    QCOMPARE(m_manager->GetCaseInfo(next)->GetResult(), KAVAtmEnums::Pass);

    // A throwing callback scheduled without a context fails the case that was running.
    const QString thrower
        = add("function (c) { c.setTimeout(function () { throw new Error('late throw'); }, 30); }");
    m_manager->ExecuteCase(thrower);
    QCOMPARE(m_manager->GetStatus(thrower), KAVAtmEnums::Executing);
    QTRY_COMPARE(m_manager->GetStatus(thrower), KAVAtmEnums::Completed);
    QCOMPARE(m_manager->GetCaseInfo(thrower)->GetResult(), KAVAtmEnums::Fail);
    QCOMPARE(m_manager->GetCaseInfo(thrower)->GetDetails(), QStringLiteral("late throw"));
}

void tst_KAVAtmAutomationCaseManager::subDialogAroundAModalDialog()
{
    // The before-logic opens a modal dialog; the sub-dialog logic runs inside its loop.
    QDialog dialog;
    dialog.setObjectName("modal");
    KAVAtmJsEngine::GetInstance()->RegisterQObject("modalDialog", &dialog);
    const QString key
        = add("function (c) { c.waitForSlots = true; return kavExecutor.executeSubDialog(c,"
              " function () { c.answer = modalDialog.exec(); },"
              " function () { modalDialog.accept(); },"
              " function () { c.data = 'answer ' + c.answer; c.caseMgr.FinishCase(c); }); }",
              10);
    m_manager->ExecuteCase(key);
    QTRY_COMPARE_WITH_TIMEOUT(m_manager->GetStatus(key), KAVAtmEnums::Completed, 5000);
    QCOMPARE(m_manager->GetCaseInfo(key)->GetResult(), KAVAtmEnums::Pass);
    QCOMPARE(m_manager->GetCaseInfo(key)->GetData(), QStringLiteral("answer 1"));
}

QTEST_MAIN(tst_KAVAtmAutomationCaseManager)
#include "tst_kavatmautomationcasemanager.moc"
