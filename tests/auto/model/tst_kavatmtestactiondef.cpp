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
    void dataOfDefinitionBuiltInCode();
    void procedurePathOnlyInData();
    void loadBaseline_data();
    void loadBaseline();
};

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
