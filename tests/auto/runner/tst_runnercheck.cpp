// Procedure files checked before anything runs, the JSON Schema editors use, and the action
// reference: all made from one description of the action types, which the typed definitions
// are held to.

#include "procedurecheck.h"
#include "testfiles.h"

#include "kavatmactionkeys.h"
#include "kavatmclosefileactiondef.h"
#include "kavatmdataassertactiondef.h"
#include "kavatmexecutescriptactiondef.h"
#include "kavatmlaunchcommandactiondef.h"
#include "kavatmopenfileactiondef.h"
#include "kavatmrecordingactiondef.h"
#include "kavatmresetusersettingactiondef.h"
#include "kavatmscreenshotassertactiondef.h"
#include "kavatmsetautomationdataactiondef.h"
#include "kavatmsetselectionactiondef.h"
#include "kavatmswitchenvironmentactiondef.h"
#include "kavatmtestactiondeffactory.h"
#include "kavatmtimewaitactiondef.h"
#include "kavatmwaitnestingactiondef.h"
#include "kavatmwaittranslationactiondef.h"
#include "kavatmwaitupdateactiondef.h"
#include "kavatmwidgetreplayactiondef.h"

#include <QtCore/QDirIterator>
#include <QtCore/QProcess>
#include <QtCore/QRegularExpression>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <sys/stat.h>

namespace {

const QString Examples = QStringLiteral(KAV_EXAMPLES);
const QString Docs = QStringLiteral(KAV_DOCS);

// A procedure whose one action is on line 5, from column 5.
QByteArray one(const QByteArray &action)
{
    return "{\n  \"schema\": \"com.brightel.kav.automation.procedure:1\",\n  \"label\": \"L\",\n"
           "  \"actions\": [\n    "
        + action + "\n  ]\n}\n";
}

// "valid" or "invalid" for each file, as Debian's jsonschema judges it against the schema.
QStringList schemaVerdicts(const QStringList &files)
{
    QProcess python;
    python.start("/usr/bin/python3",
                 QStringList {"-c", R"(import json, sys
from jsonschema import Draft202012Validator
schema = json.load(open(sys.argv[1]))
Draft202012Validator.check_schema(schema)
for name in sys.argv[2:]:
    valid = Draft202012Validator(schema).is_valid(json.load(open(name, encoding="utf-8-sig")))
    print("valid" if valid else "invalid")
)",
                              Docs + "/kavautomation-procedure.schema.json"}
                     + files);
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return {QString::fromUtf8(python.readAllStandardError())};
    return QString::fromUtf8(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class tst_RunnerCheck : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void problems_data();
    void problems();
    void examplesPassAndLaunchNothing();
    void definitionsReadWhatIsDescribed();
    void committedFilesAreCurrent();
};

void tst_RunnerCheck::problems_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("expected"); // "line:column: kind: message", "p.json" left out
    QTest::addColumn<bool>("schemaRejects"); // a structural fault the schema sees too

