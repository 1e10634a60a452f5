// Starting client programs: their environment, their output, their start and end.

#include "kavatmclientlauncher_p.h"

#include <QtCore/QBuffer>
#include <QtCore/QProcess>
#include <QtTest/QtTest>

class tst_KAVAtmClientLauncher : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void environment_data();
    void environment();
    void outputLinesArePrefixed();
    void programThatCannotStart();
    void runningClientsGoWithTheLauncher();
    void killTakesTheWholeGroup();

private:
    static KAVAtmClientDefinition shell(const QString &script);
};

KAVAtmClientDefinition tst_KAVAtmClientLauncher::shell(const QString &script)
{
    KAVAtmClientDefinition client;
    client.SetDisplayName("shell");
    client.SetExecutable("/bin/sh");
    client.SetArguments({"-c", script});
    return client;
}

void tst_KAVAtmClientLauncher::environment_data()
{
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("inherited"); // null: not in the runner's environment
    QTest::addColumn<QString>("configured"); // null: not configured
    QTest::addColumn<QString>("expected"); // null: absent
    QTest::newRow("port replaces an inherited one") << "KAVAtmOrchestratorPort"
                                                    << "1" << QString() << "4711";
    QTest::newRow("mode") << "KAVAtmPlatformMode" << QString() << QString()
                          << QString::number(int(KAVAtmEnums::UiBatch));
    QTest::newRow("scripting on") << "KAVAtmEnableScript"
                                  << "0" << QString() << "1";
    QTest::newRow("configured is added") << "HOST_FLAG" << QString() << "on"
                                         << "on";
    QTest::newRow("inherited wins over configured") << "HOST_FLAG"
                                                    << "runner"
                                                    << "config"
                                                    << "runner";
    QTest::newRow("web engine path never passes") << "QTWEBENGINEPROCESS_PATH"
                                                  << "/a"
                                                  << "/b" << QString();
    QTest::newRow("address is inherited") << "KAVAtmOrchestratorAddress"
                                          << "10.0.0.1" << QString() << "10.0.0.1";
}

void tst_KAVAtmClientLauncher::environment()
{
    QFETCH(QString, variable);
    QFETCH(QString, inherited);
    QFETCH(QString, configured);
    QFETCH(QString, expected);
    QProcessEnvironment base;
    base.insert("PATH", "/bin");
    if (!inherited.isNull())
        base.insert(variable, inherited);
    QHash<QString, QString> extra;
    if (!configured.isNull())
        extra.insert(variable, configured);
    const QProcessEnvironment built = KAVAtmClientLauncher::BuildEnvironment(
        base, extra, 4711, KAVAtmEnums::UiBatch, QByteArray::fromHex("0102ff"));
    QCOMPARE(built.contains(variable), !expected.isNull());
    QCOMPARE(built.value(variable, QString()), expected.isNull() ? QString() : expected);
    QCOMPARE(built.value("PATH"), QStringLiteral("/bin"));
}

void tst_KAVAtmClientLauncher::outputLinesArePrefixed()
{
    KAVAtmClientLauncher launcher;
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    launcher.SetOutputDevice(&sink);
    QSignalSpy finished(&launcher, &KAVAtmClientLauncher::Finished);
    // A line written in two pieces, an error line, and a last line without its end.
    QProcess *process = launcher.Launch(
        shell("printf 'one '; sleep 0.2; printf 'line\\ntwo\\n'; echo err >&2; printf last"), 1,
        KAVAtmEnums::Batch, QByteArray());
    QVERIFY(process);
    QSignalSpy started(&launcher, &KAVAtmClientLauncher::Started);
    QVERIFY(started.wait(5000));
    const qint64 pid = process->processId();
    QVERIFY(finished.wait(5000));
    const QString prefix = QStringLiteral("[sh %1] ").arg(pid);
    QStringList lines = QString::fromUtf8(sink.data()).split('\n', Qt::SkipEmptyParts);
    lines.sort();
    QCOMPARE(lines,
             QStringList({prefix + "err", prefix + "last", prefix + "one line", prefix + "two"}));
}

void tst_KAVAtmClientLauncher::programThatCannotStart()
{
    KAVAtmClientLauncher launcher;
    QSignalSpy failed(&launcher, &KAVAtmClientLauncher::StartFailed);
    KAVAtmClientDefinition client;
    client.SetDisplayName("ghost");
    QString error;
    QVERIFY(!launcher.Launch(client, 1, KAVAtmEnums::Batch, QByteArray(), &error));
    QVERIFY(error.contains("ghost"));
    QCOMPARE(failed.size(), 0);

    client.SetExecutable("/no/such/program");
    QVERIFY(launcher.Launch(client, 1, KAVAtmEnums::Batch, QByteArray()));
    QTRY_COMPARE(failed.size(), 1);
    QCOMPARE(failed.first().at(1).toString(), QStringLiteral("/no/such/program"));
    QTRY_VERIFY(launcher.GetProcesses().isEmpty());
}

void tst_KAVAtmClientLauncher::runningClientsGoWithTheLauncher()
{
    auto *launcher = new KAVAtmClientLauncher;
    QSignalSpy started(launcher, &KAVAtmClientLauncher::Started);
    QSignalSpy finished(launcher, &KAVAtmClientLauncher::Finished);
    QProcess *process = launcher->Launch(shell("sleep 60"), 1, KAVAtmEnums::Batch, QByteArray());
    QVERIFY(started.wait(5000));
    const qint64 pid = process->processId();
    delete launcher;
    // Killed and reaped, and no handler was told about it.
    QCOMPARE(finished.size(), 0);
    QVERIFY(!QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)));
}

void tst_KAVAtmClientLauncher::killTakesTheWholeGroup()
{
    KAVAtmClientLauncher launcher;
    launcher.SetOutputForwarded(false);
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    launcher.SetOutputDevice(&sink);
    launcher.SetOutputForwarded(true);
    QSignalSpy finished(&launcher, &KAVAtmClientLauncher::Finished);
    // The client starts a program of its own and waits for it.
    QProcess *process
        = launcher.Launch(shell("sleep 60 & echo $!; wait"), 1, KAVAtmEnums::Batch, QByteArray());
    QTRY_VERIFY(sink.data().contains('\n'));
    const qint64 grandchild = sink.data().split(' ').last().trimmed().toLongLong();
    QVERIFY(grandchild > 0);
    QVERIFY(QFileInfo::exists(QStringLiteral("/proc/%1").arg(grandchild)));
    launcher.Kill(process);
    QVERIFY(finished.wait(5000));
    // Gone, or at most a zombie waiting for init to reap it.
    const auto gone = [grandchild] {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(grandchild));
        return !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
    };
    QTRY_VERIFY(gone());
}

QTEST_GUILESS_MAIN(tst_KAVAtmClientLauncher)
#include "tst_kavatmclientlauncher.moc"
