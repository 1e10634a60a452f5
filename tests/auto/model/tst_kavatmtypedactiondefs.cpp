#include "kavatmclosefileactiondef.h"
#include "kavatmdataassertactiondef.h"
#include "kavatmexecutescriptactiondef.h"
#include "kavatmlaunchcommandactiondef.h"
#include "kavatmopenfileactiondef.h"
#include "kavatmrecordingactiondef.h"
#include "kavatmresetusersettingactiondef.h"
#include "kavatmsetautomationdataactiondef.h"
#include "kavatmsetselectionactiondef.h"
#include "kavatmswitchenvironmentactiondef.h"
#include "kavatmtestactiondeffactory.h"
#include "kavatmtimewaitactiondef.h"
#include "kavatmwaitnestingactiondef.h"
#include "kavatmwaittranslationactiondef.h"
#include "kavatmwaitupdateactiondef.h"
#include "kavatmwidgetreplayactiondef.h"

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

static QJsonObject object(const char *json)
{
    return QJsonDocument::fromJson(json).object();
}

class tst_KAVAtmTypedActionDefs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void newDefinitions_data();
    void newDefinitions();
    void readsKeepOrAppend();
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

    QTest::newRow("CloseFile empty")
        << make<KAVAtmCloseFileActionDef>() << object(R"({"file":""})")
        << object(R"({"action":"CloseFile","platform":"unspecified","alwaysExecute":false,
                          "saveBeforeClose":false,"forceSaveAs":false})");
    QTest::newRow("CloseFile")
        << make<KAVAtmCloseFileActionDef>()
        << object(R"({"file":"a.dxf","saveBeforeClose":true,"forceSaveAs":1})")
        << object(R"({"action":"CloseFile","platform":"unspecified","alwaysExecute":false,
                          "file":"a.dxf","saveBeforeClose":true,"forceSaveAs":false})");
    QTest::newRow("LaunchCommand without data")
        << make<KAVAtmLaunchCommandActionDef>() << object(R"({"actionData":[1]})")
        << object(R"({"action":"LaunchCommand","platform":"unspecified",
                          "alwaysExecute":false,"actionId":""})");
    QTest::newRow("LaunchCommand")
        << make<KAVAtmLaunchCommandActionDef>()
        << object(R"({"actionId":"Nest.Run","actionData":{"a":1,"b":"x"}})")
        << object(R"({"action":"LaunchCommand","platform":"unspecified",
                          "alwaysExecute":false,"actionId":"Nest.Run",
                          "actionData":{"a":1,"b":"x"}})");
    QTest::newRow("OpenFile keeps the JSON platform")
        << make<KAVAtmOpenFileActionDef>() << object(R"({"platform":"corvid"})")
        << object(R"({"action":"OpenFile","platform":"corvid","alwaysExecute":false,
                          "file":""})");
    QTest::newRow("Recording lower-cases")
        << make<KAVAtmRecordingActionDef>() << object(R"({"command":"START"})")
        << object(R"({"action":"Recording","platform":"unspecified","alwaysExecute":false,
                          "command":"start"})");
    QTest::newRow("Recording default")
        << make<KAVAtmRecordingActionDef>() << object(R"({"command":5})")
        << object(R"({"action":"Recording","platform":"unspecified","alwaysExecute":false,
                          "command":"stop"})");
    QTest::newRow("SetAutomationData")
        << make<KAVAtmSetAutomationDataActionDef>()
        << object(R"({"map":{"width":12.5,"name":"s"},"clear":false})")
        << object(R"({"action":"SetAutomationData","platform":"unspecified",
                          "alwaysExecute":false,"map":{"width":12.5,"name":"s"},
                          "clear":false})");
    QTest::newRow("SetAutomationData bad map")
        << make<KAVAtmSetAutomationDataActionDef>() << object(R"({"map":[1],"clear":"no"})")
        << object(R"({"action":"SetAutomationData","platform":"unspecified",
                          "alwaysExecute":false,"map":{},"clear":false})");
    QTest::newRow("SetSelection") << make<KAVAtmSetSelectionActionDef>()
                                  << object(R"({"selections":["a/b",3]})")
                                  << object(R"({"action":"SetSelection","platform":"unspecified",
                          "alwaysExecute":false,"selections":["a/b",""]})");
    QTest::newRow("SwitchEnvironment")
        << make<KAVAtmSwitchEnvironmentActionDef>() << object(R"({"environment":"Nest"})")
        << object(R"({"action":"SwitchEnvironment","platform":"unspecified",
                          "alwaysExecute":false,"environment":"Nest"})");
    QTest::newRow("TimeWait without wtime")
        << make<KAVAtmTimeWaitActionDef>() << object(R"({"platform":"tessaron"})")
        << object(R"({"action":"TimeWait","platform":"tessaron","alwaysExecute":false,
                          "wtime":0})");
    QTest::newRow("TimeWait")
        << make<KAVAtmTimeWaitActionDef>() << object(R"({"wtime":1500,"timeout":10})")
        << object(R"({"action":"TimeWait","platform":"unspecified","alwaysExecute":false,
                          "timeout":10,"wtime":1500})");
    QTest::newRow("WidgetReplay bad speed")
        << make<KAVAtmWidgetReplayActionDef>() << object(R"({"speed":"fast","events":{}})")
        << object(R"({"action":"WidgetReplay","platform":"unspecified",
                          "alwaysExecute":false,"speed":1,"events":[]})");
    QTest::newRow("WidgetReplay") << make<KAVAtmWidgetReplayActionDef>()
                                  << object(R"({"speed":2.5,"events":[{"type":"click"}]})")
                                  << object(R"({"action":"WidgetReplay","platform":"unspecified",
                          "alwaysExecute":false,"speed":2.5,"events":[{"type":"click"}]})");
    QTest::newRow("ExecuteScript writes no own keys")
        << make<KAVAtmExecuteScriptActionDef>()
        << object(R"({"script":"/s.js","category":"c","name":"n"})")
        << object(R"({"action":"ExecuteScript","platform":"unspecified","name":"n",
                          "alwaysExecute":false})");
    QTest::newRow("action key wins over class type")
        << make<KAVAtmWaitNestingActionDef>() << object(R"({"action":"waitnest"})")
        << object(R"({"action":"waitnest","platform":"unspecified","alwaysExecute":false})");
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

