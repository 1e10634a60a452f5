// Result files and baselines: where they go, what they are named, and that names taken from
// procedure files never reach outside the output folder.

#include "kavatmresultwriter_p.h"
#include "kavatmtestactiondef.h"
#include "kavatmtestactionresult.h"
#include "kavatmtestproceduredef.h"
#include "kavatmtestprocedureresult.h"
#include "testfiles.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <memory>

class tst_KAVAtmResultWriter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void capturedTypes_data();
    void capturedTypes();
    void hostileNamesStayInside_data();
    void hostileNamesStayInside();
    void namesNeverReplaceEachOther();
    void resultFileHoldsTheResult();
    void captureTakesBaselineFirst();
    void longNamesAreShortenedApart();
    void resultThatCannotBeKeptIsAWarning();

private:
    // A procedure read from a file, so that names and actions come as a user wrote them.
    KAVAtmTestProcedureDef *procedure(const QString &name, const QJsonArray &actions);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_output;
    std::vector<std::unique_ptr<KAVAtmTestProcedureDef>> m_procedures;
};

void tst_KAVAtmResultWriter::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_output = m_dir->filePath("out/results");
    QVERIFY(QDir().mkpath(m_output));
    m_procedures.clear();
}

KAVAtmTestProcedureDef *tst_KAVAtmResultWriter::procedure(const QString &name,
                                                          const QJsonArray &actions)
{
    const QString path
        = writeFile(m_dir->filePath(QStringLiteral("procedure%1.json").arg(m_procedures.size())),
                    procedureJson(name, actions));
    m_procedures.emplace_back(KAVAtmTestProcedureDef::FromJsonFile(path));
    return m_procedures.back().get();
}

void tst_KAVAtmResultWriter::capturedTypes_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("captured");
    QTest::newRow("ExecuteScript") << "ExecuteScript" << true;
    QTest::newRow("DATAASSERT") << "DATAASSERT" << true;
    QTest::newRow("WaitNest") << "WaitNest" << false;
    QTest::newRow("DataAsserts") << "DataAsserts" << false;
    QTest::newRow("empty") << "" << false;
}

void tst_KAVAtmResultWriter::capturedTypes()
{
    QFETCH(QString, type);
    QFETCH(bool, captured);
    QCOMPARE(KAVAtmResultWriter::IsCapturedType(type), captured);
}

void tst_KAVAtmResultWriter::hostileNamesStayInside_data()
{
    QTest::addColumn<QString>("procedureName");
    QTest::addColumn<QString>("actionName");
    QTest::newRow("action climbs up") << "p"
                                      << "../../escaped";
    QTest::newRow("action is ..") << "p"
                                  << "..";
    QTest::newRow("action is absolute") << "p"
                                        << "/tmp/escaped";
    QTest::newRow("action with backslashes") << "p"
                                             << R"(..\..\escaped)";
    QTest::newRow("action with a line break") << "p"
                                              << "two\nlines";
    QTest::newRow("action of blanks") << "p"
                                      << "   ";
    QTest::newRow("procedure climbs up") << "../../up"
                                         << "a";
    QTest::newRow("procedure is ..") << ".."
                                     << "a";
    QTest::newRow("drive and colon") << "C:"
                                     << "con:x";
}

