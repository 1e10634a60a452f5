#include "kavatmtestactiondef.h"
#include "kavatmtestactionresult.h"
#include "kavatmtestproceduredef.h"
#include "kavatmtestprocedureresult.h"
#include "kavatmtimewaitactiondef.h"
#include "testfiles.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <memory>

class tst_KAVAtmTestProcedureDef : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void load_data();
    void load();
    void onlyRegularFilesAreRead_data();
    void onlyRegularFilesAreRead();
    void roundTripKeepsUnknownKeys();
    void constructedFromPath();
    void addAndRemove();
    void codeBuiltActionsAreSavedAsTheyAreNow();
    void resultHasOneActionResultPerAction();

private:
    QString write(const QByteArray &content);
    QTemporaryDir m_dir;
};

QString tst_KAVAtmTestProcedureDef::write(const QByteArray &content)
{
    static int counter = 0;
    return writeFile(m_dir.filePath(QStringLiteral("proc%1.json").arg(++counter)), content);
}

// Each row of the case file: its content (text as it stands, JSON written out) read as a
// procedure gives the reason it is not valid and the number of actions.
void tst_KAVAtmTestProcedureDef::load_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("actions");
    const QJsonArray rows
        = QJsonDocument::fromJson(readFile(KAV_GOLDEN "/procedure-files.json")).array();
    QVERIFY(!rows.isEmpty());
    for (const QJsonValue &row : rows) {
        const QJsonValue content = row["content"];
        QTest::newRow(qPrintable(row["row"].toString()))
            << (content.isString() ? content.toString().toUtf8()
                                   : QJsonDocument::fromVariant(content.toVariant()).toJson())
            << row["reason"].toString() << row["actions"].toInt();
    }
}

void tst_KAVAtmTestProcedureDef::load()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    QFETCH(int, actions);

    const QString path = write(content);
    std::unique_ptr<KAVAtmTestProcedureDef> procedure(KAVAtmTestProcedureDef::FromJsonFile(path));
    QCOMPARE(procedure->GetInvalidReason(), reason);
    QCOMPARE(procedure->GetVersion(), 1);
    QCOMPARE(procedure->GetActionsCount(), actions);
    QVERIFY(!procedure->IsChanged());
    if (!reason.contains(QLatin1String("Json")))
        QCOMPARE(procedure->GetFilePath(), path);
    // Without a name of its own it is named after its file, the same in every run.
    if (reason.isEmpty())
        QCOMPARE(procedure->GetName(), QFileInfo(path).completeBaseName());
}

void tst_KAVAtmTestProcedureDef::onlyRegularFilesAreRead_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "missing"
                             << "The procedure definition file does not exist.";
    // Read, it would never end.
    QTest::newRow("a device") << "/dev/zero"
                              << "is not a regular file";
    QTest::newRow("too large") << "large"
                               << "is larger than 16777216 bytes";
}

void tst_KAVAtmTestProcedureDef::onlyRegularFilesAreRead()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QString path = m_dir.filePath(kind);
    if (kind == "large") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(KAVAtmTestProcedureDef::MaximumFileSize + 1)); // sparse
    } else if (kind.startsWith('/')) {
        path = kind;
    }
    std::unique_ptr<KAVAtmTestProcedureDef> procedure(KAVAtmTestProcedureDef::FromJsonFile(path));
    QVERIFY2(procedure->GetInvalidReason().startsWith("[KAVAtmTestProcedureDef] ")
                 && procedure->GetInvalidReason().contains(reason),
             qPrintable(procedure->GetInvalidReason()));
    QVERIFY(procedure->GetFilePath().isEmpty());
}

void tst_KAVAtmTestProcedureDef::roundTripKeepsUnknownKeys()
{
    const QByteArray action = R"({"action":"Custom","platform":"Corvid","timeout":300,
                                  "nested":{"k":[1,"two",null]},"flag":true})";
    const QString path = write(R"({"schema":"com.brightel.kav.automation.procedure:7",
        "name":"n","label":"l","ignored":1,"actions":[)"
                               + action + "]}");
    std::unique_ptr<KAVAtmTestProcedureDef> procedure(KAVAtmTestProcedureDef::FromJsonFile(path));
    procedure->SaveToJsonFile();

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject saved = QJsonDocument::fromJson(file.readAll()).object();
    QCOMPARE(saved.value("schema").toString(),
             QStringLiteral("com.brightel.kav.automation.procedure:7"));
    QCOMPARE(saved.value("name").toString(), QStringLiteral("n"));
    QVERIFY(!saved.contains("ignored"));
    QCOMPARE(saved.value("actions").toArray().first().toObject(),
             QJsonDocument::fromJson(action).object());
}

