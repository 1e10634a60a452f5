#include "kavatmclientdefinition.h"
#include "kavatmconfiguration.h"
#include "kavatmorchestratorconfiguration.h"
#include "testfiles.h"

#include <QtCore/QJsonDocument>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <ctime>
#include <utime.h>

class tst_KAVAtmConfiguration : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void readFile_data();
    void readFile();
    void saveAndReadBack();
    void installationVariables_data();
    void installationVariables();
    void environment_data();
    void environment();
    void sharing();

private:
    QTemporaryDir m_dir;
    QString m_prodBuild;
};

static bool setModified(const QString &path, qint64 secondsAgo)
{
    const time_t when = time(nullptr) - secondsAgo;
    const struct utimbuf times = {when, when};
    return utime(QFile::encodeName(path).constData(), &times) == 0;
}

void tst_KAVAtmConfiguration::initTestCase()
{
    // The installation roots are taken from the configuration location on first use.
    qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
    const QString production = m_dir.filePath("Brightel/webdeploy/production");
    // Two installed builds and one folder without a program; the least recent build wins.
    for (const char *build : {"build-old", "build-new", "empty"}) {
        const QString folder = production + "/" + build;
        QVERIFY(QDir().mkpath(folder));
        if (qstrcmp(build, "empty") == 0)
            continue;
        QFile program(folder + "/CorvidApp");
        QVERIFY(program.open(QIODevice::WriteOnly));
        program.write("#!/bin/sh\n");
        program.close();
        QVERIFY(program.setPermissions(program.permissions() | QFile::ExeOwner));
    }
    QVERIFY(setModified(production + "/empty", 3 * 86400));
    QVERIFY(setModified(production + "/build-old", 2 * 86400));
    QVERIFY(setModified(production + "/build-new", 86400));
    QVERIFY(setModified(production, 0));
    m_prodBuild = QDir::toNativeSeparators(production + "/build-old/CorvidApp");
}

void tst_KAVAtmConfiguration::readFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("two clients in order")
        << QByteArray(R"({"clients":[{"displayName":"B"},{"displayName":"A"}],"x":1})")
        << QStringList {"B", "A"};
    QTest::newRow("number element gives an empty client")
        << QByteArray(R"({"clients":[5]})") << QStringList {""};
    QTest::newRow("array root") << QByteArray(R"([{"displayName":"A"}])") << QStringList {};
    QTest::newRow("not JSON") << QByteArray("{clients") << QStringList {};
}

void tst_KAVAtmConfiguration::readFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, names);
    const KAVAtmOrchestratorConfiguration configuration(
        writeFile(m_dir.filePath(QTest::currentDataTag() + QStringLiteral(".json")), content));
    QStringList read;
    for (const KAVAtmClientDefinition &client : configuration.GetClients())
        read.append(client.GetDisplayName());
    QCOMPARE(read, names);
}

void tst_KAVAtmConfiguration::saveAndReadBack()
{
    const QByteArray content = R"({"clients":[{"platform":"Corvid","displayName":"Host",
        "executable":"/opt/host","workingDir":"/tmp","arguments":["-a", 3],
        "environment":{"A":"1","B":2}}]})";
    KAVAtmOrchestratorConfiguration configuration(writeFile(m_dir.filePath("given.json"), content));
    const QString saved = m_dir.filePath("saved.json");
    QVERIFY(configuration.SaveToJsonFile(saved));
    const KAVAtmClientDefinition client
        = KAVAtmOrchestratorConfiguration(saved).GetClients().first();
    QCOMPARE(client.GetPlatform(), QStringLiteral("Corvid"));
    QCOMPARE(client.GetExecutable(), QStringLiteral("/opt/host"));
    QCOMPARE(client.GetWorkingDir(), QStringLiteral("/tmp"));
    QCOMPARE(client.GetArguments(), QList<QString>({"-a", ""}));
    QCOMPARE(client.GetEnvironmentVariables(), (QHash<QString, QString> {{"A", "1"}, {"B", ""}}));

    QVERIFY(KAVAtmOrchestratorConfiguration(m_dir.filePath("none.json")).GetClients().isEmpty());
}

