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
    void assertions_data();
    void assertions();
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

// Every rule of the comparison, with the verdict and message it gives: the table holds what
// the comparison gave when its rules were settled (KAV_UPDATE_GOLDEN=1 writes it anew).
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
        engine->SetGlobalProperty("expectedText", row["expected"].toString());
        engine->SetGlobalProperty("actualText", row["actual"].toString());
        const QString message
            = evaluate("(function () { try { kavAssert.areEqualJson(expectedText, actualText);"
                       " return ''; } catch (error) { return error.message; } })()")
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

void tst_KAVAtmJsModules::assertions_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<QString>("message"); // empty: it passes
    const QString differs = "The values of property [Unknown] in expected and actual are not ";
    QTest::newRow("a number and an empty text")
        << "areEqual(0, '')"
        << differs + "of the same type.\nExpected: [0] (number). Actual: [] (string)";
    QTest::newRow("a number and its digits")
        << "areEqual(800, '800', 'q')"
        << "The values of property [q] in expected and actual are not of the same type.\n"
           "Expected: [800] (number). Actual: [800] (string)";
    QTest::newRow("a number and a list")
        << "areEqual(1, [1])"
        << differs + "of the same type.\nExpected: [1] (number). Actual: [[1]] (array)";
    QTest::newRow("null and undefined")
        << "areEqual(null, undefined)"
        << differs + "of the same type.\nExpected: [null] (null). Actual: [undefined] (undefined)";
    QTest::newRow("numbers within 0.0001") << "areEqual(1.00005, 1.0001)"
                                           << "";
    QTest::newRow("objects, deeply") << "areEqual({a: [1]}, {a: [1], b: 2})"
                                     << "";
    QTest::newRow("texts") << "areEqual('a', 'b')"
                           << differs + "equal.\nExpected: [a]. Actual: [b]";
    QTest::newRow("why it should hold") << "isTrue(0, 'the dialog is open')"
                                        << "The actual value is not true: the dialog is open";
    // Each would become a text of its own, the same on both sides.
    QTest::newRow("objects for JSON texts")
        << "areEqualJson({a: 1}, {a: 2})"
        << "areEqualJson takes JSON texts: the expected value is of type object, not a string "
           "(JSON.stringify it first).";
    QTest::newRow("undefined for JSON texts")
        << "areEqualJson('1', undefined)"
        << "areEqualJson takes JSON texts: the actual value is of type undefined, not a "
           "string (JSON.stringify it first).";
    // What the engine's JSON.stringify makes of a lone surrogate reaches the comparison as it is.
    QTest::newRow("raw lone surrogates")
        << "areEqualJson(JSON.stringify(['\\uD800']), JSON.stringify(['\\uDBFF']))"
        << "The values of property [0] in expected and actual are not equal.\nExpected: ["
            + QString(QChar(0xD800)) + "]. Actual: [" + QString(QChar(0xDBFF)) + "]. Path: $[0]";
}

void tst_KAVAtmJsModules::assertions()
{
    QFETCH(QString, call);
    QFETCH(QString, message);
    const QJSValue result = evaluate(
        QString(
            "(function () { try { kavAssert.%1; return ''; } catch (e) { return e.message; } })()")
            .arg(call));
    QCOMPARE(result.toString(), message);
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
