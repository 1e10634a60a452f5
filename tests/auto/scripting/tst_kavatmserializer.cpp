// The serialised feature data that data assertions compare: the demo host's model against
// golden files, and the rules that keep the text the same from run to run.

#include "corviddocument.h"
#include "corvidmodel.h"
#include "kavatmdataassertaction.h"
#include "kavatmdataassertactiondef.h"
#include "kavatmserializer_p.h"
#include "kavfeatcontainer.h"
#include "kavfeatenvironment.h"
#include "kavfeatenvironmentmanager.h"
#include "kavnestfeature.h"
#include "kavnestitem.h"
#include "kavnestsheet.h"
#include "kavnestsheetitem.h"
#include "kavnestsource.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtTest/QtTest>

#include <memory>

namespace {

const QString Golden = QStringLiteral(KAV_GOLDEN);
const QString Documents = QStringLiteral(KAV_EXAMPLES) + QStringLiteral("/documents");

QString defaultConfig(const QJsonObject &action = {})
{
    KAVAtmDataAssertActionDef def;
    def.FromJson(action);
    return def.GetConfigJsonString();
}

QByteArray serialize(const QString &config)
{
    return KAVAtmDataAssertAction::SerializeContainer(config);
}

QJsonObject parsed(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

} // namespace

class tst_KAVAtmSerializer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void goldenFile();
    void sameTextEveryTime();
    void ignoreByClassIsExact();
    void noEnvironmentNoText();
    void backPointersDoNotRecurse();
    void keysGoWithTheirObjects();

private:
    void open(const QString &document);

    std::unique_ptr<CorvidDocument> m_document;
};

void tst_KAVAtmSerializer::initTestCase()
{
    CorvidDocument::SetStepInterval(1);
}

void tst_KAVAtmSerializer::init()
{
    open(Documents + "/brackets.json");
}

void tst_KAVAtmSerializer::cleanup()
{
    KAVFeatEnvironmentManager::GetManager()->SetCurrentEnvironment(nullptr);
    m_document.reset();
}

void tst_KAVAtmSerializer::open(const QString &document)
{
    QString error;
    m_document.reset(CorvidDocument::Open(document, &error, nullptr));
    QVERIFY2(m_document, qPrintable(error));
    KAVFeatEnvironmentManager::GetManager()->SetCurrentEnvironment(m_document->GetEnvironment());
    QSignalSpy finished(m_document.get(), &CorvidDocument::ProcessingFinished);
    m_document->Process();
    QVERIFY(finished.wait(5000));
}

void tst_KAVAtmSerializer::goldenFile()
{
    // Two materials, the default ignores: flags, units and references to parts by their keys.
    const QByteArray actual = serialize(defaultConfig());
    QFile file(Golden + "/brackets.json");
    if (qEnvironmentVariableIsSet("KAV_UPDATE_GOLDEN")) {
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(actual);
        QSKIP("golden file written");
    }
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    QCOMPARE(parsed(actual), parsed(file.readAll()));
}

void tst_KAVAtmSerializer::sameTextEveryTime()
{
    const QString config = defaultConfig();
    const QByteArray first = serialize(config);
    QCOMPARE(serialize(config), first);
    // A new run makes new sheets and sheet items: the text stays the same.
    QSignalSpy finished(m_document.get(), &CorvidDocument::ProcessingFinished);
    m_document->Nest();
    QVERIFY(finished.wait(5000));
    QCOMPARE(serialize(config), first);
}

