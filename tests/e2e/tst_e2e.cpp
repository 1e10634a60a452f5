// The runner and the demo host as real processes.

#include "kavatmclientorchestratorconnection.h"
#include "kavatmenums.h"
#include "kavatmtestactionresult.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QProcess>
#include <QtCore/QRegularExpression>
#include <QtCore/QTemporaryDir>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtNetwork/QTcpSocket>
#include <QtTest/QtTest>

#include <csignal>
#include <functional>

#include <sys/stat.h>
#include <sys/types.h>

namespace {

const QString Runner = QStringLiteral(KAV_RUNNER);
const QString Examples = QStringLiteral(KAV_EXAMPLES);
const QString DemoHost = QStringLiteral(KAV_DEMOHOST);

QByteArray procedureJson(const QString &label, const QJsonArray &actions)
{
    return QJsonDocument(QJsonObject {{"schema", "com.brightel.kav.automation.procedure:1"},
                                      {"name", label.toLower().remove(' ')},
                                      {"label", label},
                                      {"actions", actions}})
        .toJson();
}

// The demo host as the configuration's client, started with arguments.
QJsonObject host(const QJsonArray &arguments)
{
    return QJsonObject {
        {"displayName", "Host"}, {"executable", DemoHost}, {"arguments", arguments}};
}

} // namespace

class tst_E2E : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void passingRun();
    void exitCodes_data();
    void exitCodes();
    void failingRun();
    void runsCutShort_data();
    void runsCutShort();
    void peersThatAreNotTheHost();
    void reportThatCannotBeWritten();
    void dataAssertBaselineLifecycle();
    void greensThatCheckedNothing();
    void visualAssertions();
    void setupErrors_data();
    void setupErrors();
    void recordAndReplay();
    void listAndGrep();
    void shardsSplitTheFiles();
    void retries_data();
    void retries();
    void repeatsAndLastFailed();
    void shardsMergeIntoOneRun();
    void recordingSurvivesAKilledRunner();
    void jobsSurviveAKilledHost();

private:
    QString writeFile(const QString &name, const QByteArray &content);
    // The files of a data folder into the test's folder, with "@EXAMPLES@" and "@DIR@" filled.
    void copyData(const QString &folder);
    // Each action's verdict against the expected file's list: empty for a pass, else a text
    // the failure's details hold.
    void compareVerdicts(const QString &expectedFile);
    // Runs the runner to its end; onLine sees each line of its standard output as it comes.
    int run(const QStringList &arguments,
            const std::function<void(const QString &line)> &onLine = nullptr);
    QJsonObject report() const;
    QList<QJsonObject> actionResults() const;
    // A configuration of the one client, written into the test's folder.
    QString configOf(const QJsonObject &client);
    // The demo host that crashes in its second action the first time it is started.
    QJsonObject crashingOnce() const;
    // A JUnit file's lines as a real consumer reads it (data/readers/junit.py).
    QStringList junitLines(const QString &file) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_output;
    QString m_stdout;
    QString m_stderr;
    qint64 m_runnerPid = 0;
    // Shell commands run before the runner, in the shell that starts it ("ulimit -f 1").
    QString m_shellPrefix;
    // Set in the runner's environment.
    QHash<QString, QString> m_environment;
};

void tst_E2E::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_output = m_dir->filePath("results");
    m_stdout.clear();
    m_runnerPid = 0;
    m_shellPrefix.clear();
    m_environment.clear();
}

// The first child process of a process, or 0.
static qint64 childOf(qint64 parent)
{
    const QStringList entries = QDir("/proc").entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        QFile stat("/proc/" + entry + "/stat");
        if (!entry.front().isDigit() || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toLongLong() == parent)
            return entry.toLongLong();
    }
    return 0;
}

// Running, not only a zombie waiting to be reaped.
static bool alive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) != "Z";
}

QString tst_E2E::writeFile(const QString &name, const QByteArray &content)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(content);
    return path;
}

int tst_E2E::run(const QStringList &arguments, const std::function<void(const QString &)> &onLine)
{
    QProcess runner;
    runner.setProcessChannelMode(QProcess::SeparateChannels);
    QByteArray pending;
    connect(&runner, &QProcess::readyReadStandardOutput, this, [&] {
        pending += runner.readAllStandardOutput();
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pending.left(end));
            pending.remove(0, end + 1);
            m_stdout += line + '\n';
            if (onLine)
                onLine(line);
        }
    });
    // Runs as at a desk, whatever CI this suite runs in: CI changes the runner's defaults.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("CI");
    environment.remove("GITHUB_ACTIONS");
    for (auto it = m_environment.cbegin(); it != m_environment.cend(); ++it)
        environment.insert(it.key(), it.value());
    runner.setProcessEnvironment(environment);
    if (m_shellPrefix.isEmpty()) {
        runner.start(Runner, arguments);
    } else {
        runner.start("/bin/sh",
                     QStringList {"-c", m_shellPrefix + "; exec \"$0\" \"$@\"", Runner}
                         + arguments);
    }
    if (!runner.waitForStarted(10000))
        return -1;
    m_runnerPid = runner.processId();
    QEventLoop loop;
    connect(&runner, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    loop.exec();
    if (runner.state() != QProcess::NotRunning) {
        runner.kill();
        runner.waitForFinished();
        return -2;
    }
    m_stdout += QString::fromUtf8(pending + runner.readAllStandardOutput());
    const QByteArray errors = runner.readAllStandardError();
    m_stderr = QString::fromUtf8(errors);
    return runner.exitStatus() == QProcess::NormalExit ? runner.exitCode() : -3;
}

