// The runner's reports, the merge of shard reports and the dealing of files to shards, without
// processes: what a CI service reads must fail whenever the run did.

#include "cioutputs.h"
#include "commandline.h"
#include "console.h"
#include "kavatmtestproceduredef.h"
#include "reportjson.h"
#include "reportmerge.h"
#include "runner.h"
#include "testfiles.h"

#include <QtCore/QTemporaryDir>
#include <QtCore/QTemporaryFile>
#include <QtCore/QXmlStreamReader>
#include <QtGui/QImage>
#include <QtTest/QtTest>

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What the work writes to standard error.
template<typename Work> QByteArray standardError(Work work)
{
    QTemporaryFile file;
    if (!file.open())
        return "<no file>";
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(file.handle(), STDERR_FILENO);
    work();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    file.seek(0);
    return file.readAll();
}

} // namespace

class tst_RunnerReports : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void merges_data();
    void merges();
    void evidenceThroughTheMerge();
    void shards_data();
    void shards();
    void hostFailuresARetrySetsAside();
    void shardsByDuration();
    void planRefusals_data();
    void planRefusals();
    void consoleLines_data();
    void consoleLines();
    void gitHubCommands_data();
    void gitHubCommands();
};

void tst_RunnerReports::merges_data()
{
    // Each report: a clean run of one passed procedure "p" from a.json, with these keys over it;
    // "link" makes the first report a link out of its folder, "into" merges into that folder.
    QTest::addColumn<QJsonArray>("reports");
    QTest::addColumn<QString>("special");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("shown"); // in the HTML page (exit code below 2) or on stderr
    const auto one = [](const QJsonObject &keys) { return QJsonArray {keys}; };
    const auto actions = [](int status, int result) {
        return QJsonArray {QJsonObject {
            {"name", "p"},
            {"actionResults",
             QJsonArray {QJsonObject {
                 {"actionType", "DataAssert"},
                 {"status", status},
                 {"result", result},
                 {"details", "Expected: [[2]] (array). Actual: [2] (number). Path: $/n"}}}}}};
    };
    const auto shard = [](int index, int count, const QString &file) {
        return QJsonObject {{"shard", QJsonObject {{"index", index}, {"count", count}}},
                            {"procedures",
                             QJsonArray {QJsonObject {
                                 {"name", "p"}, {"file", file}, {"actionResults", QJsonArray()}}}}};
    };
    // No code taken on trust: what a report holds fails the merge as much as its code.
    QTest::newRow("clean") << one({}) << "" << 0 << "PASSED";
    QTest::newRow("a failed action")
        << one({{"procedures", actions(3, 2)}}) << "" << 1 << "<dt>Actual</dt><dd>2 (number)</dd>";
    QTest::newRow("an action not run") << one({{"procedures", actions(0, 0)}}) << "" << 1 << "";
    QTest::newRow("not finished") << one({{"finished", false}}) << "" << 1 << "";
    QTest::newRow("never started")
        << one({{"notStarted", QJsonArray {QJsonObject {{"name", "q"}}}}}) << "" << 1 << "";
    QTest::newRow("a client error")
        << one({{"clientErrors", QJsonArray {"crashed"}}}) << "" << 1 << "";
    QTest::newRow("an invalid file")
        << one({{"invalidProcedures", QJsonArray {QJsonObject {{"file", "x"}, {"reason", "y"}}}}})
        << "" << 1 << "";
    QTest::newRow("ended with 2") << one({{"exitCode", 2}}) << "" << 2 << "";
    QTest::newRow("interrupted") << one({{"exitCode", 143}, {"interruptedBySignal", 15}}) << ""
                                 << 143 << "";
    // Names are shown as they are: "%1" takes no figure, a lone surrogate ("LONE") does not
    // spoil the XML.
    QTest::newRow("names with %1 and a lone surrogate")
        << one({{"client", "%1"},
                {"procedures",
                 QJsonArray {QJsonObject {{"name", "%1 LONE"},
                                          {"actionResults",
                                           QJsonArray {QJsonObject {{"actionType", "TimeWait"},
                                                                    {"name", "%2 LONE"},
                                                                    {"status", 3},
                                                                    {"result", 2},
                                                                    {"details", "%3 LONE"}}}}}}}})
        << "" << 1 << "<td>0 passed, 0 with warnings, 1 failed, 0 not run</td>";
    // Reports that are no whole suite.
    QTest::newRow("a split into millions") << one(shard(1, 3000000, "a.json")) << "" << 2
                                           << "a split into 3000000 shards, but 1 report folder";
    QTest::newRow("shard 5/2") << QJsonArray {shard(1, 2, "a.json"), shard(5, 2, "b.json")} << ""
                               << 2 << "names the shard 5/2, which no split has";
    QTest::newRow("shard 0/0") << one(shard(0, 0, "a.json")) << "" << 2
                               << "names the shard 0/0, which no split has";
    QTest::newRow("one procedure in two shards")
        << QJsonArray {shard(1, 2, "a.json"), shard(2, 2, "a.json")} << "" << 2
        << "the procedure file a.json is in more than one report";
    QTest::newRow("the same folder twice")
        << QJsonArray {QJsonObject(), "again"} << "" << 2 << "is given more than once";
    QTest::newRow("a report that links out of its folder")
        << one({}) << "link" << 2 << "is a link out of its folder";
    QTest::newRow("into a folder it reads")
        << one({}) << "into" << 2 << "would write into the report folder";
}

