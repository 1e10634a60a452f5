#include "kavatmexecutorbase.h"
#include "kavatmtestactiondef.h"
#include "kavatmtestactionresult.h"
#include "kavatmtestproceduredef.h"
#include "testfiles.h"

#include <QtCore/QJsonDocument>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

class Capture : public KAVAtmExecutorBase {
public:
    using KAVAtmExecutorBase::SaveActionBaseline;
};

class tst_KAVAtmExecutorBase : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void capture_data();
    void capture();
};

void tst_KAVAtmExecutorBase::capture_data()
{
    QTest::addColumn<QString>("baseline"); // relative to the procedure's folder
    QTest::addColumn<QString>("data");
    QTest::addColumn<QByteArray>("existing"); // content already in the file, if any
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("expectedFile"); // null: no file
    QTest::addColumn<int>("expectedResult");
    QTest::addColumn<QString>("detailsEnd");
    QTest::addColumn<int>("sizeLimit"); // bytes a file may grow to, as on a full disk; 0: none
    QTest::addColumn<QString>("type"); // of the action; "DataAssert" unless given
    QTest::addColumn<int>("update"); // KAVAtmExecutorBase::BaselineUpdate

    const int pass = KAVAtmEnums::Pass;
    const int fail = KAVAtmEnums::Fail;
    const int warning = KAVAtmEnums::Warning;
    const int none = int(KAVAtmExecutorBase::BaselineUpdate::None);
    const int missing = int(KAVAtmExecutorBase::BaselineUpdate::Missing);
    const int changed = int(KAVAtmExecutorBase::BaselineUpdate::Changed);
    const int all = int(KAVAtmExecutorBase::BaselineUpdate::All);
    const QString json = R"({"a":[1,2]})";
    const QByteArray indented
        = QJsonDocument::fromJson(json.toUtf8()).toJson(QJsonDocument::Indented);
    const QString assertion = QStringLiteral("DataAssert");
    const QString script = QStringLiteral("ExecuteScript");
    QTest::newRow("no baseline") << ""
                                 << "data" << QByteArray() << pass << QByteArray() << pass << ""
                                 << 0 << assertion << missing;
    QTest::newRow("JSON, new folders") << "deep/er/base.json" << json << QByteArray() << pass
                                       << indented << pass << "" << 0 << assertion << missing;
    QTest::newRow("data that is not JSON is no baseline")
        << "base.txt"
        << "plain words" << QByteArray() << pass << QByteArray() << warning
        << "The data is not a JSON document" << 0 << script << missing;
    QTest::newRow("empty data writes no file")
        << "base.json"
        << "" << QByteArray() << pass << QByteArray() << pass << "" << 0 << assertion << missing;
    QTest::newRow("existing file is kept")
        << "base.json" << json << QByteArray("old") << pass << QByteArray("old") << pass << "" << 0
        << assertion << missing;
    QTest::newRow("folder cannot be made")
        << "blocker/base.json" << json << QByteArray() << pass << QByteArray() << warning
        << "Failed to create folder: " << 0 << assertion << missing;
    QTest::newRow("failed stays failed") << "blocker/base.json" << json << QByteArray() << fail
                                         << QByteArray() << fail << "" << 0 << assertion << missing;
    // A failed run's data is never the next run's baseline.
    QTest::newRow("failed script, no baseline yet")
        << "base.json" << json << QByteArray() << fail << QByteArray() << fail << "" << 0 << script
        << missing;
    QTest::newRow("failed script, missing: kept")
        << "base.json" << json << QByteArray("old") << fail << QByteArray("old") << fail
        << "The actual data is in " << 0 << script << missing;
    QTest::newRow("failed script, all: rewritten")
        << "base.json" << json << QByteArray("old") << fail << indented << fail
        << "The baseline was rewritten" << 0 << script << all;
    // A passing comparison reports no data; what an earlier failure left is stale.
    QTest::newRow("a later pass removes the actual data")
        << "base.json"
        << "" << QByteArray("old") << pass << QByteArray("old") << pass << "" << 0 << assertion
        << missing;
    // In CI a baseline nobody committed would be captured afresh on each checkout.
    QTest::newRow("none: a missing baseline fails")
        << "base.json" << json << QByteArray() << pass << QByteArray() << fail << "The baseline "
        << 0 << assertion << none;
    QTest::newRow("none: an existing one compares")
        << "base.json" << json << QByteArray("old") << pass << QByteArray("old") << pass << "" << 0
        << script << none;
    QTest::newRow("failed comparison, changed: rewritten")
        << "base.json" << json << QByteArray("old") << fail << indented << fail
        << "The baseline was rewritten" << 0 << assertion << changed;
    QTest::newRow("passed, all: rewritten") << "base.json" << json << QByteArray("old") << pass
                                            << indented << pass << "" << 0 << script << all;
    QTest::newRow("passed, changed: kept")
        << "base.json" << json << QByteArray("old") << pass << QByteArray("old") << pass << "" << 0
        << script << changed;
    // The file opens, then the write fails half-way: the capture must notice.
    QTest::newRow("write fails after opening")
        << "big.json"
        << "[\"" + QString(200000, 'x') + "\"]" << QByteArray() << pass << QByteArray() << warning
        << "Failed to save the baseline file: big.json" << 1024 << assertion << missing;
    QTest::newRow("target is a folder") << "folder" << json << QByteArray() << pass << QByteArray()
                                        << pass << "" << 0 << assertion << missing;
}

