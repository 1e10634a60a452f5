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

// A feature object with a value of any type, and a property named as one of its base's.
class Holder : public KAVFeatObject {
    Q_OBJECT
    Q_PROPERTY(QVariant value MEMBER m_value)
    Q_PROPERTY(QString objectName READ objectName)
public:
    using KAVFeatObject::KAVFeatObject;
    QVariant m_value;
};

} // namespace

class tst_KAVAtmSerializer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void goldenFile();
    void textAsQtWritesIt_data();
    void textAsQtWritesIt();
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
    // Byte for byte: baselines captured before keep their text.
    QCOMPARE(actual, file.readAll());
}

void tst_KAVAtmSerializer::textAsQtWritesIt_data()
{
    QTest::addColumn<QVariant>("value");
    const auto row = [](const char *name, const QVariant &value) { QTest::newRow(name) << value; };
    row("escapes", QString::fromUtf16(u"q\"b\\s/\b\f\n\r\t\x01\x1f\x7f"));
    row("non-ASCII", QString::fromUtf16(u"\u00e9\u20ac\U0001F600"));
    const char16_t lone[] = {u'a', 0xd800, u'b', 0xdc00, 0xdc01, 0xd83d};
    row("lone surrogates", QString::fromUtf16(lone, std::size(lone)));
    row("integral double", 1e6);
    row("fraction", 0.1);
    row("large double", 1e21);
    row("past 2^53", 9007199254740994.0);
    row("negative zero", -0.0);
    row("not a number", qQNaN());
    row("infinity", -qInf());
    row("int64", std::numeric_limits<qint64>::min());
    row("uint64", std::numeric_limits<quint64>::max());
    row("uint", std::numeric_limits<uint>::max());
    row("float", 0.1f);
    row("bool", true);
    row("null", QVariant::fromValue(nullptr));
    row("empty list", QVariantList());
    row("list",
        QVariantList {1, std::numeric_limits<qint64>::max(), u"two"_qs, QVariantList {},
                      QVariantMap {}});
    row("map", QVariantMap {{"b", 1.5}, {"a", QStringList {"x"}}, {"\u00e9", QVariant()}});
    row("no JSON form", QPoint(1, 2));
    row("text form", QUrl("https://example.com/a b"));
}

void tst_KAVAtmSerializer::textAsQtWritesIt()
{
    // Roots out of order, and two of one identifier: the last stands for it.
    QFETCH(QVariant, value);
    KAVFeatEnvironment environment("values");
    KAVFeatObject *holder = new Holder(QStringLiteral("m"));
    holder->setProperty("value", value);
    KAVFeatObject *first = new Holder(QStringLiteral("m"));
    first->setProperty("value", 7);
    for (KAVFeatObject *root : {first, new KAVFeatObject(QStringLiteral("a")), holder,
                                new KAVFeatObject(QStringLiteral("z"))})
        environment.GetContainer()->AddFeatureRoot(root);
    KAVFeatEnvironmentManager::GetManager()->SetCurrentEnvironment(&environment);
    const QJsonObject leaf {
        {"className", "KAVFeatObject"}, {"features", QJsonArray()}, {"objectName", "z"}};
    QJsonObject held = leaf;
    held.insert("objectName", "m");
    held.insert("className", "Holder");
    QJsonValue json = QJsonValue::fromVariant(value);
    held.insert("value", json.isUndefined() ? QJsonValue(value.toString()) : json);
    QJsonObject a = leaf;
    a.insert("objectName", "a");
    const QJsonObject expected {{"z", leaf}, {"m", held}, {"a", a}};
    QCOMPARE(serialize(QStringLiteral("{}")), QJsonDocument(expected).toJson());
    KAVFeatEnvironmentManager::GetManager()->SetCurrentEnvironment(nullptr);
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