    QTest::newRow("syntax") << QByteArray("{\n  \"label\": \"L\",\n  \"actions\": [ 1, }\n")
                            << QStringList {":3:20: error: not JSON: object is missing after a "
                                            "comma"}
                            << false;
    QTest::newRow("no label") << QByteArray(
        "{\"schema\": \"com.brightel.kav.automation.procedure:1\",\n"
        "\"actions\": [{\"action\": \"WaitNest\"}]}")
                              << QStringList {":1:1: error: no \"label\": the run refuses the file"}
                              << true;
    QTest::newRow("unknown type")
        << one(R"({ "action": "WaitNset" })")
        << QStringList {":5:7: error: unknown action type \"WaitNset\": did you mean "
                        "\"WaitNest\"?"}
        << true;
    // Letter case is ASCII's, as the host matches types: "ſ" is no "s".
    QTest::newRow("a type with a long s")
        << one("{ \"action\": \"executeScript\" }")
               .replace("executeScript",
                        "execute\xc5\xbf"
                        "cript")
        << QStringList {":5:7: error: unknown action type \"execute\u017Fcript\": did you mean "
                        "\"ExecuteScript\"?"}
        << true;
    QTest::newRow("unknown key")
        << one(R"({ "action": "TimeWait", "alwaysExcute": true })")
        << QStringList {":5:29: warning: TimeWait does not read \"alwaysExcute\": did you mean "
                        "\"alwaysExecute\"?"}
        << true;
    QTest::newRow("wrong type")
        << one(R"({ "action": "WaitNest", "timeout": "60" })")
        << QStringList {":5:29: warning: \"timeout\" is a string, not an integer: it reads as 300"}
        << true;
    QTest::newRow("clamped")
        << one(R"({ "action": "WidgetReplay", "speed": 0, "timeout": -5 })")
        << QStringList {":5:33: warning: \"speed\" is 0, out of range (> 0): it reads as 1",
                        ":5:45: warning: \"timeout\" is -5, out of range (>= 0): it reads as 0"}
        << true;
    QTest::newRow("not one of its values")
        << one(R"({ "action": "Recording", "command": "strat", "platform": "corvi" })")
        << QStringList {":5:30: error: \"command\" is \"strat\", not one of start, stop: the "
                        "action fails: did you mean \"start\"?",
                        ":5:50: warning: \"platform\" is \"corvi\", not one of unspecified, "
                        "tessaron, corvid, other: it reads as \"other\": did you mean \"corvid\"?"}
        << true;
    QTest::newRow("schema version in words")
        << QByteArray(
               "{\"schema\": \"com.brightel.kav.automation.procedure:one\", \"label\": \"L\","
               " \"actions\": [{\"action\": \"WaitNest\"}]}")
        << QStringList {":1:2: error: \"schema\" must be \"com.brightel.kav.automation."
                        "procedure:1\": the run refuses the file"}
        << true;
    // The byte order mark an editor writes is no column.
    QTest::newRow("after a byte order mark")
        << "\xef\xbb\xbf" + one(R"({ "action": "WaitNest", "tmeout": 1 })")
        << QStringList {":5:29: warning: WaitNest does not read \"tmeout\": did you mean "
                        "\"timeout\"?"}
        << true;
    QTest::newRow("command data that is not used")
        << one(R"({ "action": "LaunchCommand", "actionId": "A.B", "actionData": {} })")
        << QStringList {":5:53: note: \"actionData\" is not used when the action runs: a "
                        "SetAutomationData after it gives the dialog its values"}
        << false;
    QTest::newRow("required key empty")
        << one(R"({ "action": "LaunchCommand", "actionId": "" })")
        << QStringList {":5:34: error: \"actionId\" of LaunchCommand must be a text that is not "
                        "empty"}
        << false;
    // It would pass every time, comparing nothing.
    QTest::newRow("assertion without a baseline")
        << one(R"({ "action": "DataAssert" })")
        << QStringList {":5:5: warning: DataAssert without \"baseline\": it checks nothing and "
                        "passes"}
        << false;
    QTest::newRow("required key missing")
        << one(R"({ "action": "LaunchCommand" })")
        << QStringList {":5:5: error: LaunchCommand without \"actionId\""} << true;
    QTest::newRow("missing document")
        << one(R"({ "action": "OpenFile", "file": "nowhere.json" })")
        << QStringList {":5:29: error: no such file: DIR/nowhere.json"} << false;
    QTest::newRow("a FIFO for a script")
        << one(R"({ "action": "executeScript", "script": "fifo.js" })")
        << QStringList {":5:34: error: DIR/fifo.js: DIR/fifo.js is not a regular file."} << false;
    // In the script's own file, at its own line.
    QTest::newRow("script that does not compile")
        << one(R"({ "action": "executeScript", "script": "bad.js" })")
        << QStringList {"DIR/bad.js:2: error: the script does not compile: SyntaxError: "
                        "Expected token `numeric literal'"}
        << false;
    // Statements after the expression would run in the host as it reads the file; the check
    // runs none of them (the loop would hold it for ever).
    QTest::newRow("script that runs when read")
        << one(R"({ "action": "executeScript", "script": "escape.js" })")
        << QStringList {"DIR/escape.js: error: the script is not one function expression: what "
                        "follows it would run when the host reads the file"}
        << false;
    QTest::newRow("baseline to come")
        << one(R"({ "action": "DataAssert", "baseline": "first.json" })")
        << QStringList {":5:31: note: the baseline DIR/first.json does not exist yet: the first "
                        "run writes it"}
        << false;
}