QJsonObject tst_E2E::report() const
{
    QFile file(QDir(m_output).filePath("report.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QList<QJsonObject> tst_E2E::actionResults() const
{
    QList<QJsonObject> results;
    for (const QJsonValue &procedure : report().value("procedures").toArray()) {
        for (const QJsonValue &action : procedure["actionResults"].toArray())
            results.append(action.toObject());
    }
    return results;
}

QString tst_E2E::configOf(const QJsonObject &client)
{
    return writeFile("config.json",
                     QJsonDocument(QJsonObject {{"clients", QJsonArray {client}}}).toJson());
}

QJsonObject tst_E2E::crashingOnce() const
{
    return host({"--quit-after-actions", "2:crash:" + m_dir->filePath("crashed-once")});
}

QStringList tst_E2E::junitLines(const QString &file) const
{
    QProcess python;
    python.start("/usr/bin/python3", {QStringLiteral(KAV_E2E_DATA "/readers/junit.py"), file});
    if (!python.waitForFinished(30000) || python.exitCode() != 0)
        return {"junit.py failed: " + QString::fromUtf8(python.readAllStandardError())};
    return QString::fromUtf8(python.readAllStandardOutput()).split('\n');
}

void tst_E2E::passingRun()
{
    // Two examples (a document nested; script cases on the tree, a dialog and a modal dialog,
    // then a data assertion against the committed baseline) and a warning: the run passes.
    // A command left waiting in its modal dialog is ended by the next one, whose message box
    // is answered: the host lives on.
    copyData("/passing");
    const int code
        = run({"--output", m_output, "--quiet-client", Examples + "/procedures/open-and-nest.json",
               Examples + "/procedures/scripts.json", m_dir->filePath("warning.json"),
               m_dir->filePath("abandoned.json")});
    QCOMPARE(code, 0);
    QCOMPARE(report().value("exitCode").toInt(), 0);
    QHash<QString, QJsonArray> byLabel;
    for (const QJsonValue &procedure : report().value("procedures").toArray())
        byLabel.insert(procedure["label"].toString(), procedure["actionResults"].toArray());
    const QJsonArray nested = byLabel.value("Open a document and wait for its nesting");
    QCOMPARE(nested.size(), 7); // the reset action and six of the procedure
    for (const QJsonValue &result : nested) {
        QCOMPARE(result["result"].toInt(), 1);
        QVERIFY(!result["endTime"].toString().isEmpty());
    }
    QCOMPARE(byLabel.value("Warning").last()["result"].toInt(), int(KAVAtmEnums::Warning));
    QVERIFY2(m_stdout.contains("Summary: 29 action(s): 28 passed, 1 with warnings, 0 failed"),
             qPrintable(m_stdout));
    // What --check warns of is said before the run, and kept in the report.
    const QString misspelt = "warning.json:6:38: warning: ExecuteScript does not read \"scrpt\": "
                             "did you mean \"script\"?";
    QVERIFY2(m_stderr.contains(misspelt), qPrintable(m_stderr));
    QVERIFY(report()["checkWarnings"][0]["text"].toString().endsWith(misspelt));
    QVERIFY(!m_stdout.contains("Client failure"));
}

void tst_E2E::exitCodes_data()
{
    // Each run has one wait to do and fails.
    QTest::addColumn<bool>("second"); // a second procedure file
    QTest::addColumn<QJsonObject>("client");
    QTest::addColumn<QString>("summary");

    // No second client is launched after one that never connected.
    QTest::newRow("the client never connects")
        << true
        << QJsonObject {{"displayName", "Mute"},
                        {"executable", "/bin/sleep"},
                        {"arguments", QJsonArray {"30"}}}
        << "0 passed, 0 with warnings, 1 failed, 0 not run; 1 procedure(s)";
    // Every verdict passes, then the host fails before the runner closes it.
    QTest::newRow("the client crashes after its last verdict")
        << false << host({"--quit-after-actions", "2:crash"}) << "Client failure: Client process";
    QTest::newRow("the client exits with 3 after its last verdict")
        << false << host({"--quit-after-actions", "2:3"}) << "exited with code 3";
}

void tst_E2E::exitCodes()
{
    QFETCH(bool, second);
    QFETCH(QJsonObject, client);
    QFETCH(QString, summary);

    const QJsonArray actions {QJsonObject {{"action", "TimeWait"}, {"wtime", 0}}};
    QStringList arguments {
        "--output",
        m_output,
        "--quiet-client",
        "--connect-timeout",
        "5",
        "--config",
        configOf(client),
        writeFile("procedure.json", procedureJson("Codes", actions))};
    if (second)
        arguments << writeFile("second.json", procedureJson("Second", actions));
    QCOMPARE(run(arguments), 1);
    QVERIFY2(m_stdout.contains(summary), qPrintable(m_stdout));
    QCOMPARE(report().value("exitCode").toInt(), 1);
    QCOMPARE(report().value("notStarted").toArray().size(), second ? 1 : 0);
}

void tst_E2E::failingRun()
{
    copyData("/failing");
    const QString invalid = writeFile("broken.json", "{ not json");
    // Read, it would block for ever: no program ever writes into it.
    const QString fifo = m_dir->filePath("procedure.fifo");
    QCOMPARE(mkfifo(qPrintable(fifo), 0600), 0);
    const QString junit = m_dir->filePath("reports/junit.xml");
    const QString html = m_dir->filePath("reports/report.html");
    QCOMPARE(run({"--output", m_output, "--quiet-client", "--junit", junit, "--html", html,
                  m_dir->filePath("failing.json"), m_dir->filePath("mixed.json"), invalid, fifo}),
             1);
    QCOMPARE(report().value("exitCode").toInt(), 1);
    QVERIFY2(m_stdout.contains("7 passed, 1 with warnings, 6 failed, 3 not run"),
             qPrintable(m_stdout.right(2500)));
    QVERIFY2(m_stdout.contains("is not a regular file"), qPrintable(m_stdout));

    const QList<QJsonObject> results = actionResults().mid(0, 8);
    QCOMPARE(actionResults().size(), 17);
    // Each failure the host saw comes with a picture of its window; the script's with its
    // line, its stack and what the host wrote meanwhile.
    const QJsonObject nesting = actionResults().at(14);
    const QJsonObject throws = actionResults().at(15);
    for (const QJsonObject &failure : {results[1], results[4], nesting, throws}) {
        const QJsonArray shots = failure.value("attachments").toArray();
        QCOMPARE(shots.size(), 1);
        const QImage shot(QDir(m_output).filePath(shots[0]["path"].toString()), "PNG");
        QVERIFY2(shot.width() >= 640 && shot.height() >= 400,
                 qPrintable(shots[0]["path"].toString()));
        QSet<QRgb> colours;
        for (int y = 0; y < shot.height(); y += 3) {
            for (int x = 0; x < shot.width(); x += 3)
                colours.insert(shot.pixel(x, y));
        }
        QVERIFY2(colours.size() > 3, qPrintable(QString::number(colours.size())));
    }
    const QString script = m_dir->filePath("throws.js");
    QCOMPARE(throws["location"]["file"].toString(), script);
    QCOMPARE(throws["location"]["line"].toInt(), 3);
    QCOMPARE(throws["location"]["context"]["lines"][2].toString(),
             QStringLiteral("    kavAssert.areEqual(1, 2);"));
    QVERIFY(throws["stack"].toString().contains(script + ":3"));
    QVERIFY(!throws["log"].toArray().isEmpty() && !nesting["log"].toArray().isEmpty());
    QVERIFY2(m_stdout.contains("at " + script + ":3"), qPrintable(m_stdout));
    const QList<int> verdicts = {1, 2, 0, 2, 2, 1, 2, 0};
    for (int i = 0; i < results.size(); ++i)
        QCOMPARE(results[i].value("result").toInt(), verdicts[i]);
    QVERIFY(results[1].value("details").toString().contains("missing.json"));
    QCOMPARE(results[2].value("details").toString(),
             QStringLiteral("The action is not executed due to the previous failure."));

    // Both assertions have result files, the unnamed one under its type; no baseline came
    // from a failed action without data.
    const QStringList folders = QDir(m_output).entryList({"failing_*"}, QDir::Dirs);
    QCOMPARE(folders.size(), 1);
    const QDir folder(QDir(m_output).filePath(folders.first()));
    QCOMPARE(results[4].value("details").toString(),
             QStringLiteral("The case execution exceeds the timeout limitation: 1 seconds. The "
                            "script was still running and was stopped."));
    QVERIFY(!m_stdout.contains("Client failure"));
    // A name cannot steer the terminal.
    QVERIFY2(m_stdout.contains("open\\x1b[2K%1\\x01") && !m_stdout.contains('\x1b'),
             qPrintable(m_stdout));
    QCOMPARE(folder.entryList({"*.json"}, QDir::Files, QDir::Name),
             QStringList({"DataAssert.json", "compare.json", "loop.json"}));
    QVERIFY(!QFile::exists(m_dir->filePath("base.json")));
    QVERIFY(m_stdout.contains("Not run (invalid procedure file)"));

    // Read by a real consumer, not by the code that wrote it.
    const QStringList lines = junitLines(junit);
    const auto line = [&](const QString &start) {
        for (const QString &text : lines) {
            if (text.startsWith(start))
                return text;
        }
        return QString();
    };
    QVERIFY2(line("suite|mixed|9|2|1|").size() > 0, qPrintable(lines.join('\n')));
    QVERIFY(lines.join('\n').contains("[[ATTACHMENT|../results/mixed_"));
    QCOMPARE(line("case|mixed|02 short wait"),
             QStringLiteral("case|mixed|02 short wait (TimeWait)||"));
    QVERIFY(line("case|mixed|03 no script")
                .endsWith("||Warning: There is no script file defined in the action."));
    const QString failed = line("case|mixed|07 nesting (DataAssert)|Failure:");
    QVERIFY2(lines.join('\n').contains("Expected: [9]. Actual: [1.5]. Path: "
                                       "$/Materials/features[0]/thickness"),
             qPrintable(lines.join('\n')));
    // The actual data beside the failure.
    QVERIFY(!failed.isEmpty() && lines.join('\n').contains("\"Nestings\""));
    QVERIFY(line("case|mixed|09 after the failure (TimeWait)|Skipped:").size() > 0);
    QVERIFY(line("case|(invalid procedure files)|").contains("broken.json|Failure:"));

    // The page as a browser shows it: self-contained, the verdict and the failed comparison
    // in sight without a click.
    QFile page(html);
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QByteArray source = page.readAll();
    for (const char *external : {"<script", "href=", "url(", "@import"})
        QVERIFY2(!source.contains(external), external);
    QCOMPARE(source.count("src="), source.count("src=\"data:image/png;base64,"));
    QCOMPARE(source.count("src="), 6);
    const QString chromium = QStandardPaths::findExecutable("chromium");
    QVERIFY2(!chromium.isEmpty(), "chromium is missing: scripts/bootstrap installs it");
    const auto browse = [&](const QStringList &what) {
        QProcess browser;
        browser.start(chromium,
                      QStringList {"--headless", "--no-sandbox", "--disable-gpu",
                                   "--hide-scrollbars", "--user-data-dir=" + m_dir->filePath("chr"),
                                   "--window-size=1000,2000"}
                          + what + QStringList {QUrl::fromLocalFile(html).toString()});
        browser.waitForFinished(60000);
        return browser.readAllStandardOutput();
    };
    const QString dom = QString::fromUtf8(browse({"--dump-dom"}));
    for (const QString &text :
         {QStringLiteral("FAILED (exit code 1)"), QStringLiteral("broken.json"),
          QStringLiteral("<dt>JSON path</dt><dd>$/Materials/features[0]/thickness</dd>"),
          QStringLiteral("<dt>Expected</dt><dd>9</dd><dt>Actual</dt><dd>1.5</dd>"),
          QStringLiteral("7 passed, 1 with warnings, 6 failed, 3 not run"),
          QStringLiteral("<td>    kavAssert.areEqual(1, 2);</td>")})
        QVERIFY2(dom.contains(text), qPrintable(text + "\n" + dom));
    const QString shot = m_dir->filePath("shot.png");
    browse({"--screenshot=" + shot});
    const QImage image(shot);
    QVERIFY(!image.isNull());
    int banner = 0, comparison = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            banner += y < 150 && pixel == qRgb(0xc6, 0x28, 0x28);
            comparison += pixel == qRgb(0xff, 0xf3, 0xcd);
        }
    }
    QVERIFY2(banner > 2000, qPrintable(QString::number(banner)));
    QVERIFY2(comparison > 5000, qPrintable(QString::number(comparison)));
}

void tst_E2E::runsCutShort_data()
{
    // Whose signal ends the long wait ("host", "runner", or none for the run's time-out).
    QTest::addColumn<QString>("signalled");
    QTest::addColumn<int>("signal");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("reason");
    // A frozen host answers nothing: stopped once its action's time-out and the grace are over.
    QTest::newRow("host frozen") << "host" << int(SIGSTOP)
                                 << QStringList {"--grace", "1"} << 1 << "sent nothing";
    QTest::newRow("host crashed") << "host" << int(SIGKILL) << QStringList() << 1 << "crashed";
    QTest::newRow("runner interrupted")
        << "runner" << int(SIGTERM) << QStringList() << 128 + SIGTERM << "Interrupted";
    QTest::newRow("overall time-out")
        << "" << 0 << QStringList {"--timeout", "3"} << 1 << "overall time-out";
}

void tst_E2E::runsCutShort()
{
    QFETCH(QString, signalled);
    QFETCH(int, signal);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, reason);
    const QString procedure
        = writeFile("long.json",
                    procedureJson("Long",
                                  {QJsonObject {{"action", "TimeWait"},
                                                {"wtime", 60000},
                                                {"timeout", signal == SIGSTOP ? 1 : 120}},
                                   QJsonObject {{"action", "TimeWait"}, {"wtime", 0}}}));
    qint64 pid = 0;
    const int code
        = run(QStringList {"--output", m_output, "--quiet-client", "--trace", "on", procedure}
                  + options,
              [&](const QString &line) {
                  if (line.startsWith("Client connected:"))
                      pid = line.section(' ', -1).toLongLong();
                  // The reset action is done: the long wait is in flight.
                  if (line.contains("ResetUserSetting") && pid > 0 && !signalled.isEmpty())
                      QTimer::singleShot(200, [this, pid, signal, signalled] {
                          ::kill(pid_t(signalled == "host" ? pid : m_runnerPid), signal);
                      });
              });
    QCOMPARE(code, exitCode);
    QCOMPARE(report().value("exitCode").toInt(), exitCode);
    QCOMPARE(report().value("interruptedBySignal").toInt(), signalled == "runner" ? signal : 0);
    QTRY_VERIFY(pid > 0 && !alive(pid));
    const QList<QJsonObject> results = actionResults();
    QCOMPARE(results.size(), 3);
    for (int i = 1; i < 3; ++i) {
        QCOMPARE(results[i].value("result").toInt(), int(KAVAtmEnums::Fail));
        QVERIFY2(results[i].value("details").toString().contains(reason),
                 qPrintable(results[i].value("details").toString()));
    }
    // The action after never ran, and owes no picture.
    QVERIFY(!results[2].contains("screenshotMissing") && !results[1].contains("attachments"));
    // The trace holds what came before, the step left unfinished, and how the attempt ended.
    const QString trace = report()["procedures"][0]["trace"].toString();
    QFile file(QDir(m_output).filePath(trace).replace("trace.html", "trace.ndjson"));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(trace));
    QList<QJsonObject> events;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            events.append(QJsonDocument::fromJson(line).object());
    }
    QVERIFY(events.size() > 4);
    QCOMPARE(events.first()["kavTrace"].toInt(), 1);
    const auto find = [&](const QString &event, int index) {
        for (const QJsonObject &found : events) {
            if (found["event"] == event && found["index"].toInt(-1) == index)
                return found;
        }
        return QJsonObject();
    };
    QCOMPARE(find("result", 0)["result"].toString(), "Pass");
    QVERIFY(!find("result", 0)["screenshot"].toString().isEmpty());
    QVERIFY(find("result", 0)["widgets"].toObject()["windows"].toArray().size() > 0);
    QCOMPARE(find("action", 1)["type"].toString(), "TimeWait");
    QVERIFY(find("result", 1)["details"].toString().contains(reason));
    QCOMPARE(events.last()["event"].toString(), "end");
    QVERIFY2(events.last()["ended"].toString().contains(reason),
             qPrintable(events.last()["ended"].toString()));
    // A host that could not show itself says why.
    if (signalled == "host")
        QVERIFY(results[1].value("screenshotMissing").toString().contains(reason));
}

