#include "kavatmclosefileactiondef.h"
#include "kavatmdataassertactiondef.h"
#include "kavatmexecutescriptactiondef.h"
#include "kavatmlaunchcommandactiondef.h"
#include "kavatmopenfileactiondef.h"
#include "kavatmrecordingactiondef.h"
#include "kavatmsetautomationdataactiondef.h"
#include "kavatmsetselectionactiondef.h"
#include "kavatmswitchenvironmentactiondef.h"
#include "kavatmtestactiondeffactory.h"
#include "kavatmtimewaitactiondef.h"
#include "kavatmwaitnestingactiondef.h"
#include "kavatmwaitupdateactiondef.h"
#include "kavatmwidgetreplayactiondef.h"
#include "testfiles.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <functional>
#include <memory>

using DefFactory = std::function<KAVAtmTestActionDef *()>;
Q_DECLARE_METATYPE(DefFactory)

template<typename T> DefFactory make()
{
    return [] { return new T; };
}

class tst_KAVAtmTypedActionDefs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void dataAssertConfiguration();
    void executeScript();
    void factory_data();
    void factory();
};

// Reading `input` into a new definition writes `written` (the common keys included).
void tst_KAVAtmTypedActionDefs::roundTrip_data()
{
    QTest::addColumn<DefFactory>("create");
    QTest::addColumn<QJsonObject>("input");
    QTest::addColumn<QJsonObject>("written");

    QTest::newRow("CloseFile")
        << make<KAVAtmCloseFileActionDef>()
        << jsonObject(R"({"file":"a.dxf","saveBeforeClose":true,"forceSaveAs":1})")
        << jsonObject(R"({"action":"CloseFile","platform":"unspecified","alwaysExecute":false,
                          "file":"a.dxf","saveBeforeClose":true,"forceSaveAs":false})");
    QTest::newRow("LaunchCommand without data")
        << make<KAVAtmLaunchCommandActionDef>() << jsonObject(R"({"actionData":[1]})")
        << jsonObject(R"({"action":"LaunchCommand","platform":"unspecified",
                          "alwaysExecute":false,"actionId":""})");
    QTest::newRow("LaunchCommand")
        << make<KAVAtmLaunchCommandActionDef>()
        << jsonObject(R"({"actionId":"Nest.Run","actionData":{"a":1,"b":"x"}})")
        << jsonObject(R"({"action":"LaunchCommand","platform":"unspecified",
                          "alwaysExecute":false,"actionId":"Nest.Run",
                          "actionData":{"a":1,"b":"x"}})");
    QTest::newRow("OpenFile keeps the JSON platform")
        << make<KAVAtmOpenFileActionDef>() << jsonObject(R"({"platform":"corvid"})")
        << jsonObject(R"({"action":"OpenFile","platform":"corvid","alwaysExecute":false,
                          "file":""})");
    QTest::newRow("Recording lower-cases")
        << make<KAVAtmRecordingActionDef>() << jsonObject(R"({"command":"START"})")
        << jsonObject(R"({"action":"Recording","platform":"unspecified","alwaysExecute":false,
                          "command":"start"})");
    QTest::newRow("Recording default")
        << make<KAVAtmRecordingActionDef>() << jsonObject(R"({"command":5})")
        << jsonObject(R"({"action":"Recording","platform":"unspecified","alwaysExecute":false,
                          "command":"stop"})");
    QTest::newRow("SetAutomationData")
        << make<KAVAtmSetAutomationDataActionDef>()
        << jsonObject(R"({"map":{"width":12.5,"name":"s"},"clear":false})")
        << jsonObject(R"({"action":"SetAutomationData","platform":"unspecified",
                          "alwaysExecute":false,"map":{"width":12.5,"name":"s"},
                          "clear":false})");
    QTest::newRow("SetAutomationData bad map")
        << make<KAVAtmSetAutomationDataActionDef>() << jsonObject(R"({"map":[1],"clear":"no"})")
        << jsonObject(R"({"action":"SetAutomationData","platform":"unspecified",
                          "alwaysExecute":false,"map":{},"clear":false})");
    QTest::newRow("SetSelection") << make<KAVAtmSetSelectionActionDef>()
                                  << jsonObject(R"({"selections":["a/b",3]})")
                                  << jsonObject(
                                         R"({"action":"SetSelection","platform":"unspecified",
                          "alwaysExecute":false,"selections":["a/b",""]})");
    QTest::newRow("SwitchEnvironment")
        << make<KAVAtmSwitchEnvironmentActionDef>() << jsonObject(R"({"environment":"Nest"})")
        << jsonObject(R"({"action":"SwitchEnvironment","platform":"unspecified",
                          "alwaysExecute":false,"environment":"Nest"})");
    QTest::newRow("TimeWait without wtime")
        << make<KAVAtmTimeWaitActionDef>() << jsonObject(R"({"platform":"tessaron"})")
        << jsonObject(R"({"action":"TimeWait","platform":"tessaron","alwaysExecute":false,
                          "wtime":0})");
    QTest::newRow("TimeWait")
        << make<KAVAtmTimeWaitActionDef>() << jsonObject(R"({"wtime":1500,"timeout":10})")
        << jsonObject(R"({"action":"TimeWait","platform":"unspecified","alwaysExecute":false,
                          "timeout":10,"wtime":1500})");
    QTest::newRow("WidgetReplay bad speed")
        << make<KAVAtmWidgetReplayActionDef>() << jsonObject(R"({"speed":"fast","events":{}})")
        << jsonObject(R"({"action":"WidgetReplay","platform":"unspecified",
                          "alwaysExecute":false,"speed":1,"events":[]})");
    QTest::newRow("WidgetReplay") << make<KAVAtmWidgetReplayActionDef>()
                                  << jsonObject(R"({"speed":2.5,"events":[{"type":"click"}]})")
                                  << jsonObject(
                                         R"({"action":"WidgetReplay","platform":"unspecified",
                          "alwaysExecute":false,"speed":2.5,"events":[{"type":"click"}]})");
    QTest::newRow("ExecuteScript writes no own keys")
        << make<KAVAtmExecuteScriptActionDef>()
        << jsonObject(R"({"script":"/s.js","category":"c","name":"n"})")
        << jsonObject(R"({"action":"ExecuteScript","platform":"unspecified","name":"n",
                          "alwaysExecute":false})");
    QTest::newRow("action key wins over class type")
        << make<KAVAtmWaitNestingActionDef>() << jsonObject(R"({"action":"waitnest"})")
        << jsonObject(R"({"action":"waitnest","platform":"unspecified","alwaysExecute":false})");
}