// A definition built in code writes its constructor defaults.
void tst_KAVAtmTypedActionDefs::newDefinitions_data()
{
    QTest::addColumn<DefFactory>("create");
    QTest::addColumn<QJsonObject>("written");
    QTest::addColumn<bool>("changed");

    QTest::newRow("OpenFile") << make<KAVAtmOpenFileActionDef>()
                              << object(R"({"action":"OpenFile","platform":"tessaron",
                                            "alwaysExecute":false,"file":""})")
                              << true;
    QTest::newRow("TimeWait") << make<KAVAtmTimeWaitActionDef>()
                              << object(R"({"action":"TimeWait","platform":"unspecified",
                                            "alwaysExecute":false,"wtime":10000})")
                              << false;
    QTest::newRow("SetAutomationData")
        << make<KAVAtmSetAutomationDataActionDef>()
        << object(R"({"action":"SetAutomationData","platform":"unspecified",
                          "alwaysExecute":false,"map":{},"clear":true})")
        << false;
    QTest::newRow("Recording") << make<KAVAtmRecordingActionDef>()
                               << object(R"({"action":"Recording","platform":"unspecified",
                                             "alwaysExecute":false,"command":"stop"})")
                               << false;
    QTest::newRow("ResetUserSetting")
        << make<KAVAtmResetUserSettingActionDef>()
        << object(R"({"action":"ResetUserSetting","platform":"unspecified",
                          "alwaysExecute":false})")
        << false;
    QTest::newRow("WaitTranslation")
        << make<KAVAtmWaitTranslationActionDef>()
        << object(R"({"action":"WaitTranslation","platform":"unspecified",
                          "alwaysExecute":false})")
        << false;
}

