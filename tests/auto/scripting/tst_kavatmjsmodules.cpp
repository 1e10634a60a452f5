// The embedded script library through the real engine: assertions, the serialiser, constants.

#include "kavatmautomationcasemanager.h"
#include "kavatmjsengine.h"
#include "testfiles.h"

#include <QtTest/QtTest>

class Lists : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE QStringList Names() const { return {"a", "b"}; }
};

class tst_KAVAtmJsModules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void engineBasics();
    void scriptFiles_data();
    void scriptFiles();
    void deepComparison();
    void stringify_data();
    void stringify();
    void hostListsAreArrays();
    void messageBoxButtonsAreReadOnly();

private:
    QJSValue evaluate(const QString &program);
    QTemporaryDir m_dir;
};

void tst_KAVAtmJsModules::initTestCase()
{
    // Loads the embedded modules into the shared engine.
    QVERIFY(KAVAtmAutomationCaseManager::GetManager());
    for (const char *module :
         {"kavExecutor", "kavAssert", "kavConsts", "kavJsonex", "dataAssertAction"})
        QVERIFY2(evaluate(QString("typeof %1").arg(module)).toString() == "object", module);
}

QJSValue tst_KAVAtmJsModules::evaluate(const QString &program)
{
    return KAVAtmJsEngine::GetInstance()->Evaluate(program);
}

void tst_KAVAtmJsModules::engineBasics()
{
    KAVAtmJsEngine *engine = KAVAtmJsEngine::GetInstance();
    // The latest deadline holds: clearing one it replaced leaves it armed; past it, scripts are
    // stopped until its owner clears it.
    const int replaced = engine->SetDeadline(100000);
    const int latest = engine->SetDeadline(50);
    engine->ClearDeadline(replaced);
    QVERIFY(engine->HasDeadline());
    QTRY_VERIFY(engine->WasStopped());
    QVERIFY(evaluate("1 + 1").isError());
    engine->ClearDeadline(latest);
    QCOMPARE(evaluate("1 + 1").toInt(), 2);
}

void tst_KAVAtmJsModules::scriptFiles_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no file
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<QString>("expected"); // "function", "error", or the text of a string value
    QTest::newRow("function, wrapped")
        << QByteArray("function (context, done) { done(); }") << true << "function";
    QTest::newRow("function, not wrapped")
        << QByteArray("function (context, done) { done(); }") << false << "error";
    QTest::newRow("missing file") << QByteArray() << true
                                  << "The specified script file cannot be found: ";
    QTest::newRow("syntax error") << QByteArray("function (") << true << "error";
    QTest::newRow("UTF-8 with a byte-order mark")
        << QByteArray("\xEF\xBB\xBF"
                      "function () { return '\xC3\xA9'; }")
        << true << "function";
    QTest::newRow("UTF-16 with a byte-order mark")
        << QByteArray::fromRawData("\xFF\xFE(\0)\0", 6) << true << "error"; // "()": no expression
    QTest::newRow("over 16 MiB") << QByteArray(KAVAtmJsEngine::MaximumScriptSize + 1, ' ') << true
                                 << "The script file is larger than 16 MiB: ";
    QTest::newRow("Latin-1") << QByteArray("function () { return '\xE9'; }") << true
                             << "The script file is not UTF-8 or UTF-16 text: ";
}

void tst_KAVAtmJsModules::scriptFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, wrap);
    QFETCH(QString, expected);
    const QString path = m_dir.filePath(QTest::currentDataTag());
    if (!content.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    const QJSValue value = KAVAtmJsEngine::GetInstance()->ExecuteScriptFile(path, wrap);
    if (expected == "function") {
        QVERIFY(value.isCallable());
        if (QTest::currentDataTag() == QByteArray("UTF-8 with a byte-order mark"))
            QCOMPARE(value.call().toString(), QString::fromUtf8("\xC3\xA9"));
    } else if (expected == "error") {
        QVERIFY(value.isError());
    } else {
        QVERIFY(value.isString());
        QCOMPARE(value.toString(), expected + path);
    }
}