void tst_KAVAtmTestProcedureDef::constructedFromPath()
{
    KAVAtmTestProcedureDef procedure(m_dir.filePath(QStringLiteral("order-entry 2.json")));
    QCOMPARE(procedure.GetLabel(), QStringLiteral("order-entry 2"));
    QCOMPARE(procedure.GetName(), QStringLiteral("orderentry2"));
    QVERIFY(procedure.IsChanged());
    procedure.SaveToJsonFile();
    QVERIFY(!procedure.IsChanged());

    std::unique_ptr<KAVAtmTestProcedureDef> loaded(
        KAVAtmTestProcedureDef::FromJsonFile(procedure.GetFilePath()));
    QVERIFY(loaded->GetInvalidReason().isEmpty());
    QCOMPARE(loaded->GetLabel(), QStringLiteral("order-entry 2"));
}

void tst_KAVAtmTestProcedureDef::addAndRemove()
{
    const QString path = write(R"({"schema":"com.brightel.kav.automation.procedure:1",
                                   "actions":[{"action":"A"}]})");
    std::unique_ptr<KAVAtmTestProcedureDef> procedure(KAVAtmTestProcedureDef::FromJsonFile(path));
    KAVAtmTestActionDef *first = procedure->GetAction(0);
    procedure->AddTestActionDef(*first, 0);
    QVERIFY(!procedure->IsChanged());

    auto *added = new KAVAtmTestActionDef;
    procedure->AddTestActionDef(*added, 99); // clamped to an append
    QCOMPARE(procedure->GetActionIndex(*added), 1);
    QVERIFY(procedure->IsChanged());
    QVERIFY(!procedure->GetAction(2));
    QVERIFY(!procedure->GetAction(-1));

    procedure->SaveToJsonFile();
    QVERIFY(!procedure->IsChanged());
    added->SetName(QStringLiteral("renamed"));
    QVERIFY(procedure->IsChanged()); // an action's own change counts

    KAVAtmTestActionDef outsider;
    procedure->SaveToJsonFile();
    procedure->RemoveTestActionDef(outsider, false);
    QVERIFY(procedure->IsChanged());
    procedure->RemoveTestActionDef(*added, true);
    QCOMPARE(procedure->GetActionsCount(), 1);
}

void tst_KAVAtmTestProcedureDef::codeBuiltActionsAreSavedAsTheyAreNow()
{
    KAVAtmTestProcedureDef procedure(m_dir.filePath(QStringLiteral("edited.json")));
    auto *wait = new KAVAtmTimeWaitActionDef;
    wait->SetWaitTime(1500);
    procedure.AddTestActionDef(*wait, 0);
    const auto savedWait = [&procedure] {
        std::unique_ptr<KAVAtmTestProcedureDef> read(
            KAVAtmTestProcedureDef::FromJsonFile(procedure.GetFilePath()));
        return read->GetActionsCount() == 1
            ? read->GetAction(0)->GetOriginalData().value("wtime").toInt()
            : -1;
    };

    // A failed save leaves the procedure changed and where it was, and must not freeze the form
    // the action had then.
    QString error;
    QVERIFY(!procedure.SaveToJsonFile(m_dir.filePath(QStringLiteral("no-such-dir/edited.json")),
                                      &error));
    QVERIFY(!error.isEmpty() && procedure.IsChanged());
    QCOMPARE(procedure.GetFilePath(), m_dir.filePath(QStringLiteral("edited.json")));
    QVERIFY(!QFile::exists(procedure.GetFilePath()));
    wait->SetWaitTime(5);
    QVERIFY(procedure.SaveToJsonFile());
    QCOMPARE(savedWait(), 5);
    // Nor a successful one.
    wait->SetWaitTime(7);
    QVERIFY(procedure.SaveToJsonFile());
    QCOMPARE(savedWait(), 7);
}

void tst_KAVAtmTestProcedureDef::resultHasOneActionResultPerAction()
{
    const QString path = write(R"({"schema":"com.brightel.kav.automation.procedure:1",
                                   "actions":[{"action":"A"},{"action":"B"},{"action":"C"}]})");
    std::unique_ptr<KAVAtmTestProcedureDef> procedure(KAVAtmTestProcedureDef::FromJsonFile(path));
    std::unique_ptr<KAVAtmTestProcedureResult> result(procedure->CreateResult());
    const QList<KAVAtmTestActionResult *> actions = result->GetActionResults();
    QCOMPARE(actions.size(), 3);
    QSet<QUuid> ids;
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(actions[i]->GetParentProcedureResult(), result.get());
        QCOMPARE(actions[i]->GetActionDef(), procedure->GetAction(i));
        ids.insert(actions[i]->GetId());
    }
    QCOMPARE(ids.size(), 3);
    result->AddActionResult(actions[1], 0);
    QCOMPARE(result->GetActionResults(), actions);
}

QTEST_GUILESS_MAIN(tst_KAVAtmTestProcedureDef)
#include "tst_kavatmtestproceduredef.moc"