void tst_KAVAtmResultWriter::hostileNamesStayInside()
{
    QFETCH(QString, procedureName);
    QFETCH(QString, actionName);
    KAVAtmTestProcedureDef *def
        = procedure(procedureName, {QJsonObject {{"action", "DataAssert"}, {"name", actionName}}});
    QVERIFY(def && def->GetInvalidReason().isEmpty());
    std::unique_ptr<KAVAtmTestProcedureResult> result(def->CreateResult());
    result->RecordStartTime();
    KAVAtmResultWriter writer(m_output);
    QString error;
    const QString written = writer.SaveActionResult(result->GetActionResults().first(), &error);
    QVERIFY2(!written.isEmpty(), qPrintable(error));

    // Exactly two levels below the output folder: the run's folder, then the file.
    const QString output = QDir(m_output).canonicalPath();
    const QString file = QFileInfo(written).canonicalFilePath();
    QVERIFY2(file.startsWith(output + '/'), qPrintable(file));
    QCOMPARE(file.mid(output.size() + 1).count('/'), 1);
    // Nothing else appeared anywhere in the temporary folder.
    QDirIterator all(m_dir->path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    QStringList files;
    while (all.hasNext())
        files.append(all.next());
    QCOMPARE(files.filter(".json").size(), 2); // the procedure and its result
}

void tst_KAVAtmResultWriter::namesNeverReplaceEachOther()
{
    KAVAtmTestProcedureDef *def
        = procedure("names",
                    {QJsonObject {{"action", "DataAssert"}, {"name", "Step"}},
                     QJsonObject {{"action", "DataAssert"}, {"name", "step"}},
                     QJsonObject {{"action", "DataAssert"}},
                     QJsonObject {{"action", "DataAssert"}, {"name", "Step"}}});
    std::unique_ptr<KAVAtmTestProcedureResult> result(def->CreateResult());
    result->RecordStartTime();
    KAVAtmResultWriter writer(m_output);
    QStringList names;
    for (const KAVAtmTestActionResult *action : result->GetActionResults())
        names.append(QFileInfo(writer.SaveActionResult(action)).fileName());
    QCOMPARE(names, QStringList({"Step.json", "step_2.json", "DataAssert.json", "Step_3.json"}));

    // A second writer finds the files of the first in the same folder (same run, same second).
    KAVAtmResultWriter second(m_output);
    const QFileInfo again(second.SaveActionResult(result->GetActionResults().first()));
    QVERIFY(!names.contains(again.fileName()));
    QCOMPARE(again.dir().entryList(QDir::Files).size(), 5);
}

void tst_KAVAtmResultWriter::resultFileHoldsTheResult()
{
    KAVAtmTestProcedureDef *def
        = procedure("held", {QJsonObject {{"action", "executeScript"}, {"name", "case"}}});
    std::unique_ptr<KAVAtmTestProcedureResult> result(def->CreateResult());
    result->RecordStartTime();
    KAVAtmTestActionResult *action = result->GetActionResults().first();
    action->SetStatus(KAVAtmEnums::Completed);
    action->SetResult(KAVAtmEnums::Warning);
    action->SetDetails("details");
    action->SetData("data");
    action->RecordStartTime();
    action->RecordFinishTime();
    KAVAtmResultWriter writer(m_output);
    const QString path = writer.SaveActionResult(action);
    QCOMPARE(QFileInfo(path).dir().dirName(),
             "held_" + result->GetStartTime().toString("yyyyMMdd_HHmmss"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QJsonDocument::fromJson(file.readAll()).object(), action->ToJson());

    // Without an output path: below the current directory, never the file-system root.
    KAVAtmResultWriter unset;
    QVERIFY(unset.GetResultFolder(action).startsWith(QDir::currentPath() + '/'));
}

void tst_KAVAtmResultWriter::captureTakesBaselineFirst()
{
    // A file where the baseline's folder would be (the procedure file itself): the capture
    // fails and says so.
    KAVAtmTestProcedureDef *def = procedure("capture",
                                            {QJsonObject {{"action", "DataAssert"},
                                                          {"name", "a"},
                                                          {"baseline", "procedure0.json/b.json"}}});
    std::unique_ptr<KAVAtmTestProcedureResult> result(def->CreateResult());
    result->RecordStartTime();
    KAVAtmTestActionResult *action = result->GetActionResults().first();
    KAVAtmResultWriter writer(m_output);
    action->SetResult(KAVAtmEnums::Pass);
    action->SetData(R"({"x":1})");
    writer.Capture(action);
    QCOMPARE(action->GetResult(), KAVAtmEnums::Warning);
    QFile file(writer.GetResultFolder(action) + "/a.json");
    QVERIFY(file.open(QIODevice::ReadOnly));
    // The file shows what the capture changed.
    QCOMPARE(QJsonDocument::fromJson(file.readAll()).object().value("result").toInt(),
             int(KAVAtmEnums::Warning));
}

void tst_KAVAtmResultWriter::longNamesAreShortenedApart()
{
    // 90 CJK characters are 270 bytes in UTF-8: more than a file name may hold.
    const QString long1 = QString(89, QChar(0x6f22)) + QChar(0x4e00);
    const QString long2 = QString(89, QChar(0x6f22)) + QChar(0x4e8c);
    const QString longProcedure = QString(120, QChar(0x5b57));
    KAVAtmTestProcedureDef *def
        = procedure(longProcedure,
                    {QJsonObject {{"action", "DataAssert"}, {"name", long1}},
                     QJsonObject {{"action", "DataAssert"}, {"name", long2}}});
    std::unique_ptr<KAVAtmTestProcedureResult> result(def->CreateResult());
    result->RecordStartTime();
    KAVAtmResultWriter writer(m_output);
    QStringList names;
    for (const KAVAtmTestActionResult *action : result->GetActionResults()) {
        QString error;
        const QString path = writer.SaveActionResult(action, &error);
        QVERIFY2(!path.isEmpty(), qPrintable(error));
        names.append(QFileInfo(path).fileName());
        QVERIFY(QFileInfo(path).dir().dirName().toUtf8().size() <= 255);
    }
    QCOMPARE(names.size(), 2);
    QVERIFY(names.at(0) != names.at(1));
    for (const QString &name : names) {
        QVERIFY(name.toUtf8().size() <= 255);
        QVERIFY(name.startsWith(QString(20, QChar(0x6f22))));
    }
    // A name that fits is kept as it is.
    QCOMPARE(KAVAtmResultWriter::FileNamePart(QString(60, QChar(0x6f22))),
             QString(60, QChar(0x6f22)));
}

void tst_KAVAtmResultWriter::resultThatCannotBeKeptIsAWarning()
{
    KAVAtmTestProcedureDef *def
        = procedure("kept", {QJsonObject {{"action", "DataAssert"}, {"name", "a"}}});
    std::unique_ptr<KAVAtmTestProcedureResult> result(def->CreateResult());
    result->RecordStartTime();
    KAVAtmTestActionResult *action = result->GetActionResults().first();
    action->SetResult(KAVAtmEnums::Pass);
    action->SetData(QString(100000, 'x'));
    KAVAtmResultWriter writer(m_output);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Failed to create file to write"));
    withFileSizeLimit(1024, [&] { return writer.Capture(action); });
    QCOMPARE(action->GetResult(), KAVAtmEnums::Warning);
    QVERIFY2(action->GetDetails().contains("Failed to create file to write"),
             qPrintable(action->GetDetails()));
}

QTEST_GUILESS_MAIN(tst_KAVAtmResultWriter)
#include "tst_kavatmresultwriter.moc"