void tst_KAVAtmExecutorBase::capture()
{
    QFETCH(QString, baseline);
    QFETCH(QString, data);
    QFETCH(QByteArray, existing);
    QFETCH(int, result);
    QFETCH(QByteArray, expectedFile);
    QFETCH(int, expectedResult);
    QFETCH(QString, detailsEnd);
    QFETCH(int, sizeLimit);
    QFETCH(QString, type);
    QFETCH(int, update);

    QTemporaryDir dir;
    QDir(dir.path()).mkdir("folder");
    QFile blocker(dir.filePath("blocker")); // a file where a folder would have to be
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    if (!existing.isNull()) {
        writeFile(dir.filePath(baseline), existing);
        // Left by an earlier failure: gone unless this one fails against the baseline too.
        writeFile(KAVAtmExecutorBase::ActualDataPath(dir.filePath(baseline)), "stale");
    }

    KAVAtmTestProcedureDef procedure(dir.filePath("procedure.json"));
    KAVAtmTestActionDef def(&procedure);
    def.FromJson(QJsonObject {{"action", type}, {"baseline", baseline}});
    KAVAtmTestActionResult action(&def, nullptr);
    action.SetResult(KAVAtmEnums::ExecutionResult(result));
    action.SetDetails("ran");
    action.SetData(data);
    withFileSizeLimit(sizeLimit > 0 ? rlim_t(sizeLimit) : RLIM_INFINITY, [&] {
        return Capture().SaveActionBaseline(&action, KAVAtmExecutorBase::BaselineUpdate(update));
    });

    QCOMPARE(int(action.GetResult()), expectedResult);
    if (detailsEnd.isEmpty())
        QCOMPARE(action.GetDetails(), QStringLiteral("ran"));
    else
        QVERIFY2(action.GetDetails().startsWith("ran\n" + detailsEnd),
                 qPrintable(action.GetDetails()));
    // A failed run's data is kept beside the baseline, for a look or a copy over it.
    QCOMPARE(QFile::exists(KAVAtmExecutorBase::ActualDataPath(dir.filePath(baseline))),
             detailsEnd.startsWith("The actual data is in "));
    QFile file(dir.filePath(baseline));
    if (expectedFile.isNull() && baseline != "folder") {
        QVERIFY(!file.exists() || baseline.isEmpty());
    } else if (!expectedFile.isNull()) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), expectedFile);
    }
}

QTEST_GUILESS_MAIN(tst_KAVAtmExecutorBase)
#include "tst_kavatmexecutorbase.moc"