void tst_E2E::peersThatAreNotTheHost()
{
    // A local program that registers under the launched host's process id before the host
    // itself and answers every action with a pass is not heard (peers with a key the runner
    // does not know, or no handshake at all, are refused in the unit tests).
    const QString procedure = writeFile(
        "failing.json",
        procedureJson(
            "Failing",
            {QJsonObject {{"action", "OpenFile"}, {"file", "missing.json"}},
             QJsonObject {{"action", "TimeWait"}, {"wtime", 1500}, {"alwaysExecute", true}}}));
    QTcpSocket socket;
    KAVAtmClientOrchestratorConnection impostor(nullptr, &socket);
    connect(&socket, &QTcpSocket::connected, &impostor, &KAVWorkConnection::Authenticate);
    qint64 hostPid = 0;
    connect(&impostor, &KAVWorkConnection::Authenticated, this,
            [&] { impostor.SendClient(hostPid, "Tessaron"); });
    connect(&impostor, &KAVAtmClientOrchestratorConnection::ExecuteRequested, this,
            [&](const QUuid &id) {
                KAVAtmTestActionResult result(id, nullptr, nullptr);
                result.SetStatus(KAVAtmEnums::Completed);
                result.SetResult(KAVAtmEnums::Pass);
                impostor.SendActionUpdate(&result);
            });
    QSignalSpy refused(&impostor, &KAVWorkConnection::AuthenticationFailed);
    QSignalSpy executed(&impostor, &KAVAtmClientOrchestratorConnection::ExecuteRequested);
    QTimer poll;
    const int code
        = run({"--output", m_output, "--quiet-client", "--screenshots", "off", procedure},
              [&](const QString &line) {
                  if (!line.startsWith("Listening on port"))
                      return;
                  const quint16 port = line.section(' ', -1).toUShort();
                  connect(&poll, &QTimer::timeout, this, [&, port] {
                      if (!(hostPid = childOf(m_runnerPid)))
                          return;
                      poll.stop();
                      socket.connectToHost(QHostAddress::LocalHost, port);
                  });
                  poll.start(10);
              });
    QVERIFY(hostPid > 0);
    QVERIFY2(code == 1, qPrintable(m_stdout + m_stderr));
    QCOMPARE(refused.size(), 1);
    QCOMPARE(executed.size(), 0);
    QCOMPARE(actionResults().size(), 3);
    QVERIFY2(
        m_stdout.contains(QStringLiteral("Client connected: CorvidApp, process %1").arg(hostPid)),
        qPrintable(m_stdout));
    // No pictures asked for: the host's failure has none, and none is missing.
    QCOMPARE(actionResults()[1]["result"].toInt(), 2);
    QVERIFY(!actionResults()[1].contains("attachments")
            && !actionResults()[1].contains("screenshotMissing"));
}

