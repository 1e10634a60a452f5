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
#include "kavatmwidgetreplayactiondef.h"
#include "testfiles.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <functional>
#include <memory>

using DefFactory = std::function<KAVAtmTestActionDef *()>;

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

// Reading "input" into a new definition of "type" (none: the base every action shares)
// writes "written" (the common keys included), for each row of the case file. What a key of the wrong type or out of range reads
// as is the key table's, which tst_runnercheck holds every definition to.
void tst_KAVAtmTypedActionDefs::roundTrip_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QJsonObject>("input");
    QTest::addColumn<QJsonObject>("written");
    const QJsonArray rows
        = QJsonDocument::fromJson(readFile(KAV_GOLDEN "/typed-definitions.json")).array();
    QVERIFY(!rows.isEmpty());
    for (const QJsonValue &row : rows)
        QTest::newRow(qPrintable(row["row"].toString()))
            << row["type"].toString() << row["input"].toObject() << row["written"].toObject();
}

void tst_KAVAtmTypedActionDefs::roundTrip()
{
    QFETCH(QString, type);
    QFETCH(QJsonObject, input);
    QFETCH(QJsonObject, written);
    const QHash<QString, DefFactory> create {
        {"", make<KAVAtmTestActionDef>()},
        {"CloseFile", make<KAVAtmCloseFileActionDef>()},
        {"ExecuteScript", make<KAVAtmExecuteScriptActionDef>()},
        {"LaunchCommand", make<KAVAtmLaunchCommandActionDef>()},
        {"OpenFile", make<KAVAtmOpenFileActionDef>()},
        {"Recording", make<KAVAtmRecordingActionDef>()},
        {"SetAutomationData", make<KAVAtmSetAutomationDataActionDef>()},
        {"SetSelection", make<KAVAtmSetSelectionActionDef>()},
        {"SwitchEnvironment", make<KAVAtmSwitchEnvironmentActionDef>()},
        {"TimeWait", make<KAVAtmTimeWaitActionDef>()},
        {"WaitNest", make<KAVAtmWaitNestingActionDef>()},
        {"WidgetReplay", make<KAVAtmWidgetReplayActionDef>()}};
    QVERIFY2(create.contains(type), qPrintable(type));
    std::unique_ptr<KAVAtmTestActionDef> def(create.value(type)());
    def->FromJson(input);
    QCOMPARE(def->ToJson(), written);
    QCOMPARE(def->GetOriginalData(), input);
    QVERIFY(!def->IsChanged());
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