// Every rule of the comparison and of kavAssert's other checks, with the verdict and message it
// gives: the table holds what they gave when their rules were settled (KAV_UPDATE_GOLDEN=1
// writes it anew).
void tst_KAVAtmJsModules::deepComparison()
{
    const QString path = QStringLiteral(KAV_GOLDEN "/comparison.json");
    QJsonArray rows = QJsonDocument::fromJson(readFile(path)).array();
    QVERIFY(!rows.isEmpty());
    KAVAtmJsEngine *engine = KAVAtmJsEngine::GetInstance();
    const bool update = qEnvironmentVariableIsSet("KAV_UPDATE_GOLDEN");
    QStringList differences;
    for (QJsonValueRef value : rows) {
        QJsonObject row = value.toObject();
        // A row is two texts for areEqualJson, or a call of kavAssert.
        engine->SetGlobalProperty("expectedText", row["expected"].toString());
        engine->SetGlobalProperty("actualText", row["actual"].toString());
        const QString call = row.value("call").toString("areEqualJson(expectedText, actualText)");
        const QString message
            = evaluate("(function () { try { kavAssert." + call
                       + "; return ''; } catch (error) { return error.message; } })()")
                  .toString();
        if (update) {
            row["message"] = message;
            value = row;
        } else if (message != row["message"].toString()) {
            differences << row["name"].toString() + ": " + message;
        }
    }
    if (update)
        writeFile(path, QJsonDocument(rows).toJson());
    QVERIFY2(differences.isEmpty(), qPrintable(differences.join("\n")));
}

void tst_KAVAtmJsModules::stringify_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<QString>("expected"); // "undefined" for no text
    QTest::newRow("zero") << "kavJsonex.stringify(0)"
                          << "0";
    QTest::newRow("false") << "kavJsonex.stringify(false)"
                           << "false";
    QTest::newRow("empty text") << "kavJsonex.stringify('')"
                                << "\"\"";
    QTest::newRow("null") << "kavJsonex.stringify(null)"
                          << "undefined";
    QTest::newRow("undefined") << "kavJsonex.stringify(undefined)"
                               << "undefined";
    QTest::newRow("ignored member")
        << "kavJsonex.stringify({a: 1, b: {a: 2, c: 3}}, null, 0, ['a'])"
        << R"({"b":{"c":3}})";
    QTest::newRow("bytes") << "kavJsonex.stringify({d: new Uint8Array([1, 255]).buffer})"
                           << R"({"d":[1,255]})";
}

void tst_KAVAtmJsModules::stringify()
{
    QFETCH(QString, call);
    QFETCH(QString, expected);
    const QJSValue value = evaluate(call);
    QCOMPARE(value.isUndefined() ? QString("undefined") : value.toString(), expected);
}

void tst_KAVAtmJsModules::hostListsAreArrays()
{
    Lists lists;
    KAVAtmJsEngine::GetInstance()->RegisterQObject("lists", &lists);
    QCOMPARE(evaluate("kavAssert.deepEqual(lists.Names(), ['a', 'b']); 'equal'").toString(),
             QStringLiteral("equal"));
    QVERIFY(evaluate("kavAssert.deepEqual(lists.Names(), ['a'])").toString().contains("length"));
    // Values compared as scripts hold them keep the JSON comparison's rules.
    QVERIFY(evaluate("kavAssert.deepEqual({n: [1]}, {n: 1})")
                .toString()
                .contains("Expected: [[1]] (array). Actual: [1] (number). Path: $/n"));
}

void tst_KAVAtmJsModules::messageBoxButtonsAreReadOnly()
{
    // Neither are the library's objects: a script must not disarm a later assertion.
    for (const char *name :
         {"kavAssert", "kavExecutor", "kavJsonex", "kavConsts", "dataAssertAction", "uiHelper",
          "kavAtmAutomationCaseManager", "timer", "kavNative"}) {
        const QString before = evaluate(QString("String(%1)").arg(name)).toString();
        evaluate(QString("%1 = { areEqualJson() {} }; delete %1;").arg(name));
        QVERIFY(evaluate(QString("'use strict'; %1 = null;").arg(name)).isError());
        QCOMPARE(evaluate(QString("String(%1)").arg(name)).toString(), before);
    }
    QCOMPARE(evaluate("kavConsts.messageBoxButton.Ok = 1; kavConsts.messageBoxButton.Ok").toInt(),
             0x400);
    QVERIFY(evaluate("try { kavNative.CompareJson = function () { return ''; }; } catch (e) { }"
                     " kavAssert.areEqualJson('1', '2')")
                .toString()
                .contains("not equal"));
}

QTEST_MAIN(tst_KAVAtmJsModules)
#include "tst_kavatmjsmodules.moc"