void tst_RunnerCheck::problems()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, expected);
    QFETCH(bool, schemaRejects);
    QTemporaryDir dir;
    writeFile(dir.filePath("bad.js"), "function (c) {\n    let x = ;\n}\n");
    writeFile(dir.filePath("escape.js"), "1); for (;;) {} (1");
    QCOMPARE(mkfifo(qPrintable(dir.filePath("fifo.js")), 0600), 0);
    const QString path = writeFile(dir.filePath("p.json"), text);
    QStringList found;
    for (const CheckProblem &problem : CheckProcedureFile(path))
        found.append(
            problem.Text().replace(dir.path(), "DIR").remove(QRegularExpression("^DIR/p.json")));
    QCOMPARE(found, expected);
    // A run that writes no baselines (CI, --strict) fails where a desk's would capture one.
    if (QTest::currentDataTag() == QByteArray("baseline to come"))
        QCOMPARE(CheckProcedureFile(path, true, true).value(0).severity, CheckProblem::Warning);
    if (text.startsWith("{\n  \"label\""))
        return; // not JSON: nothing for a schema to judge
    QCOMPARE(schemaVerdicts({path}),
             QStringList {schemaRejects ? QStringLiteral("invalid") : QStringLiteral("valid")});
}

void tst_RunnerCheck::examplesPassAndLaunchNothing()
{
    // Every example and recording passes, the schema agrees, and a check launches no host.
    QStringList files;
    QDirIterator it(Examples, {"*.json"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        if (readFile(file).contains("\"schema\": \"com.brightel"))
            files.append(file);
    }
    QVERIFY(files.size() >= 6);
    for (const QString &file : std::as_const(files)) {
        for (const CheckProblem &problem : CheckProcedureFile(file))
            QVERIFY2(problem.severity == CheckProblem::Note, qPrintable(problem.Text()));
    }
    QCOMPARE(schemaVerdicts(files), QStringList(files.size(), "valid"));
    QTemporaryDir dir;
    // No configuration is needed: there is no host to start.
    QProcess runner;
    runner.start(QStringLiteral(KAV_RUNNER),
                 QStringList {"--config", dir.filePath("none.json"), "--check", "--output",
                              dir.filePath("out")}
                     + files);
    QVERIFY(runner.waitForFinished(60000));
    const QString output = QString::fromUtf8(runner.readAllStandardOutput());
    QCOMPARE(runner.exitCode(), 0);
    QVERIFY2(output.endsWith(QStringLiteral("Checked %1 procedure file(s): 0 error(s), 0 "
                                            "warning(s), 0 note(s)\n")
                                 .arg(files.size())),
             qPrintable(output));
    QVERIFY(!QFileInfo::exists(dir.filePath("out")));
}

void tst_RunnerCheck::definitionsReadWhatIsDescribed()
{
    // What each typed definition writes (and a recording saves) is what the checks know of.
    std::vector<std::unique_ptr<KAVAtmTestActionDef>> defs;
    defs.emplace_back(new KAVAtmCloseFileActionDef);
    defs.emplace_back(new KAVAtmDataAssertActionDef);
    defs.emplace_back(new KAVAtmExecuteScriptActionDef);
    defs.emplace_back(new KAVAtmLaunchCommandActionDef);
    defs.emplace_back(new KAVAtmOpenFileActionDef);
    defs.emplace_back(new KAVAtmRecordingActionDef);
    defs.emplace_back(new KAVAtmResetUserSettingActionDef);
    defs.emplace_back(new KAVAtmScreenshotAssertActionDef);
    defs.emplace_back(new KAVAtmSetAutomationDataActionDef);
    defs.emplace_back(new KAVAtmSetSelectionActionDef);
    defs.emplace_back(new KAVAtmSwitchEnvironmentActionDef);
    defs.emplace_back(new KAVAtmTimeWaitActionDef);
    defs.emplace_back(new KAVAtmWaitNestingActionDef);
    defs.emplace_back(new KAVAtmWaitTranslationActionDef);
    defs.emplace_back(new KAVAtmWaitUpdateActionDef);
    defs.emplace_back(new KAVAtmWidgetReplayActionDef);
    QStringList types;
    for (const auto &def : defs) {
        const QString type = def->GetType();
        types.append(type);
        def->FromJson({{"action", type}});
        // Each key it writes is described, with the default it writes.
        QHash<QString, KAVAtmActionKey> described;
        for (const KAVAtmActionKey &key : KAVAtmActionKeys::Keys(type))
            described.insert(key.name, key);
        const QJsonObject written = def->ToJson();
        for (auto it = written.begin(); it != written.end(); ++it) {
            QVERIFY2(described.contains(it.key()), qPrintable(type + ": " + it.key()));
            const KAVAtmActionKey key = described.value(it.key());
            // No default: what the type holds when empty.
            const QJsonValue expected = !key.defaultValue.isUndefined() ? key.defaultValue
                : key.type == KAVAtmActionKey::Type::Array              ? QJsonValue(QJsonArray())
                : key.type == KAVAtmActionKey::Type::Object             ? QJsonValue(QJsonObject())
                                                                        : QJsonValue(QString());
            if (!key.required)
                QVERIFY2(expected == it.value(),
                         qPrintable(type + ": " + it.key() + " "
                                    + QJsonDocument(QJsonArray {it.value()}).toJson()));
        }
    }
    QCOMPARE(types, KAVAtmActionKeys::Types());
    for (const QByteArray &type :
         KAVAtmTestActionDefFactory::GetInstance()->GetRegisteredActionNames())
        QVERIFY(types.contains(QString::fromLatin1(type)));

    // A key of the wrong JSON type, a number below its range, a text not among its values:
    // what the check says each reads as is what the definition reads.
    QTemporaryDir dir;
    const QJsonObject wrongType {{"string", 5},    {"integer", "x"},          {"number", "x"},
                                 {"boolean", "x"}, {"object", QJsonArray {1}}, {"array", 1}};
    int compared = 0;
    for (const auto &def : defs) {
        const QString type = def->GetType();
        for (const KAVAtmActionKey &key : KAVAtmActionKeys::Keys(type)) {
            if (key.required || key.name == QLatin1String("action"))
                continue;
            QList<QJsonValue> values {wrongType.value(KAVAtmActionKeys::TypeName(key.type))};
            if (!std::isnan(key.minimum))
                values.append(key.exclusiveMinimum ? key.minimum : key.minimum - 1);
            if (!key.values.isEmpty() && !key.otherValueFails)
                values.append("no such value");
            for (const QJsonValue &value : std::as_const(values)) {
                const QJsonObject action {{"action", type}, {key.name, value}};
                const QString file = writeFile(dir.filePath(QString::number(++compared) + ".json"),
                                               procedureJson("P", {action}));
                QString said;
                for (const CheckProblem &problem : CheckProcedureFile(file, false)) {
                    const auto match = QRegularExpression("^\"" + key.name
                                                          + "\" is .*it reads as (.*?)( \\(|$)")
                                           .match(problem.message);
                    if (match.hasMatch())
                        said = match.captured(1);
                }
                def->FromJson(action);
                const QJsonObject written = def->ToJson();
                // Not written: the default, or what the type holds when empty.
                const QJsonValue held = written.contains(key.name) ? written.value(key.name)
                                                                   : key.defaultValue;
                const QString read = held.isUndefined()
                    ? QJsonObject {{"string", "\"\""}, {"array", "[]"}, {"object", "{}"}}
                          .value(KAVAtmActionKeys::TypeName(key.type))
                          .toString("nothing")
                    : held.isString()
                    ? '"' + held.toString() + '"'
                    : QString::fromUtf8(QJsonDocument(QJsonArray {held}).toJson(
                                            QJsonDocument::Compact))
                          .mid(1)
                          .chopped(1);
                QVERIFY2(said == read,
                         qPrintable(QStringLiteral("%1 \"%2\" of %3: said %4, read %5")
                                        .arg(type, key.name,
                                             QString::fromUtf8(QJsonDocument(QJsonArray {value})
                                                                   .toJson(QJsonDocument::Compact)),
                                             said, read)));
            }
        }
    }
    QVERIFY(compared > 40);
}

void tst_RunnerCheck::committedFilesAreCurrent()
{
    // The schema file editors read and the key tables of the action reference are made here;
    // KAV_UPDATE_GOLDEN=1 writes them anew.
    const QString schemaFile = Docs + "/kavautomation-procedure.schema.json";
    const QString referenceFile = Docs + "/actions.md";
    QString reference = QString::fromUtf8(readFile(referenceFile));
    for (const QString &type : KAVAtmActionKeys::Types()) {
        const QString begin = QStringLiteral("<!-- keys of %1 -->\n").arg(type);
        const qsizetype from = reference.indexOf(begin);
        const qsizetype to = reference.indexOf(QStringLiteral("<!-- end -->"), from);
        QVERIFY2(from >= 0 && to > from, qPrintable("no key table for " + type));
        reference.replace(from + begin.size(), to - from - begin.size(), ActionKeysMarkdown(type));
    }
    if (qEnvironmentVariableIsSet("KAV_UPDATE_GOLDEN")) {
        writeFile(schemaFile, ProcedureSchema());
        writeFile(referenceFile, reference.toUtf8());
        QSKIP("schema and action reference written");
    }
    QCOMPARE(readFile(schemaFile), ProcedureSchema());
    QCOMPARE(QString::fromUtf8(readFile(referenceFile)), reference);
}

QTEST_MAIN(tst_RunnerCheck)
#include "tst_runnercheck.moc"
