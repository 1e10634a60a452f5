#include "kavatmtestactiondef.h"
#include "kavatmtestproceduredef.h"

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
    void changedFlag();
    void loadBaseline_data();
    void loadBaseline();
};

static QJsonObject object(const char *json)
{
    return QJsonDocument::fromJson(json).object();
}

void tst_KAVAtmTestActionDef::fromJson_data()
{
    QTest::addColumn<QJsonObject>("input");
    QTest::addColumn<int>("platform");
    QTest::addColumn<qint64>("timeout");
    QTest::addColumn<QJsonObject>("written");

    QTest::newRow("defaults") << object(R"({"action":"Foo"})") << int(KAVAtmEnums::Unspecified)
                              << qint64(300) << object(R"({"action":"Foo","platform":"unspecified",
                                            "alwaysExecute":false})");
    QTest::newRow("negative timeout")
        << object(R"({"action":"Foo","timeout":-5})") << int(KAVAtmEnums::Unspecified) << qint64(0)
        << object(R"({"action":"Foo","platform":"unspecified","alwaysExecute":false,
                          "timeout":0})");
    QTest::newRow("string timeout")
        << object(R"({"timeout":"60"})") << int(KAVAtmEnums::Unspecified) << qint64(300)
        << object(R"({"action":"","platform":"unspecified",
                                                  "alwaysExecute":false})");
    QTest::newRow("fractional timeout")
        << object(R"({"timeout":1.5})") << int(KAVAtmEnums::Unspecified) << qint64(300)
        << object(R"({"action":"","platform":"unspecified",
                                                      "alwaysExecute":false})");
    QTest::newRow("huge timeout clamps")
        << object(R"({"timeout":1e12})") << int(KAVAtmEnums::Unspecified) << qint64(2147483647)
        << object(R"({"action":"","platform":"unspecified","alwaysExecute":false,
                          "timeout":2147483647})");
    QTest::newRow("platform text is lower-cased")
        << object(R"({"platform":"Corvid","name":"n","alwaysExecute":true})")
        << int(KAVAtmEnums::Corvid) << qint64(300)
        << object(R"({"action":"","platform":"corvid","name":"n","alwaysExecute":true})");
    QTest::newRow("numeric platform")
        << object(R"({"platform":2,"alwaysExecute":"yes"})") << int(KAVAtmEnums::Other)
        << qint64(300) << object(R"({"action":"","platform":"other","alwaysExecute":false})");
    QTest::newRow("Tessaron") << object(R"({"platform":"Tessaron"})") << int(KAVAtmEnums::Tessaron)
                              << qint64(300) << object(R"({"action":"","platform":"tessaron",
                                            "alwaysExecute":false})");
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
    def.FromJson(object(R"({"action":"Foo","procedurePath":"/elsewhere","extra":[1,2]})"));
    QCOMPARE(def.GetData()[QLatin1String("procedurePath")].toString(),
             QFileInfo(dir.path()).absoluteFilePath());
    QCOMPARE(def.GetOriginalData()[QLatin1String("procedurePath")].toString(),
             QStringLiteral("/elsewhere"));
    QCOMPARE(def.GetData()[QLatin1String("extra")].toArray().size(), 2);
}

void tst_KAVAtmTestActionDef::changedFlag()
{
    KAVAtmTestActionDef def;
    def.SetTimeout(300);
    def.SetName(QString());
    def.SetIsAlwaysExecute(false);
    def.SetPlatform(KAVAtmEnums::Unspecified);
    QVERIFY(!def.IsChanged());
    def.SetTimeout(-1);
    QCOMPARE(def.GetTimeout(), 0);
    QVERIFY(def.IsChanged());
}

void tst_KAVAtmTestActionDef::loadBaseline_data()
{
    QTest::addColumn<QString>("baseline");
    QTest::addColumn<bool>("absolute");
    QTest::addColumn<QString>("expected");
    QTest::newRow("relative") << "sub/base.json" << false << "{\"a\": \"é\"}";
    QTest::newRow("absolute ignores procedurePath") << "sub/base.json" << true << "{\"a\": \"é\"}";
    QTest::newRow("missing file") << "sub/none.json" << false << "";
    QTest::newRow("directory") << "sub" << false << "";
    QTest::newRow("no baseline") << "" << false << "";
}

void tst_KAVAtmTestActionDef::loadBaseline()
{
    QFETCH(QString, baseline);
    QFETCH(bool, absolute);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("sub")));
    QFile file(dir.filePath(QStringLiteral("sub/base.json")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("{\"a\": \"é\"}").toUtf8());
    file.close();

    QJsonObject json;
    json.insert(QLatin1String("baseline"), absolute ? dir.filePath(baseline) : baseline);
    json.insert(QLatin1String("procedurePath"),
                absolute ? QStringLiteral("/does/not/exist") : dir.path());
    BaselineActionDef def;
    QCOMPARE(def.LoadBaseline(json), expected);
}

QTEST_GUILESS_MAIN(tst_KAVAtmTestActionDef)
#include "tst_kavatmtestactiondef.moc"