void tst_RunnerReports::merges()
{
    QFETCH(QJsonArray, reports);
    QFETCH(QString, special);
    QFETCH(int, exitCode);
    QFETCH(QString, shown);
    QTemporaryDir dir;
    QStringList folders;
    for (int i = 0; i < reports.size(); ++i) {
        if (reports.at(i).isString()) {
            folders << folders.last();
            continue;
        }
        QJsonObject report {
            {"finished", true},
            {"exitCode", 0},
            {"procedures",
             QJsonArray {QJsonObject {
                 {"name", "p"}, {"file", "a.json"}, {"actionResults", QJsonArray()}}}}};
        const QJsonObject keys = reports.at(i).toObject();
        for (auto it = keys.begin(); it != keys.end(); ++it)
            report.insert(it.key(), it.value());
        folders << dir.filePath(QStringLiteral("s%1").arg(i));
        QVERIFY(QDir().mkpath(folders.last()));
        writeFile(folders.last() + "/report.json",
                  QJsonDocument(report).toJson().replace("LONE", "\\udc00"));
    }
    if (special == "link") {
        QVERIFY(QFile::rename(folders.first() + "/report.json", dir.filePath("elsewhere.json")));
        QVERIFY(QFile::link(dir.filePath("elsewhere.json"), folders.first() + "/report.json"));
    }
    const QString merged = special == "into" ? folders.first() : dir.filePath("merged");
    int code = -1;
    const QString errors
        = QString::fromUtf8(standardError([&] { code = MergeReports(merged, folders); }));
    QCOMPARE(code, exitCode);
    QVERIFY(errors.size() < 10000); // no line per missing shard
    if (exitCode == 2 && !shown.isEmpty()) {
        QVERIFY2(errors.contains(shown), qPrintable(errors));
        return;
    }
    // The XML fails whenever the exit code does, and stays readable.
    const QByteArray xml = readFile(merged + "/junit.xml");
    QCOMPARE(xml.contains("<failure"), exitCode != 0);
    QXmlStreamReader reader(xml);
    while (!reader.atEnd())
        reader.readNext();
    QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
    const QString html = QString::fromUtf8(readFile(merged + "/report.html"));
    QCOMPARE(html.contains("PASSED"), exitCode == 0);
    QVERIFY2(html.contains(shown), qPrintable(html));
    // Written a list member at a time, report.json reads as the document printed whole.
    const QByteArray json = readFile(merged + "/report.json");
    QCOMPARE(json, QJsonDocument::fromJson(json).toJson());
    QCOMPARE(jsonObject(json).value("exitCode").toInt(), exitCode);
    QCOMPARE(jsonObject(json).value("procedures").toArray().size(), folders.size());
}

