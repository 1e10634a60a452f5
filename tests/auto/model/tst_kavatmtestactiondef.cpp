#include "kavatmtestactiondef.h"
#include "kavatmtestproceduredef.h"
#include "testfiles.h"

#include <QtCore/QJsonDocument>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

// Gives access to the protected baseline loader.
class BaselineActionDef : public KAVAtmTestActionDef {
public:
    using KAVAtmTestActionDef::LoadBaseline;
};

class tst_KAVAtmTestActionDef : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fromJson_data();
    void fromJson();
    void dataOfDefinitionBuiltInCode();
    void procedurePathOnlyInData();
    void loadBaseline_data();
    void loadBaseline();
};

void tst_KAVAtmTestActionDef::fromJson_data()
{
    QTest::addColumn<QJsonObject>("input");
    QTest::addColumn<int>("platform");
    QTest::addColumn<qint64>("timeout");
    QTest::addColumn<QJsonObject>("written");

    QTest::newRow("negative timeout")
        << jsonObject(R"({"action":"Foo","timeout":-5})") << int(KAVAtmEnums::Unspecified)
        << qint64(0)
        << jsonObject(R"({"action":"Foo","platform":"unspecified","alwaysExecute":false,
                          "timeout":0})");
    QTest::newRow("string timeout")
        << jsonObject(R"({"timeout":"60"})") << int(KAVAtmEnums::Unspecified) << qint64(300)
        << jsonObject(R"({"action":"","platform":"unspecified",
                                                  "alwaysExecute":false})");
    QTest::newRow("fractional timeout")
        << jsonObject(R"({"timeout":1.5})") << int(KAVAtmEnums::Unspecified) << qint64(300)
        << jsonObject(R"({"action":"","platform":"unspecified",
                                                      "alwaysExecute":false})");
    QTest::newRow("huge timeout clamps")
        << jsonObject(R"({"timeout":1e12})") << int(KAVAtmEnums::Unspecified) << qint64(2147483647)
        << jsonObject(R"({"action":"","platform":"unspecified","alwaysExecute":false,
                          "timeout":2147483647})");
    QTest::newRow("platform text is lower-cased")
        << jsonObject(R"({"platform":"Corvid","name":"n","alwaysExecute":true})")
        << int(KAVAtmEnums::Corvid) << qint64(300)
        << jsonObject(R"({"action":"","platform":"corvid","name":"n","alwaysExecute":true})");
    QTest::newRow("numeric platform")
        << jsonObject(R"({"platform":2,"alwaysExecute":"yes"})") << int(KAVAtmEnums::Other)
        << qint64(300) << jsonObject(R"({"action":"","platform":"other","alwaysExecute":false})");
}

void tst_KAVAtmTestActionDef::fromJson()
{
    QFETCH(QJsonObject, input);
    QFETCH(int, platform);
    QFETCH(qint64, timeout);
    QFETCH(QJsonObject, written);

    KAVAtmTestActionDef def;
    def.FromJson(input);
    QCOMPARE(int(def.GetPlatform()), platform);
    QCOMPARE(def.GetTimeout(), timeout);
    QCOMPARE(def.ToJson(), written);
    QCOMPARE(def.GetOriginalData(), input);
    QVERIFY(!def.IsChanged());
}

void tst_KAVAtmTestActionDef::dataOfDefinitionBuiltInCode()
{
    KAVAtmTestActionDef def;
    def.SetName(QStringLiteral("first"));
    const QJsonObject first = def.ToJson();
    QCOMPARE(def.GetData(), first);
    def.SetName(QStringLiteral("second"));
    QCOMPARE(def.GetData(), first);
    QCOMPARE(def.GetOriginalData()[QLatin1String("name")].toString(), QStringLiteral("second"));
}

void tst_KAVAtmTestActionDef::procedurePathOnlyInData()
{
    QTemporaryDir dir;
    KAVAtmTestProcedureDef procedure(dir.filePath(QStringLiteral("p.json")));
    KAVAtmTestActionDef def(&procedure);
    def.FromJson(jsonObject(R"({"action":"Foo","procedurePath":"/elsewhere","extra":[1,2]})"));
    QCOMPARE(def.GetData()[QLatin1String("procedurePath")].toString(),
             QFileInfo(dir.path()).absoluteFilePath());
    QCOMPARE(def.GetOriginalData()[QLatin1String("procedurePath")].toString(),
             QStringLiteral("/elsewhere"));
    QCOMPARE(def.GetData()[QLatin1String("extra")].toArray().size(), 2);
}

void tst_KAVAtmTestActionDef::loadBaseline_data()
{
    QTest::addColumn<QString>("baseline");
    QTest::addColumn<bool>("absolute");
    QTest::addColumn<QString>("expected");
    QTest::newRow("relative") << "sub/base.json" << false << "{\"a\": \"é\"}";
    QTest::newRow("absolute ignores procedurePath") << "sub/base.json" << true << "{\"a\": \"é\"}";
    QTest::newRow("no baseline") << "" << false << "";
}

void tst_KAVAtmTestActionDef::loadBaseline()
{
    QFETCH(QString, baseline);
    QFETCH(bool, absolute);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("sub")));
    writeFile(dir.filePath(QStringLiteral("sub/base.json")),
              QStringLiteral("{\"a\": \"é\"}").toUtf8());

    QJsonObject json;
    json.insert(QLatin1String("baseline"), absolute ? dir.filePath(baseline) : baseline);
    json.insert(QLatin1String("procedurePath"),
                absolute ? QStringLiteral("/does/not/exist") : dir.path());
    BaselineActionDef def;
    QCOMPARE(def.LoadBaseline(json), expected);
}

QTEST_GUILESS_MAIN(tst_KAVAtmTestActionDef)
#include "tst_kavatmtestactiondef.moc"
