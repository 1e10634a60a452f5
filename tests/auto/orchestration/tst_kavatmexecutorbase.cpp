#include "kavatmexecutorbase.h"
#include "kavatmtestactiondef.h"
#include "kavatmtestactionresult.h"
#include "kavatmtestproceduredef.h"

#include <QtCore/QJsonDocument>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <csignal>
#include <sys/resource.h>

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

    const int pass = KAVAtmEnums::Pass;
    const int fail = KAVAtmEnums::Fail;
    const int warning = KAVAtmEnums::Warning;
    const QByteArray indented
        = QJsonDocument::fromJson(R"({"a":[1,2]})").toJson(QJsonDocument::Indented);
    QTest::newRow("no baseline") << ""
                                 << "data" << QByteArray() << pass << QByteArray() << pass << ""
                                 << 0;
    QTest::newRow("JSON, new folders")
        << "deep/er/base.json"
        << R"({"a":[1,2]})" << QByteArray() << pass << indented << pass << "" << 0;
    QTest::newRow("plain words kept as they are")
        << "base.txt"
        << "plain words" << QByteArray() << pass << QByteArray("plain words") << pass << "" << 0;
    QTest::newRow("empty data writes no file")
        << "base.json"
        << "" << QByteArray() << pass << QByteArray() << pass << "" << 0;
    QTest::newRow("existing file is kept")
        << "base.json"
        << R"({"b":1})" << QByteArray("old") << pass << QByteArray("old") << pass << "" << 0;
    QTest::newRow("folder cannot be made") << "blocker/base.json"
                                           << "x" << QByteArray() << pass << QByteArray() << warning
                                           << "Failed to create folder: " << 0;
    QTest::newRow("failed stays failed")
        << "blocker/base.json"
        << "x" << QByteArray() << fail << QByteArray() << fail << "" << 0;
    // The file opens, then the write fails half-way: the capture must notice.
    QTest::newRow("write fails after opening")
        << "big.txt" << QString(200000, 'x') << QByteArray() << pass << QByteArray() << warning
        << "Failed to save the baseline file: big.txt" << 1024;
    QTest::newRow("target is a folder")
        << "folder"
        << "x" << QByteArray() << pass << QByteArray() << pass << "" << 0;
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

    QTemporaryDir dir;
    QDir(dir.path()).mkdir("folder");
    QFile blocker(dir.filePath("blocker")); // a file where a folder would have to be
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    if (!existing.isNull()) {
        QFile file(dir.filePath(baseline));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(existing);
    }

    KAVAtmTestProcedureDef procedure(dir.filePath("procedure.json"));
    KAVAtmTestActionDef def(&procedure);
    def.FromJson(QJsonObject {{"action", "DataAssert"}, {"baseline", baseline}});
    KAVAtmTestActionResult action(&def, nullptr);
    action.SetResult(KAVAtmEnums::ExecutionResult(result));
    action.SetDetails("ran");
    action.SetData(data);
    struct rlimit original;
    getrlimit(RLIMIT_FSIZE, &original);
    if (sizeLimit > 0) {
        struct rlimit limited = original;
        limited.rlim_cur = rlim_t(sizeLimit);
        signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    Capture().SaveActionBaseline(&action);
    setrlimit(RLIMIT_FSIZE, &original);

    QCOMPARE(int(action.GetResult()), expectedResult);
    if (detailsEnd.isEmpty())
        QCOMPARE(action.GetDetails(), QStringLiteral("ran"));
    else
        QVERIFY2(action.GetDetails().startsWith("ran\n" + detailsEnd),
                 qPrintable(action.GetDetails()));
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