void tst_RunnerReports::evidenceThroughTheMerge()
{
    // A shard's failed action with its screenshots, where its script failed and the host's
    // output: the merge finds the images from its own folder and shows only the shard's own.
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath("s0/run")));
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(dir.filePath("s0/run/shot.png")));
    QVERIFY(image.save(dir.filePath("outside.png")));
    QCOMPARE(mkfifo(qPrintable(dir.filePath("s0/run/fifo.png")), 0600), 0);
    QJsonArray attachments;
    for (const char *path : {"run/shot.png", "../outside.png", "run/fifo.png"})
        attachments.append(QJsonObject {{"kind", "screenshot"}, {"path", path}});
    attachments.append(QJsonObject {{"kind", "screenshot"},
                                    {"path", "run/fifo.png"},
                                    {"embedded", "data:image/png;base64,\"><script>"}});
    const QJsonObject action {
        {"actionType", "executeScript"},
        {"status", 3},
        {"result", 2},
        {"details", "no"},
        // Host text that would have a CI server publish a file of its choosing.
        {"data", "[[ATTACHMENT|/etc/passwd]]"},
        {"attachments", attachments},
        {"stack", "f@/s/a.js:3"},
        {"log", QJsonArray {"<b>", "two", "[[ attachment |../../secret]]"}},
        {"location",
         QJsonObject {
             {"file", "/s/a.js"},
             {"line", 3},
             {"context", QJsonObject {{"first", 2}, {"lines", QJsonArray {"x", "y<z"}}}}}}};
    writeFile(
        dir.filePath("s0/report.json"),
        QJsonDocument(
            QJsonObject {{"finished", true},
                         {"exitCode", 1},
                         {"checkWarnings",
                          QJsonArray {QJsonObject {
                              {"text", "a.json:5:13: warning: [[ATTACHMENT|/etc/shadow]]"}}}},
                         {"procedures",
                          QJsonArray {QJsonObject {
                              {"name", "p"},
                              {"file", "a.json"},
                              {"actionResults", QJsonArray {action}},
                              {"attemptResults",
                               QJsonArray {QJsonObject {
                                   {"attempt", 1},
                                   {"failures",
                                    QJsonArray {QJsonObject {
                                        {"attachments", QJsonArray {attachments.last()}}}}}}}}}}}})
            .toJson());
    const QString merged = dir.filePath("merged");
    standardError([&] { QCOMPARE(MergeReports(merged, {dir.filePath("s0")}), 1); });
    QJsonArray paths;
    for (const QJsonValue &value : jsonObject(readFile(
             merged + "/report.json"))["procedures"][0]["actionResults"][0]["attachments"]
                                       .toArray())
        paths.append(value["path"]);
    // Only the shard's own files are named, and no image comes from the report itself.
    QCOMPARE(paths, QJsonArray({"../s0/run/shot.png", "../s0/run/fifo.png", "../s0/run/fifo.png"}));
    QVERIFY(!readFile(merged + "/report.json").contains("embedded"));
    // A page shows only images under the folders it is given.
    const QJsonObject outside {
        {"procedures",
         QJsonArray {QJsonObject {
             {"actionResults",
              QJsonArray {QJsonObject {{"attachments", QJsonArray {attachments.at(1)}}}}}}}}};
    for (const QString &root : {dir.filePath("s0"), dir.filePath("s0/..")})
        QCOMPARE(ReportJson::EmbedScreenshots(
                     outside, dir.filePath("s0"), {root},
                     1 << 20)["procedures"][0]["actionResults"][0]["attachments"][0]
                     .toObject()
                     .contains("embedded"),
                 root.endsWith(".."));
    const QString xml = QString::fromUtf8(readFile(merged + "/junit.xml"));
    for (const char *text :
         {"[[ATTACHMENT|../s0/run/shot.png]]", "<system-err>&lt;b&gt;\ntwo",
          "no\nat /s/a.js:3\nScript stack:\nf@/s/a.js:3", "[[(not an attachment)|/etc/passwd]]",
          "[[(not an attachment)|../../secret]]",
          "<testcase name=\"1 warning(s)\" classname=\"(check)\"",
          "a.json:5:13: warning: [[(not an attachment)|/etc/shadow]]"})
        QVERIFY2(xml.contains(text), qPrintable(xml));
    QCOMPARE(xml.count("[[ATTACHMENT|"), 3);
    const QString html = QString::fromUtf8(readFile(merged + "/report.html"));
    QCOMPARE(html.count("src=\"data:image/png;base64,"), 1);
    QVERIFY(!html.contains("outside.png") && !xml.contains("outside.png"));
    QVERIFY(!html.contains("<script"));
    QVERIFY(html.contains("Procedure check: 1 warning(s)"));
    for (const char *text :
         {"<a href=\"../s0/run/fifo.png\">",
          "<tr class=\"at\"><td class=\"num\">3</td><td>y&lt;z</td>", "<pre>&lt;b&gt;\ntwo\n"})
        QVERIFY2(html.contains(text), text);
}