void tst_KAVAtmTypedActionDefs::newDefinitions()
{
    QFETCH(DefFactory, create);
    QFETCH(QJsonObject, written);
    QFETCH(bool, changed);
    std::unique_ptr<KAVAtmTestActionDef> def(create());
    QCOMPARE(def->GetType(), written.value("action").toString());
    QCOMPARE(def->ToJson(), written);
    QCOMPARE(def->IsChanged(), changed);
}

void tst_KAVAtmTypedActionDefs::readsKeepOrAppend()
{
    KAVAtmSetSelectionActionDef selection;
    selection.FromJson(object(R"({"selections":["a","b"]})"));
    selection.FromJson(object(R"({"selections":["a","b"]})"));
    QCOMPARE(selection.GetSelectionPathList(), QList<QString>({"a", "b", "a", "b"}));

    KAVAtmWidgetReplayActionDef replay;
    replay.FromJson(object(R"({"events":[{"t":1}]})"));
    replay.FromJson(object(R"({"events":"none"})"));
    QCOMPARE(replay.GetRecordedEvents().size(), 1);

    KAVAtmSetAutomationDataActionDef data;
    data.FromJson(object(R"({"map":{"a":1},"clear":false})"));
    data.FromJson(object(R"({})"));
    QCOMPARE(data.GetMap().size(), 1);
    QVERIFY(!data.IsClearFirst());

    KAVAtmLaunchCommandActionDef launch;
    launch.FromJson(object(R"({"actionData":{"a":1}})"));
    launch.FromJson(object(R"({"actionData":null})"));
    QCOMPARE(launch.GetActionData().value("a").toInt(), 1);

    KAVAtmTimeWaitActionDef wait;
    wait.SetPlatform(KAVAtmEnums::Corvid);
    QCOMPARE(wait.GetPlatform(), KAVAtmEnums::Unspecified);
}

void tst_KAVAtmTypedActionDefs::dataAssertConfiguration()
{
    QTemporaryDir dir;
    QFile baseline(dir.filePath("base.json"));
    QVERIFY(baseline.open(QIODevice::WriteOnly));
    baseline.write("{\"root\": 1}");
    baseline.close();

    KAVAtmDataAssertActionDef def;
    QJsonObject json = object(R"({"ignoreProps":["a","time"],"baseline":"base.json"})");
    json.insert("procedurePath", dir.path());
    def.FromJson(json);
    QCOMPARE(def.GetBaselineJsonString(), QStringLiteral("{\"root\": 1}"));
    QJsonObject config = QJsonDocument::fromJson(def.GetConfigJsonString().toUtf8()).object();
    const QJsonArray ignore = config.value("ignoreProps").toArray();
    QCOMPARE(ignore.size(), 9);
    QCOMPARE(ignore.first().toString(), QStringLiteral("nestingColor"));
    QCOMPARE(ignore.at(7).toString(), QStringLiteral("a"));
    QCOMPARE(config.keys(), QStringList {"ignoreProps"});

    def.FromJson(object(R"({"ignoreClassProps":{"KAVNestSheet":["width"]}})"));
    config = QJsonDocument::fromJson(def.GetConfigJsonString().toUtf8()).object();
    QCOMPARE(config.value("ignoreProps").toArray().size(), 7);
    QCOMPARE(config.value("ignoreClassProps").toObject().value("KAVNestSheet").toArray().size(), 1);
    QVERIFY(def.GetBaselineJsonString().isEmpty());
}

void tst_KAVAtmTypedActionDefs::executeScript()
{
    QTemporaryDir dir;
    KAVAtmExecuteScriptActionDef def;
    QJsonObject json = object(R"({"script":"cases/a.js","importModules":[
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

    def.FromJson(object(R"({"script":"/abs/b.js"})"));
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
    QTest::newRow("WidgetReplay") << QByteArray("WidgetReplay") << unspecified << false << 0;
    QTest::newRow("Recording") << QByteArray("Recording") << unspecified << false << 0;
    QTest::newRow("ResetUserSetting")
        << QByteArray("ResetUserSetting") << unspecified << false << 0;
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
    QCOMPARE(factory->GetRegisteredActionNames().size(), 11);
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