void tst_KAVAtmSerializer::ignoreByClassIsExact()
{
    // CorvidSheet derives from KAVNestSheet: an entry for the base leaves it alone.
    const auto sheetOf = [](const QByteArray &json) {
        const QJsonArray features
            = parsed(json)[QStringLiteral("Nestings")][QStringLiteral("features")][0]
                          [QStringLiteral("features")]
                              .toArray();
        for (const QJsonValue &feature : features) {
            if (feature[QStringLiteral("className")] == QStringLiteral("CorvidSheet"))
                return feature.toObject();
        }
        return QJsonObject();
    };
    const QJsonObject base = sheetOf(serialize(
        defaultConfig({{"ignoreClassProps",
                        QJsonArray {QJsonObject {{"className", "KAVNestSheet"},
                                                 {"ignoreProps", QJsonArray {"width"}}}}}})));
    QCOMPARE(base[QStringLiteral("className")].toString(), QStringLiteral("CorvidSheet"));
    QVERIFY(base.contains("width"));
    const QJsonObject exact = sheetOf(serialize(
        defaultConfig({{"ignoreClassProps",
                        QJsonArray {QJsonObject {{"className", "CorvidSheet"},
                                                 {"ignoreProps", QJsonArray {"width"}}}}}})));
    QVERIFY(!exact.contains("width"));
    QVERIFY(exact.contains("height"));
    // The default list leaves out what differs on every run.
    QVERIFY(!base.contains("nestingColor"));
}

void tst_KAVAtmSerializer::noEnvironmentNoText()
{
    KAVFeatEnvironmentManager::GetManager()->SetCurrentEnvironment(nullptr);
    QCOMPARE(serialize(defaultConfig()), QByteArray());
    KAVFeatEnvironment empty("empty");
    KAVFeatEnvironmentManager::GetManager()->SetCurrentEnvironment(&empty);
    QCOMPARE(parsed(serialize(defaultConfig())), QJsonObject());
    KAVFeatEnvironmentManager::GetManager()->SetCurrentEnvironment(nullptr);
}

void tst_KAVAtmSerializer::backPointersDoNotRecurse()
{
    // An item whose shape is the nesting that holds it: written as a name, not again and again.
    KAVFeatEnvironment environment("loop");
    auto *nesting = new KAVNestFeature(QStringLiteral("Loop"));
    auto *item = new KAVNestItem(QStringLiteral("Self"), nesting);
    item->SetShape(nesting);
    environment.GetContainer()->AddFeatureRoot(nesting);
    KAVFeatEnvironmentManager::GetManager()->SetCurrentEnvironment(&environment);
    const QJsonObject json = parsed(serialize(defaultConfig()));
    QCOMPARE(json[QStringLiteral("Loop")][QStringLiteral("features")][0][QStringLiteral("shape")]
                 .toString(),
             QStringLiteral("Loop"));

    // A name with "%1" in it stays as it is in the keys built from it.
    KAVFeatEnvironment percent("percent");
    auto *holder = new KAVNestFeature(QStringLiteral("Holder"));
    auto *named = new KAVNestSource(QStringLiteral("N"), holder);
    named->SetSourceKey(QStringLiteral("N%1"));
    auto *placed = new KAVNestSheetItem(QStringLiteral("P"), new KAVNestSheet("S", holder));
    placed->SetShape(named);
    placed->SetSheetIndex(2);
    percent.GetContainer()->AddFeatureRoot(holder);
    KAVFeatEnvironmentManager::GetManager()->SetCurrentEnvironment(&percent);
    serialize(defaultConfig());
    QCOMPARE(KAVAtmSerializer::GetKey(placed), QStringLiteral("NestSheetItem_N%1_00002"));
    KAVFeatEnvironmentManager::GetManager()->SetCurrentEnvironment(nullptr);
}

void tst_KAVAtmSerializer::keysGoWithTheirObjects()
{
    serialize(defaultConfig());
    KAVFeatObject *nesting = m_document->GetEnvironment()
                                 ->GetContainer()
                                 ->GetFeatureRoots()
                                 .last()
                                 ->GetChildren()
                                 .first();
    KAVFeatObject *sheet = nullptr;
    for (KAVFeatObject *child : nesting->GetChildren()) {
        if (qobject_cast<KAVNestSheet *>(child))
            sheet = child;
    }
    QVERIFY(sheet);
    QVERIFY(!KAVAtmSerializer::GetKey(sheet).isEmpty());
    const QObject *address = sheet;
    delete sheet;
    // A new object at that address must not be taken for the old one.
    QCOMPARE(KAVAtmSerializer::GetKey(address), QString());
}

QTEST_MAIN(tst_KAVAtmSerializer)
#include "tst_kavatmserializer.moc"