void tst_E2E::setupErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("config"); // written as config.json and used when not empty
    QTest::addColumn<QString>("message");

    const QString procedure = Examples + "/procedures/open-and-nest.json";
    // Option errors are the command line's unit table; one shows the program's exit and text.
    QTest::newRow("unknown mode") << QStringList {"--mode", "fast", procedure} << QByteArray()
                                  << "unknown mode \"fast\".\nTry --help.";
    QTest::newRow("no valid procedure")
        << QStringList {Examples + "/KAVAutomationOrchestrator.json"} << QByteArray()
        << "no valid procedure";
    QTest::newRow("record into a folder")
        << QStringList {"--record", Examples} << QByteArray() << "is not a regular file";
    // A misspelt key checks nothing: --strict does not run with it.
    QTest::newRow("--strict with a check warning")
        << QStringList {"--strict", "@/misspelt.json"} << QByteArray()
        << "--strict: the procedures have warnings or errors";
    QTest::newRow("grep matches nothing")
        << QStringList {"--grep", "no such procedure", procedure} << QByteArray()
        << "no procedure's name or label contains";
    QTest::newRow("program missing")
        << QStringList {procedure}
        << QByteArray(R"({"clients":[{"displayName":"X","executable":"/no/such/program"}]})")
        << "cannot start";
}

void tst_E2E::setupErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, config);
    QFETCH(QString, message);
    QStringList options {"--output", m_output};
    if (!config.isEmpty())
        options << "--config" << writeFile("config.json", config);
    writeFile("misspelt.json",
              procedureJson("Misspelt", {QJsonObject {{"action", "TimeWait"}, {"wtme", 1}}}));
    arguments.replaceInStrings(QRegularExpression("^@"), m_dir->path());
    QProcess runner;
    runner.start(Runner, options + arguments);
    QVERIFY(runner.waitForFinished(60000));
    QCOMPARE(runner.exitCode(), 2);
    QVERIFY2(runner.readAllStandardError().contains(message.toUtf8()), qPrintable(message));
}

void tst_E2E::reportThatCannotBeWritten()
{
    // A file size limit, like a full disk: the report of a passing run cannot be written.
    QVERIFY(QDir().mkpath(m_output));
    const QString previous = QDir(m_output).filePath("report.json");
    QFile file(previous);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\"previous\": true}");
    file.close();
    m_shellPrefix = "ulimit -f 1";
    const QString procedure
        = writeFile("wait.json", procedureJson("Wait", {QJsonObject {{"action", "TimeWait"}}}));
    QCOMPARE(run({"--output", m_output, "--quiet-client", procedure}), 2);
    QVERIFY2(m_stderr.contains("cannot write the report"), qPrintable(m_stderr));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("{\"previous\": true}"));

    // An HTML page that cannot be written after the JUnit XML was: the XML and report.json are
    // written again, failing with the run.
    m_shellPrefix.clear();
    const QString page = m_dir->filePath("page.html");
    QVERIFY(QDir().mkpath(page));
    const QString junit = m_dir->filePath("junit.xml");
    QCOMPARE(run({"--output", m_output, "--quiet-client", "--shard", "2/2", "--junit", junit,
                  "--html", page, procedure}),
             2);
    QFile xml(junit);
    QVERIFY(xml.open(QIODevice::ReadOnly));
    QVERIFY(xml.readAll().contains("The run ended with exit code 2."));
    QCOMPARE(report().value("exitCode").toInt(), 2);
}