void tst_KAVAtmTypedActionDefs::roundTrip()
{
    QFETCH(DefFactory, create);
    QFETCH(QJsonObject, input);
    QFETCH(QJsonObject, written);
    std::unique_ptr<KAVAtmTestActionDef> def(create());
    def->FromJson(input);
    QCOMPARE(def->ToJson(), written);
}

void tst_KAVAtmTypedActionDefs::dataAssertConfiguration()
{
    // The action's own ignore rules go beside the defaults; a second read starts again.
    KAVAtmDataAssertActionDef def;
    def.FromJson(jsonObject(R"({"ignoreProps":["a","time"]})"));
    QJsonObject config = QJsonDocument::fromJson(def.GetConfigJsonString().toUtf8()).object();
    const QJsonArray ignore = config.value("ignoreProps").toArray();
    QVERIFY(ignore.contains("a") && ignore.contains("nestingColor"));
    QCOMPARE(config.keys(), QStringList {"ignoreProps"});

    def.FromJson(jsonObject(R"({"ignoreClassProps":{"KAVNestSheet":["width"]}})"));
    config = QJsonDocument::fromJson(def.GetConfigJsonString().toUtf8()).object();
    QVERIFY(!config.value("ignoreProps").toArray().contains("a"));
    QCOMPARE(config.value("ignoreClassProps").toObject().value("KAVNestSheet").toArray().size(), 1);
    QVERIFY(def.GetBaselineJsonString().isEmpty());
}

void tst_KAVAtmTypedActionDefs::executeScript()
{
    QTemporaryDir dir;
    KAVAtmExecuteScriptActionDef def;
    QJsonObject json = jsonObject(R"({"script":"cases/a.js","importModules":[
        {"file":"m.mjs","namespace":"M","loadType":"import"},
        {"file":"e.js","namespace":"E"}, 7,
        {"file":"m.mjs","namespace":"M2"}]})");
    json.insert("procedurePath", dir.path());
    def.FromJson(json);
    QCOMPARE(def.GetScriptFilePath(), QDir::toNativeSeparators(dir.path() + "/cases/a.js"));
    const auto modules = def.GetImportModules();
    QCOMPARE(modules.size(), 2);
    QCOMPARE(modules.value("m.mjs"), qMakePair(QStringLiteral("M2"), QStringLiteral("evaluate")));
    QCOMPARE(modules.value("e.js").second, QStringLiteral("evaluate"));

    def.FromJson(jsonObject(R"({"script":"/abs/b.js"})"));
    QCOMPARE(def.GetScriptFilePath(), QStringLiteral("/abs/b.js"));
    QVERIFY(def.GetImportModules().isEmpty());
}

void tst_KAVAtmTypedActionDefs::factory_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("platform");
    QTest::addColumn<bool>("created");
    QTest::addColumn<int>("expectedPlatform");

    const int unspecified = KAVAtmEnums::Unspecified;
    QTest::newRow("DataAssert") << QByteArray("DataAssert") << unspecified << false << 0;
    QTest::newRow("lower case") << QByteArray("closefile") << unspecified << false << 0;
    QTest::newRow("OpenFile") << QByteArray("OpenFile") << unspecified << true
                              << int(KAVAtmEnums::Tessaron);
    QTest::newRow("OpenFile Corvid")
        << QByteArray("OpenFile") << int(KAVAtmEnums::Corvid) << true << int(KAVAtmEnums::Corvid);
    QTest::newRow("TimeWait ignores platform")
        << QByteArray("TimeWait") << int(KAVAtmEnums::Corvid) << true << unspecified;
    QTest::newRow("WaitNest") << QByteArray("WaitNest") << unspecified << true << unspecified;
}

void tst_KAVAtmTypedActionDefs::factory()
{
    QFETCH(QByteArray, name);
    QFETCH(int, platform);
    QFETCH(bool, created);
    QFETCH(int, expectedPlatform);

    KAVAtmTestActionDefFactory *factory = KAVAtmTestActionDefFactory::GetInstance();
    std::unique_ptr<KAVAtmTestActionDef> def(
        factory->CreateActionDef(name, KAVAtmEnums::Platform(platform)));
    QCOMPARE(bool(def), created);
    if (!def)
        return;
    QCOMPARE(def->GetType().toLatin1(), name);
    QCOMPARE(int(def->GetPlatform()), expectedPlatform);
    QVERIFY(!def->GetParentProcedureDef());
}

QTEST_GUILESS_MAIN(tst_KAVAtmTypedActionDefs)
#include "tst_kavatmtypedactiondefs.moc"