void tst_RunnerReports::shards_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("selected");
    // Dealt by file name, then path, whatever order the command line gives them in.
    const QStringList files {"/x/e.json", "/y/a.json", "/x/d.json", "/x/a.json", "/x/b.json"};
    QStringList reversed = files;
    std::reverse(reversed.begin(), reversed.end());
    QTest::newRow("1/3") << files << 1 << 3 << QStringList {"/x/a.json", "/x/d.json"};
    QTest::newRow("2/3") << files << 2 << 3 << QStringList {"/y/a.json", "/x/e.json"};
    QTest::newRow("3/3, reversed") << reversed << 3 << 3 << QStringList {"/x/b.json"};
    QTest::newRow("a file named twice")
        << QStringList {"/x/a.json", "/x/a.json"} << 2 << 2 << QStringList();
    // More shards than files is legal: a fixed CI matrix has empty shards.
    QTest::newRow("9/9") << files << 9 << 9 << QStringList();
    QTest::newRow("near the int limit") << files << 2 << INT_MAX << QStringList {"/y/a.json"};
    QTest::newRow("last of the int limit") << files << INT_MAX << INT_MAX << QStringList();
}

void tst_RunnerReports::shards()
{
    QFETCH(QStringList, files);
    QFETCH(int, index);
    QFETCH(int, count);
    QFETCH(QStringList, selected);
    QCOMPARE(RunPlan::SelectShard(files, index, count), selected);
}

void tst_RunnerReports::hostFailuresARetrySetsAside()
{
    KAVAtmTestProcedureDef a("a.json"), b("b.json");
    const QList<KAVAtmTestProcedureDef *> retried {&b};
    // Host 1 ran a, which passed, then crashed; host 2 crashed in b, which runs again.
    const QList<std::pair<qlonglong, const KAVAtmTestProcedureDef *>> ran {{1, &a}, {2, &b}};
    QVERIFY(!RunReport::IsRetriedHostFailure(1, ran, retried));
    QVERIFY(RunReport::IsRetriedHostFailure(2, ran, retried));
    // After b failed on it, host 1 passed a and crashed: a crash after a pass stays.
    QVERIFY(!RunReport::IsRetriedHostFailure(1, {{1, &b}, {1, &a}}, retried));
    QVERIFY(!RunReport::IsRetriedHostFailure(0, ran, retried)); // the run's own
}

void tst_RunnerReports::shardsByDuration()
{
    // One long file and four short ones: the long one alone, the rest on the other shard; a
    // file known only by name elsewhere counts, one not known at all counts as the median.
    const QStringList files {"/x/e.json", "/x/long.json", "/x/a.json", "/x/b.json", "/x/c.json"};
    const QHash<QString, double> durations {
        {"/x/long.json", 100}, {"a.json", 10}, {"/x/b.json", 20}, {"/x/c.json", 30}};
    QCOMPARE(RunPlan::BalanceShard(files, 1, 2, durations), QStringList {"/x/long.json"});
    QCOMPARE(RunPlan::BalanceShard(files, 2, 2, durations),
             (QStringList {"/x/a.json", "/x/b.json", "/x/c.json", "/x/e.json"}));
    // Every file in exactly one shard, whatever the order given.
    QStringList all;
    for (int index = 1; index <= 7; ++index)
        all += RunPlan::BalanceShard(QStringList(files.crbegin(), files.crend()), index, 7,
                                     durations);
    all.sort();
    QStringList sorted = files;
    sorted.sort();
    QCOMPARE(all, sorted);
}

void tst_RunnerReports::planRefusals_data()
{
    // Found before anything is launched; "@" is a folder that holds proc.json, notes.txt and
    // the configuration, which names a client "Host".
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("no clients") << QStringList {"--config", "@/empty.json", "@/proc.json"}
                                << "no clients are defined in";
    QTest::newRow("unknown client")
        << QStringList {"--client", "Nobody", "@/proc.json"} << "no client named \"Nobody\"";
    QTest::newRow("configuration is a folder")
        << QStringList {"--config", "@", "@/proc.json"} << "is not a regular file";
    // Outputs that would destroy an input or each other.
    QTest::newRow("--html over report.json")
        << QStringList {"--html", "@/results/report.json", "@/proc.json"}
        << "the report.json of --output and --html name the same file";
    QTest::newRow("--junit over a procedure file")
        << QStringList {"--junit", "@/proc.json", "@/proc.json"}
        << "--junit would overwrite a procedure file of this run";
    QTest::newRow("--junit and --html the same file")
        << QStringList {"--junit", "@/x.xml", "--html", "@/x.xml", "@/proc.json"}
        << "--junit and --html name the same file";
    QTest::newRow("recording over a file that is not a procedure")
        << QStringList {"--mode", "recording", "--record", "@/notes.txt"}
        << "exists and is not a procedure file; --force replaces it";
    QTest::newRow("recording over the run's report")
        << QStringList {"--mode", "recording", "--record", "@/results/report.json"}
        << "the report.json of --output and --record name the same file";
    QTest::newRow("recording over the procedure it runs")
        << QStringList {"--mode", "recording", "--record", "@/proc.json", "@/proc.json"}
        << "--record would overwrite a procedure file of this run";
    QTest::newRow("a report folder that cannot be written")
        << QStringList {"--junit", "/proc/self/junit.xml", "@/proc.json"}
        << "cannot write into the folder /proc/self";
    QTest::newRow("--last-failed of no report")
        << QStringList {"--last-failed", "@/notes.txt", "@/proc.json"} << "--last-failed: ";
}