// Each step passed once while checking nothing; each now fails and says why. The next
// procedure, on the same host, finds neither the document nor the dialog (data/).
void tst_E2E::copyData(const QString &folder)
{
    const QDir data(QStringLiteral(KAV_E2E_DATA) + folder);
    for (const QString &name : data.entryList(QDir::Files)) {
        QFile file(data.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        writeFile(name,
                  QString::fromUtf8(file.readAll())
                      .replace("@EXAMPLES@", Examples)
                      .replace("@DIR@", m_dir->path())
                      .toUtf8());
    }
}

void tst_E2E::compareVerdicts(const QString &expectedFile)
{
    QFile file(m_dir->filePath(expectedFile));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonArray expected = QJsonDocument::fromJson(file.readAll()).array();
    const QList<QJsonObject> results = actionResults();
    QCOMPARE(results.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const QString details = expected[i].toString();
        QVERIFY2(results[i]["result"].toInt()
                         == int(details.isEmpty() ? KAVAtmEnums::Pass : KAVAtmEnums::Fail)
                     && results[i]["details"].toString().contains(details),
                 qPrintable(QString::number(i) + ": " + results[i]["details"].toString()));
    }
}

void tst_E2E::greensThatCheckedNothing()
{
    copyData(QString());
    // As in CI: nothing is captured, and what is missing fails.
    QCOMPARE(run({"--output", m_output, "--quiet-client", "--update-baselines", "none",
                  m_dir->filePath("nothing.json"), m_dir->filePath("next.json")}),
             1);
    compareVerdicts("nothing.expected.json");
    QVERIFY(!QFile::exists(m_dir->filePath("never-committed.json")));
}

void tst_E2E::visualAssertions()
{
    copyData("/visual");
    QCOMPARE(run({"--output", m_output, "--quiet-client", "--trace", "retain-on-failure",
                  m_dir->filePath("capture.json")}),
             0);
    // A pass keeps no trace with retain-on-failure.
    QVERIFY(!report()["procedures"][0].toObject().contains("trace"));
    const QImage sheet(m_dir->filePath("sheet.png"));
    QVERIFY(!sheet.isNull() && QFile::exists(m_dir->filePath("window.png")));
    // A part gone from an empty stretch of the sheet view: 10x10 pixels.
    QImage changed = sheet.convertToFormat(QImage::Format_RGB32);
    QPainter(&changed).fillRect(sheet.width() - 30, sheet.height() - 30, 10, 10, Qt::darkBlue);
    QVERIFY(changed.save(m_dir->filePath("changed.png")));
    // Two pixels to the right.
    QImage shifted = sheet.convertToFormat(QImage::Format_RGB32);
    shifted.fill(sheet.pixel(sheet.width() - 1, sheet.height() - 1));
    QPainter(&shifted).drawImage(2, 0, sheet);
    QVERIFY(shifted.save(m_dir->filePath("shifted.png")));
    writeFile("notpng.png", "not a picture");
    // The clock the mask hides has moved on.
    QTest::qWait(1100);
    const QString summary = m_dir->filePath("summary.md");
    m_environment = {{"GITHUB_ACTIONS", "true"}, {"GITHUB_STEP_SUMMARY", summary}};
    QCOMPARE(run({"--output", m_output, "--quiet-client", "--trace", "retain-on-failure",
                  "--junit", m_dir->filePath("junit.xml"), "--html", m_dir->filePath("r.html"),
                  m_dir->filePath("compare.json")}),
             1);
    compareVerdicts("compare.expected.json");
    // GitHub's annotation on the action's own line of the procedure file, and its summary.
    QVERIFY2(m_stdout.contains("::error file=" + m_dir->filePath("compare.json")
                               + ",line=9,title=compare / ScreenshotAssert::100 pixel(s) differ"),
             qPrintable(m_stdout));
    QFile markdown(summary);
    QVERIFY(markdown.open(QIODevice::ReadOnly));
    const QString summaryText = QString::fromUtf8(markdown.readAll());
    QVERIFY2(summaryText.startsWith("### KAVAutomation: failed (exit code 1)")
                 && summaryText.contains("| 1 | 6 | 0 | 7 | 0 |"),
             qPrintable(summaryText));
    const QJsonObject failed = actionResults()[4];
    QStringList kinds;
    for (const QJsonValue &attachment : failed["attachments"].toArray()) {
        kinds.append(attachment["kind"].toString());
        QVERIFY(QFile::exists(QDir(m_output).filePath(attachment["path"].toString())));
    }
    QCOMPARE(kinds, QStringList({"screenshot", "expected", "actual", "diff"}));
    QVERIFY(QFile::exists(m_dir->filePath("changed.actual.png")));
    QFile junit(m_dir->filePath("junit.xml"));
    QVERIFY(junit.open(QIODevice::ReadOnly));
    QVERIFY(junit.readAll().contains(".diff.png]]"));

    // The failed attempt's trace, as a browser shows it.
    const QString trace = report()["procedures"][0]["trace"].toString();
    QVERIFY2(trace.endsWith("/trace/trace.html"), qPrintable(trace));
    QFile page(m_dir->filePath("r.html"));
    QVERIFY(page.open(QIODevice::ReadOnly));
    QVERIFY(page.readAll().contains("class=\"flip\""));
    QProcess browser;
    browser.start(QStandardPaths::findExecutable("chromium"),
                  {"--headless", "--no-sandbox", "--disable-gpu",
                   "--user-data-dir=" + m_dir->filePath("chr"), "--dump-dom",
                   QUrl::fromLocalFile(QDir(m_output).filePath(trace)).toString()});
    QVERIFY(browser.waitForFinished(60000));
    const QString dom = QString::fromUtf8(browser.readAllStandardOutput());
    for (const char *text : {"<ol id=\"steps\"", "class=\"step fail", "id=\"marked-outline\"",
                             "sheetView"})
        QVERIFY2(dom.contains(QLatin1String(text)), text);
    // The captured widget is the step's marked one.
    QFile events(QDir(m_output).filePath(trace).replace("trace.html", "trace.ndjson"));
    QVERIFY(events.open(QIODevice::ReadOnly));
    bool marked = false;
    while (!events.atEnd()) {
        const QJsonObject event = QJsonDocument::fromJson(events.readLine()).object();
        if (event["event"] == "result" && event["index"].toInt() == 4)
            marked = event["widgets"].toObject()["marked"].toString()
                == "mainWindow/mainSplitter/sheetView";
    }
    QVERIFY(marked);
}

void tst_E2E::dataAssertBaselineLifecycle()
{
    copyData("/baselines");
    const QString procedure = m_dir->filePath("assert.json");
    const QString baseline = m_dir->filePath("baselines/nesting.json");
    const QString other = m_dir->filePath("baselines/other.json");
    const QString actual = m_dir->filePath("baselines/nesting.actual.json");
    const auto written = [this] {
        QStringList paths;
        for (const QJsonValue &path : report().value("baselinesWritten").toArray())
            paths.append(QFileInfo(path.toString()).fileName());
        return paths;
    };

    // The first run captures the baselines.
    QCOMPARE(run({"--output", m_output, "--quiet-client", procedure}), 0);
    QCOMPARE(written(), QStringList({"nesting.json", "other.json"}));
    QVERIFY2(m_stdout.contains("Baselines written:\n  " + baseline), qPrintable(m_stdout));
    QFile file(baseline);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray captured = file.readAll();
    file.close();
    QVERIFY(QJsonDocument::fromJson(captured).object().contains("Nestings"));

    // A number changed in the baseline fails with the path to it.
    QByteArray changed = captured;
    changed.replace("\"thickness\": 1.5", "\"thickness\": 1.75");
    QVERIFY(changed != captured);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(changed);
    file.close();
    QCOMPARE(run({"--output", m_output, "--quiet-client", procedure}), 1);
    const QJsonObject failed = actionResults().at(4);
    QCOMPARE(failed.value("result").toInt(), int(KAVAtmEnums::Fail));
    QVERIFY2(failed.value("details").toString().contains(
                 "Expected: [1.75]. Actual: [1.5]. Path: $/Materials/features[0]/thickness"),
             qPrintable(failed.value("details").toString()));
    // Kept, with the actual data beside it for a diff.
    QVERIFY(failed.value("details").toString().contains("The actual data is in " + actual));
    const auto content = [](const QString &path) {
        QFile read(path);
        return read.open(QIODevice::ReadOnly) ? read.readAll() : QByteArray();
    };
    QCOMPARE(content(baseline), changed);
    QCOMPARE(content(actual), captured);
    const QByteArray otherBefore = content(other);

    // Only the baseline failed against is rewritten; the run still fails.
    QCOMPARE(
        run({"--output", m_output, "--quiet-client", "--update-baselines", "changed", procedure}),
        1);
    QCOMPARE(written(), QStringList({"nesting.json"}));
    QCOMPARE(content(baseline), captured);
    QCOMPARE(content(other), otherBefore);
    QVERIFY(!QFile::exists(actual));
}

void tst_E2E::recordAndReplay()
{
    // Scripts play the user while the runner records: the sheet properties dialog filled in by
    // typing and accepted, modal popups answered, parts selected in the sheet view and the tree.
    copyData("/record");
    const QString procedure = m_dir->filePath("record.json");
    const QString recording = m_dir->filePath("recorded/session.json");
    QCOMPARE(run({"--output", m_output, "--quiet-client", "--record", recording, procedure}), 0);
    QVERIFY2(m_stdout.contains("Recording stopped"), qPrintable(m_stdout));

    // What the user did, in order, as the actions that replay it; nothing the procedure
    // itself ran.
    QFile file(recording);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject recorded = QJsonDocument::fromJson(file.readAll()).object();
    QCOMPARE(recorded.value("name").toString(), QStringLiteral("session"));
    // It names the schema, and passes the checks a hand-written file gets (its baseline is to
    // come: a note).
    QCOMPARE(recorded.value("$schema").toString(),
             QStringLiteral("kavautomation-procedure.schema.json"));
    const QString session = m_stdout;
    QCOMPARE(run({"--check", "--strict", recording}), 0);
    QVERIFY2(m_stdout.endsWith(" 0 error(s), 0 warning(s), 0 note(s)\n")
                 || m_stdout.endsWith(" 0 error(s), 0 warning(s), 1 note(s)\n"),
             qPrintable(m_stdout));
    m_stdout = session;
    QStringList types;
    QJsonObject values, selection, replay;
    for (const QJsonValue &action : recorded.value("actions").toArray()) {
        const QString type = action["action"].toString();
        types.append(type);
        if (type == "SetAutomationData") {
            const QJsonObject map = action["map"].toObject();
            for (auto value = map.begin(); value != map.end(); ++value)
                values.insert(value.key(), *value);
        }
        if (type == "SetSelection")
            selection = action.toObject();
        if (type == "WidgetReplay")
            replay = action.toObject();
    }
    const QString sequence = types.join(' ');
    QVERIFY2(sequence.startsWith("OpenFile "), qPrintable(sequence));
    QVERIFY2(sequence.contains("LaunchCommand SetAutomationData WidgetReplay"),
             qPrintable(sequence));
    // Each wait where its work happened: none left to run out a start time-out on replay.
    QVERIFY2(sequence.endsWith("WidgetReplay WaitNest WaitUpdate LaunchCommand SetAutomationData "
                               "WaitNest WaitUpdate LaunchCommand SetAutomationData SetSelection "
                               "SetSelection"),
             qPrintable(sequence));

    QVERIFY2(!sequence.contains("ExecuteScript") && !sequence.contains("DataAssert"),
             qPrintable(sequence));
    QCOMPARE(values.value("sheetWidth").toDouble(), 900.0);
    QCOMPARE(values.value("quantity").toInt(), 4);
    QCOMPARE(values.value("confirmClear").toString(), QStringLiteral("No"));
    QCOMPARE(selection["selections"].toArray(),
             QJsonArray {"Nestings/Nesting 1/Sheet 1/Bracket #2"});
    QVERIFY(replay["events"].toArray().size() >= 10); // Ctrl+A, three digits, a click
    QFile baseline(m_dir->filePath("baselines/recorded.json"));
    QVERIFY(baseline.open(QIODevice::ReadOnly));
    QVERIFY(baseline.readAll().contains("900"));

    // Replayed in a fresh host, the recording leads to the same data and selection, checked
    // in the same procedure: the next one starts from the host's reset.
    QJsonObject replayed = recorded;
    QJsonArray steps = replayed["actions"].toArray();
    steps << QJsonObject {{"action", "ExecuteScript"}, {"script", "check.js"}}
          << QJsonObject {{"action", "DataAssert"}, {"baseline", "baselines/recorded.json"}};
    replayed["actions"] = steps;
    const QString checks = writeFile("check.json", QJsonDocument(replayed).toJson());
    const QString replayOutput = m_dir->filePath("replayed");
    m_output = replayOutput;
    QCOMPARE(run({"--output", replayOutput, "--quiet-client", checks}), 0);
    for (const QJsonObject &result : actionResults())
        QVERIFY2(result.value("result").toInt() == int(KAVAtmEnums::Pass),
                 qPrintable(QJsonDocument(result).toJson()));
}

void tst_E2E::recordingSurvivesAKilledRunner()
{
    // The runner dies while recording: what was recorded is in the journal beside the file.
    QVERIFY(QDir().mkpath(m_dir->filePath("documents")));
    QVERIFY(QFile::copy(Examples + "/documents/brackets.json",
                        m_dir->filePath("documents/brackets.json")));
    copyData("/killed-recording");
    const QString procedure = m_dir->filePath("record.json");
    const QString recording = m_dir->filePath("recorded/session.json");
    qint64 hostPid = 0;
    run({"--output", m_output, "--quiet-client", "--record", recording, procedure},
        [&](const QString &line) {
            if (line.startsWith("Client connected:"))
                hostPid = line.section(' ', -1).toLongLong();
            if (line.contains("ExecuteScript"))
                ::kill(pid_t(m_runnerPid), SIGKILL);
        });
    // Nobody is left to stop the host: it must end on its own, not reconnect for ever.
    QVERIFY(hostPid > 0);
    QTRY_VERIFY_WITH_TIMEOUT(!alive(hostPid), 10000);
    QFile journal(recording + ".journal");
    QVERIFY(journal.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = journal.readAll().split('\n');
    QVERIFY2(lines.size() >= 3, qPrintable(QString::number(lines.size())));
    // Near the recording, a path is written relative to it: the two can move together.
    QCOMPARE(QJsonDocument::fromJson(lines.first()).object().value("file").toString(),
             QStringLiteral("../documents/brackets.json"));

    // The next recording run folds it into the file and goes on from it; nobody stops this one:
    // its time-out does, and the recording is still written.
    QCOMPARE(run({"--output", m_output, "--quiet-client", "--timeout", "3", "--record", recording}),
             1);
    QVERIFY2(m_stdout.contains("overall time-out"), qPrintable(m_stdout));
    QVERIFY2(m_stdout.contains("of an interrupted recording recovered"), qPrintable(m_stdout));
    QVERIFY(!QFile::exists(recording + ".journal"));
    QFile file(recording);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonArray actions
        = QJsonDocument::fromJson(file.readAll()).object().value("actions").toArray();
    QCOMPARE(actions.size(), lines.size() - 1);
    QCOMPARE(actions.first()["action"].toString(), QStringLiteral("OpenFile"));
    file.close();

    // A run that records nothing does not replace the recording with less, nor does the empty
    // journal of a run that stopped before it recorded anything.
    QFile empty(recording + ".journal");
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QCOMPARE(run({"--output", m_output, "--quiet-client", "--timeout", "1", "--record", recording}),
             1);
    QVERIFY2(m_stdout.contains("nothing was recorded"), qPrintable(m_stdout));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QJsonDocument::fromJson(file.readAll()).object().value("actions").toArray(), actions);
}

void tst_E2E::listAndGrep()
{
    // The procedure with "nest" in its label only, listed without launching anything.
    QCOMPARE(run({"--list", "--grep", "WAIT FOR ITS", Examples + "/procedures/open-and-nest.json",
                  Examples + "/procedures/two-documents.json"}),
             0);
    QVERIFY2(m_stdout.contains("Open a document and wait for its nesting"), qPrintable(m_stdout));
    QVERIFY2(m_stdout.contains("    WaitNest"), qPrintable(m_stdout));
    QVERIFY2(m_stdout.contains("1 procedure(s)"), qPrintable(m_stdout));
    QVERIFY(!m_stdout.contains("Client connected"));
    QVERIFY(!QFile::exists(QDir(m_output).filePath("report.json")));
}

void tst_E2E::shardsSplitTheFiles()
{
    // More shards than files: an empty shard passes, and leaves its report for the merge.
    const QString file
        = writeFile("a.json", procedureJson("A", {QJsonObject {{"action", "TimeWait"}}}));
    QCOMPARE(run({"--output", m_output, "--shard", "9/9", file}), 0);
    QVERIFY2(m_stdout.contains("Shard 9/9: 0 of 1"), qPrintable(m_stdout));
    QCOMPARE(report().value("shard").toObject().value("index").toInt(), 9);
    QCOMPARE(report().value("exitCode").toInt(), 0);
}

void tst_E2E::retries_data()
{
    QTest::addColumn<bool>("flakyHost"); // crashes in its second action, the first host only
    QTest::addColumn<QJsonObject>("action");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("hosts");
    QTest::addColumn<QStringList>("options");
    const QJsonObject wait {{"action", "TimeWait"}, {"wtime", 1}};
    QTest::newRow("fails once, then passes: flaky") << true << wait << 0 << 2 << QStringList();
    QTest::newRow("flaky, with --fail-on-flaky")
        << true << wait << 1 << 2 << QStringList {"--fail-on-flaky"};
    QTest::newRow("always fails") << false << QJsonObject {{"action", "NoSuchAction"}} << 1 << 2
                                  << QStringList();
}

void tst_E2E::retries()
{
    QFETCH(bool, flakyHost);
    QFETCH(QJsonObject, action);
    QFETCH(int, exitCode);
    QFETCH(int, hosts);
    QFETCH(QStringList, options);
    const QString config = flakyHost ? configOf(crashingOnce()) : configOf(host({}));
    const QString passing = writeFile(
        "passing.json", procedureJson("Steady", {QJsonObject {{"action", "TimeWait"}}}));
    const QString tried = writeFile("tried.json", procedureJson("Tried", {action, action}));
    const QString junit = m_dir->filePath("junit.xml");
    QCOMPARE(run(QStringList {"--output", m_output, "--quiet-client", "--config", config,
                              "--retries", "1", "--trace", "retain-on-failure", "--junit", junit,
                              passing, tried}
                 + options),
             exitCode);
    QCOMPARE(m_stdout.count("Client connected"), hosts);
    // Only the failing procedure runs again.
    QCOMPARE(m_stdout.count("steady / TimeWait"), 1);
    const QJsonArray procedures = report().value("procedures").toArray();
    QCOMPARE(procedures.size(), 2);
    QCOMPARE(procedures[1]["attempts"].toInt(), hosts);
    QCOMPARE(procedures[1]["flaky"].toBool(), flakyHost);
    QCOMPARE(procedures[0]["flaky"].toBool(), false);
    QCOMPARE(m_stdout.contains(":\n  tried (passed on attempt 2)"), flakyHost);
    // Each attempt in a folder of its own; the failed ones keep their trace and failures.
    const QJsonArray attempts = procedures[1]["attemptResults"].toArray();
    QCOMPARE(attempts.size(), hosts);
    for (int i = 0; i < attempts.size(); ++i) {
        const QJsonObject attempt = attempts[i].toObject();
        const bool failed = i == 0 || !flakyHost;
        QCOMPARE(attempt["passed"].toBool(), !failed);
        QCOMPARE(attempt["failures"].toArray().isEmpty(), !failed);
        QCOMPARE(attempt.contains("trace")
                     && QFile::exists(QDir(m_output).filePath(attempt["trace"].toString())),
                 failed);
        const QString folder = attempt["folder"].toString();
        QVERIFY2(!failed || (i == 0 ? !folder.contains("_attempt") : folder.endsWith("_attempt2")),
                 qPrintable(folder));
    }
    QFile xml(junit);
    QVERIFY(xml.open(QIODevice::ReadOnly));
    const QByteArray text = xml.readAll();
    QCOMPARE(text.contains(R"(<property name="flaky" value="true"/>)"), flakyHost);
    QCOMPARE(text.contains("<flakyFailure"), flakyHost);
    // One rerun per failed action of the other attempt, never the reported one again.
    QCOMPARE(text.count("<rerunFailure"), flakyHost ? 0 : 1);
    // A flaky pass is a pass to a JUnit reader; a rerun is no second testcase.
    const QStringList cases = junitLines(junit).filter(QRegularExpression("^case\\|tried\\|02 "));
    QCOMPARE(cases.size(), 1);
    QVERIFY2(cases[0].startsWith(flakyHost ? "case|tried|02 TimeWait||"
                                           : "case|tried|02 NoSuchAction|Failure:"),
             qPrintable(cases[0]));
}

void tst_E2E::repeatsAndLastFailed()
{
    // The first host crashes in its second action; every later one passes.
    const QString config = configOf(crashingOnce());
    const QJsonObject wait {{"action", "TimeWait"}, {"wtime", 1}};
    const QString tried = writeFile("tried.json", procedureJson("Tried", {wait, wait}));
    const QString steady = writeFile("steady.json", procedureJson("Steady", {wait}));
    QCOMPARE(run({"--output", m_output, "--quiet-client", "--config", config, "--repeat-each", "3",
                  tried, steady}),
             1);
    QCOMPARE(m_stdout.count("Client connected"), 6);
    QVERIFY2(m_stdout.contains("Repeated 3 times:\n  tried: 2 of 3 passed\n  steady: 3 of 3 passed"),
             qPrintable(m_stdout));
    // The failed repeat is the one reported.
    QCOMPARE(report()["procedures"][0]["repeatsPassed"].toInt(), 2);
    // Repeats that all passed are no sign of flakiness either.
    QVERIFY(!report()["procedures"][0]["flaky"].toBool());
    QVERIFY(!report()["procedures"][1]["flaky"].toBool());

    // Only what failed runs again, and passes now.
    const QString last = m_dir->filePath("last.json");
    QVERIFY(QFile::copy(QDir(m_output).filePath("report.json"), last));
    m_stdout.clear();
    QCOMPARE(run({"--output", m_dir->filePath("again"), "--quiet-client", "--config", config,
                  "--last-failed", last, tried, steady}),
             0);
    QVERIFY(m_stdout.contains("--last-failed: 1 of 2 procedure file(s) failed or did not run"));
    QVERIFY(m_stdout.contains("tried / TimeWait") && !m_stdout.contains("steady / TimeWait"));
}

void tst_E2E::shardsMergeIntoOneRun()
{
    QStringList files;
    for (const char *name : {"a.json", "b.json", "c.json", "d.json"}) {
        const QJsonObject action = name[0] == 'c' ? QJsonObject {{"action", "NoSuchAction"}}
                                                  : QJsonObject {{"action", "TimeWait"}};
        files.append(writeFile(name, procedureJson(QString(name).left(1) + " proc", {action})));
    }
    files.append(writeFile("broken.json", "{"));
    const QString merged = m_dir->filePath("merged");
    QStringList shardFolders;
    for (int i = 1; i <= 2; ++i) {
        shardFolders << m_dir->filePath(QStringLiteral("shard%1").arg(i));
        run(QStringList {"--output", shardFolders.last(), "--quiet-client", "--shard",
                         QStringLiteral("%1/2").arg(i)}
            + files);
    }
    QCOMPARE(run(QStringList {"--merge", merged} + shardFolders), 1);
    m_output = merged;
    // One report, as if the suite had run whole: every procedure once, in order.
    const QJsonObject whole = report();
    QStringList labels;
    for (const QJsonValue &procedure : whole.value("procedures").toArray()) {
        labels.append(procedure["label"].toString());
        QCOMPARE(procedure["actionResults"].toArray().last()["result"].toInt(),
                 int(labels.last() == "c proc" ? KAVAtmEnums::Fail : KAVAtmEnums::Pass));
    }
    QCOMPARE(labels, (QStringList {"a proc", "b proc", "c proc", "d proc"}));
    QCOMPARE(whole.value("invalidProcedures").toArray().size(), 1);
    QVERIFY(whole.value("finished").toBool() && whole.value("notStarted").toArray().isEmpty());
    QCOMPARE(whole.value("exitCode").toInt(), 1);
    // Written a list member at a time, it reads as the document printed whole.
    QFile text(merged + "/report.json");
    QVERIFY(text.open(QIODevice::ReadOnly));
    const QByteArray printed = text.readAll();
    QCOMPARE(printed, QJsonDocument::fromJson(printed).toJson());
    QVERIFY(QFile::exists(merged + "/junit.xml") && QFile::exists(merged + "/report.html"));
    // A shard whose report is missing fails the merge, however the others did.
    QCOMPARE(run({"--merge", merged, shardFolders.first(), m_dir->filePath("lost")}), 2);
    QFile junit(merged + "/junit.xml");
    QVERIFY(junit.open(QIODevice::ReadOnly) && junit.readAll().contains("(reports)"));
}

void tst_E2E::jobsSurviveAKilledHost()
{
    QStringList files;
    for (int i = 0; i < 6; ++i) {
        // The others are busy when the second one's client dies: a fresh client takes over.
        QJsonArray actions {
            QJsonObject {{"action", "TimeWait"}, {"name", "first"}, {"wtime", i == 1 ? 0 : 1500}}};
        // The second procedure's client is killed in its long wait.
        if (i == 1)
            actions.append(
                QJsonObject {{"action", "TimeWait"}, {"wtime", 60000}, {"timeout", 120}});
        files << writeFile(QStringLiteral("p%1.json").arg(i),
                           procedureJson(QStringLiteral("Proc %1").arg(i), actions));
    }
    QHash<QString, qint64> pidOfHost;
    const int code
        = run(QStringList {"--output", m_output, "--quiet-client", "--jobs", "2"} + files,
              [&](const QString &line) {
                  const QString host = line.section(' ', 0, 1);
                  if (line.contains("Client connected:"))
                      pidOfHost[host] = line.section(' ', -1).toLongLong();
                  if (line.contains("proc1 / first"))
                      ::kill(pid_t(pidOfHost.value(host)), SIGKILL);
              });
    QCOMPARE(code, 1);
    // A free client takes the next procedure: a fresh one comes only for the killed one, in
    // its place.
    QVERIFY2(!m_stdout.contains("[host 3]"), qPrintable(m_stdout));
    QVERIFY2(m_stdout.count("Client connected") == 3, qPrintable(m_stdout));
    const QJsonArray procedures = report().value("procedures").toArray();
    QCOMPARE(procedures.size(), 6);
    for (const QJsonValue &procedure : procedures) {
        const QJsonArray actions = procedure["actionResults"].toArray();
        const bool victim = procedure["label"] == "Proc 1";
        QCOMPARE(actions.size(), victim ? 3 : 2);
        QCOMPARE(actions.last()["result"].toInt(), victim ? 2 : 1);
        if (victim)
            QVERIFY(actions.last()["details"].toString().contains("The client exited"));
    }
    QVERIFY2(m_stdout.contains("Summary: 13 action(s): 12 passed, 0 with warnings, 1 failed"),
             qPrintable(m_stdout));
}

QTEST_GUILESS_MAIN(tst_E2E)
#include "tst_e2e.moc"