void tst_KAVAtmConfiguration::installationVariables_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("workingDir");
    QTest::addColumn<QString>("expectedExecutable");
    QTest::addColumn<QString>("expectedWorkingDir");
    const QString build
        = QDir::toNativeSeparators(m_dir.filePath("Brightel/webdeploy/production/build-old"));
    QTest::newRow("variable") << "${Corvid_Prod}"
                              << "${Corvid_Prod}" << m_prodBuild << build;
    QTest::newRow("text around is dropped") << "${Corvid_Prod}/bin/other"
                                            << "" << m_prodBuild << "";
    QTest::newRow("no variable") << "/usr/bin/host"
                                 << "/work"
                                 << "/usr/bin/host"
                                 << "/work";
    QTest::newRow("nothing installed") << "${Corvid_Dev}"
                                       << "${Corvid_Dev}"
                                       << ""
                                       << ".";
}

void tst_KAVAtmConfiguration::installationVariables()
{
    QFETCH(QString, executable);
    QFETCH(QString, workingDir);
    QFETCH(QString, expectedExecutable);
    QFETCH(QString, expectedWorkingDir);
    KAVAtmClientDefinition client;
    client.SetExecutable(executable);
    client.SetWorkingDir(workingDir);
    QCOMPARE(client.GetExecutable(), expectedExecutable);
    QCOMPARE(QDir::toNativeSeparators(client.GetWorkingDir()), expectedWorkingDir);
}

void tst_KAVAtmConfiguration::environment_data()
{
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QByteArray>("port");
    QTest::addColumn<QHostAddress>("expectedAddress");
    QTest::addColumn<int>("expectedPort");
    QTest::newRow("unset") << QByteArray() << QByteArray() << QHostAddress(QHostAddress::LocalHost)
                           << 0;
    QTest::newRow("wraps to 16 bits")
        << QByteArray("127.0.0.2") << QByteArray("70000") << QHostAddress("127.0.0.2") << 4464;
    QTest::newRow("not a number") << QByteArray() << QByteArray("eighty")
                                  << QHostAddress(QHostAddress::LocalHost) << 0;
    QTest::newRow("host name") << QByteArray("localhost") << QByteArray("5000")
                               << QHostAddress(QHostAddress::LocalHost) << 5000;
}

void tst_KAVAtmConfiguration::environment()
{
    QFETCH(QByteArray, address);
    QFETCH(QByteArray, port);
    QFETCH(QHostAddress, expectedAddress);
    QFETCH(int, expectedPort);
    qputenv("KAVAtmOrchestratorAddress", address);
    qputenv("KAVAtmOrchestratorPort", port);
    const KAVAtmConfiguration configuration;
    qunsetenv("KAVAtmOrchestratorAddress");
    qunsetenv("KAVAtmOrchestratorPort");
    const QHostAddress read = configuration.GetOrchestratorAddress();
    // A host name may resolve to the IPv6 loopback first.
    QVERIFY2(read == expectedAddress || (address == "localhost" && read.isLoopback()),
             qPrintable(read.toString()));
    QCOMPARE(int(configuration.GetOrchestratorPort()), expectedPort);
}

void tst_KAVAtmConfiguration::sharing()
{
    KAVAtmConfiguration first;
    KAVAtmConfiguration second = first;
    second.SetOrchestratorPort(1234);
    QCOMPARE(first.GetOrchestratorPort(), quint16(1234));

    KAVAtmClientDefinition a;
    a.SetDisplayName("a");
    KAVAtmClientDefinition b = a;
    b.SetDisplayName("b");
    QCOMPARE(a.GetDisplayName(), QStringLiteral("a"));
}

QTEST_GUILESS_MAIN(tst_KAVAtmConfiguration)
#include "tst_kavatmconfiguration.moc"