void tst_RunnerReports::planRefusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QByteArray notes = "not a procedure";
    writeFile(dir.filePath("notes.txt"), notes);
    writeFile(dir.filePath("proc.json"), procedureJson("P", {}));
    writeFile(dir.filePath("empty.json"), R"({"clients": []})");
    writeFile(dir.filePath("host.json"), R"({"clients": [{"displayName": "Host"}]})");
    arguments.replaceInStrings(QRegularExpression("^@"), dir.path());
    const CommandLine line
        = ParseCommandLine(QStringList {"runner", "--config", dir.filePath("host.json"), "--output",
                                        dir.filePath("results")}
                           + arguments);
    QVERIFY2(line.error.isEmpty(), qPrintable(line.error));
    RunPlan plan(line.options);
    const QString shown = QString::fromUtf8(standardError([&] {
        QVERIFY(!plan.ReadConfiguration() || !plan.CheckPaths()
                || plan.SelectFiles() == RunPlan::Files::Refused);
    }));
    QVERIFY2(shown.contains(message), qPrintable(shown));
    QCOMPARE(readFile(dir.filePath("notes.txt")), notes);
}

void tst_RunnerReports::consoleLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QByteArray>("shown");
    // Shown, never obeyed: a name cannot move the cursor over a FAIL line or cut it short.
    QTest::newRow("escape sequence") << QString("open\x1b[2K%1") << QByteArray("open\\x1b[2K%1");
    QTest::newRow("NUL and C1") << QString::fromUtf16(u"a\u0000b\u0085c", 5)
                                << QByteArray("a\\x00b\\x85c");
    QTest::newRow("tab and line break") << QString("a\tb\n") << QByteArray("a\tb\n");
    QTest::newRow("lone surrogate") << QString(QChar(0xdc00)) << QByteArray("\xef\xbf\xbd");
    QTest::newRow("pair") << QString::fromUtf16(u"\U0001F600") << QByteArray("\xf0\x9f\x98\x80");
}

void tst_RunnerReports::consoleLines()
{
    QFETCH(QString, line);
    QFETCH(QByteArray, shown);
    QCOMPARE(Console::printable(line), shown);
    // A name's line break cannot print a line of its own, a fake summary say.
    QCOMPARE(Console::oneLine("p\r\nSummary: 0 failed"),
             QStringLiteral("p\\r\\nSummary: 0 failed"));
}

void tst_RunnerReports::gitHubCommands_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("command");
    QTest::newRow("plain") << "p.json" << 9 << "2 pixel(s) differ"
                           << "::error file=p.json,line=9,title=t::2 pixel(s) differ";
    // A message cannot end the command and put one of its own on the next line.
    QTest::newRow("lines") << "p.json" << 0 << "a\r\n::error::forged 100%"
                           << "::error file=p.json,title=t::a%0D%0A::error::forged 100%25";
    QTest::newRow("a property's separators") << "a,b:c.json" << 1 << "m"
                                             << "::error file=a%2Cb%3Ac.json,line=1,title=t::m";
}

void tst_RunnerReports::gitHubCommands()
{
    QFETCH(QString, file);
    QFETCH(int, line);
    QFETCH(QString, message);
    QFETCH(QString, command);
    QCOMPARE(CiOutputs::GitHubError(file, line, "t", message), command);
}

QTEST_GUILESS_MAIN(tst_RunnerReports)
#include "tst_runnerreports.moc"
