#include "kavatmorchestratorclientconnection.h"
#include "kavatmtestactionbase.h"
#include "kavatmwaitupdateaction.h"
#include "testplatform.h"

#include <QtNetwork/QTcpServer>
#include <QtTest/QtTest>

// An executor that reports Pass at once; used to replace a registered one.
class InstantAction : public KAVAtmTestActionBase {
    Q_OBJECT
public:
    Q_INVOKABLE InstantAction(KAVAtmPlatform &platform, const QUuid &id, const QJsonValue &data)
        : KAVAtmTestActionBase(platform, id, data)
    {
    }
    void Execute() override
    {
        KAVAtmTestActionBase::Execute();
        ReportResult(KAVAtmEnums::Pass, QString(), QStringLiteral("instant"));
        ReportResult(KAVAtmEnums::Fail, QStringLiteral("second report"), QString());
    }
};

// Not an executor: dispatching it must run nothing.
class NotAnAction : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE NotAnAction(KAVAtmPlatform &, const QUuid &, const QJsonValue &) { }
};

class tst_KAVAtmPlatform : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dispatch_data();
    void dispatch();
    void isExecutingAroundActionStarting();
    void dispatchWhileAnotherWaits();
    void timeoutUnderAnotherExecutorsLoop();
    void replacedAndInvalidExecutors();
    void connectsWithTheSecretItWasGiven_data();
    void connectsWithTheSecretItWasGiven();
};

void tst_KAVAtmPlatform::dispatch_data()
{
    QTest::addColumn<QJsonObject>("action");
    QTest::addColumn<int>("updates");
    QTest::addColumn<int>("closes");
    QTest::addColumn<QString>("message");

    QTest::newRow("any letter case") << QJsonObject {{"action", "tImEwAiT"}, {"wtime", 0}} << 2 << 0
                                     << "Dispatching action: timewait";
    QTest::newRow("host's own type")
        << QJsonObject {{"action", "CloseFile"}} << 1 << 0 << "The action is not found: closefile";
    QTest::newRow("close") << QJsonObject {{"action", "ClosePlatform"}} << 0 << 1 << "";
    QTest::newRow("no action key") << QJsonObject {{"wtime", 0}} << 1 << 0 << "";
    QTest::newRow("action not a string")
        << QJsonObject {{"action", 5}} << 1 << 0 << "The action is not found: ";
}

void tst_KAVAtmPlatform::dispatch()
{
    QFETCH(QJsonObject, action);
    QFETCH(int, updates);
    QFETCH(int, closes);
    QFETCH(QString, message);

    QLoggingCategory::setFilterRules(QStringLiteral("kav.platform.debug=true"));
    TestPlatform platform;
    QSignalSpy starting(&platform, &KAVAtmPlatform::ActionStarting);
    if (!message.isEmpty())
        QTest::ignoreMessage(message.startsWith("Dispatching") ? QtInfoMsg : QtDebugMsg,
                             qPrintable(message));
    QTest::failOnWarning(QRegularExpression("not found|Dispatching"));
    platform.DispatchAction(QUuid::createUuid(), action);
    QTRY_COMPARE(platform.updates.size(), updates);
    // An unknown type is answered with a failure at once, so the runner does not wait.
    QCOMPARE(starting.size(), updates == 2 ? 1 : 0);
    if (updates == 1) {
        QCOMPARE(platform.updates.first().value("status").toInt(), int(KAVAtmEnums::Completed));
        QCOMPARE(platform.updates.first().value("result").toInt(), int(KAVAtmEnums::Fail));
    }
    QCOMPARE(platform.closeCount, closes);
    QLoggingCategory::setFilterRules(QString());
}

void tst_KAVAtmPlatform::isExecutingAroundActionStarting()
{
    TestPlatform platform;
    QList<bool> seen;
    connect(&platform, &KAVAtmPlatform::ActionStarting, this,
            [&] { seen.append(platform.IsExecuting()); });
    connect(&platform, &KAVAtmPlatform::ActionFinished, this,
            [&] { seen.append(platform.IsExecuting()); });
    QVERIFY(!platform.Run({{"action", "TimeWait"}, {"wtime", 0}}).isEmpty());
    // Announced once, for the completed update only.
    QCOMPARE(seen, QList<bool>({false, true}));
    platform.UpdateActionResult(nullptr);
    QVERIFY(!platform.IsExecuting());
    QTRY_COMPARE(platform.findChildren<KAVAtmTestActionBase *>().size(), 0);
}

void tst_KAVAtmPlatform::dispatchWhileAnotherWaits()
{
    TestPlatform platform;
    bool executingAfterInner = false;
    QTimer::singleShot(20, &platform, [&] {
        // Arrives while the first executor waits in its nested loop.
        platform.Run({{"action", "TimeWait"}, {"wtime", 0}, {"name", "inner"}});
        executingAfterInner = platform.IsExecuting();
    });
    const QJsonObject outer = platform.Run({{"action", "TimeWait"}, {"wtime", 200}});
    QCOMPARE(outer.value("result").toInt(), int(KAVAtmEnums::Pass));
    const QList<QJsonObject> completed = platform.Completed();
    QCOMPARE(completed.size(), 2);
    QCOMPARE(completed.last().value("id"), outer.value("id"));
    QVERIFY(executingAfterInner); // the outer one still runs
    QTRY_VERIFY(!platform.IsExecuting());
}

void tst_KAVAtmPlatform::timeoutUnderAnotherExecutorsLoop()
{
    // The first wait times out while a second one's nested loop runs above its own: it must
    // survive until its Execute() has returned.
    TestPlatform platform;
    QTimer::singleShot(20, &platform, [&] {
        platform.DispatchAction(QUuid::createUuid(),
                                QJsonObject {{"action", "TimeWait"}, {"wtime", 1500}});
    });
    const QJsonObject first
        = platform.Run({{"action", "TimeWait"}, {"wtime", 60000}, {"timeout", 1}});
    QCOMPARE(first.value("details").toString(), QStringLiteral("Timeout."));
    QTRY_COMPARE(platform.Completed().size(), 2);
    QCOMPARE(platform.Completed().last().value("result").toInt(), int(KAVAtmEnums::Pass));
    QTRY_COMPARE(platform.findChildren<KAVAtmTestActionBase *>().size(), 0);
}

void tst_KAVAtmPlatform::replacedAndInvalidExecutors()
{
    TestPlatform platform;
    platform.RegisterActionWithType("TIMEWAIT", InstantAction::staticMetaObject);
    platform.RegisterActionWithType("Broken", NotAnAction::staticMetaObject);
    QCOMPARE(platform.GetRegisteredAction("timewait")->className(), "InstantAction");

    const QJsonObject update = platform.Run({{"action", "TimeWait"}, {"wtime", 60000}});
    QCOMPARE(update.value("data").toString(), QStringLiteral("instant"));
    QVERIFY(!update.contains("details"));
    QCOMPARE(platform.Completed().size(), 1); // the second report was ignored

    platform.updates.clear();
    platform.DispatchAction(QUuid::createUuid(), QJsonObject {{"action", "broken"}});
    QVERIFY(platform.updates.isEmpty());
    QVERIFY(!platform.IsExecuting());
    QCOMPARE(platform.findChildren<NotAnAction *>().size(), 0);
}

void tst_KAVAtmPlatform::connectsWithTheSecretItWasGiven_data()
{
    QTest::addColumn<QByteArray>("given"); // in the host's environment
    QTest::addColumn<QByteArray>("expected"); // by the runner; empty: the built-in key
    QTest::addColumn<bool>("registers");
    const QByteArray secret = QByteArray::fromHex(QByteArray(64, '7'));
    QTest::newRow("its secret") << QByteArray(64, '7') << secret << true;
    QTest::newRow("another secret") << QByteArray(64, '8') << secret << false;
    QTest::newRow("no secret, built-in key") << QByteArray() << QByteArray() << true;
    QTest::newRow("not a secret, built-in key") << QByteArray("xyz") << QByteArray() << true;
}

void tst_KAVAtmPlatform::connectsWithTheSecretItWasGiven()
{
    QFETCH(QByteArray, given);
    QFETCH(QByteArray, expected);
    QFETCH(bool, registers);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    KAVAtmOrchestratorClientConnection *runner = nullptr;
    connect(&server, &QTcpServer::newConnection, this, [&] {
        delete runner;
        runner = new KAVAtmOrchestratorClientConnection(this, server.nextPendingConnection());
        if (!expected.isEmpty())
            runner->SetClientSecrets({expected}, false);
        runner->Authenticate();
    });
    qputenv("KAVAtmOrchestratorPort", QByteArray::number(server.serverPort()));
    if (given.isEmpty())
        qunsetenv("KAVAtmClientSecret");
    else
        qputenv("KAVAtmClientSecret", given);
    if (given == "xyz")
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("does not hold a secret"));
    if (!registers)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("KAVWorkConnection: .*"));

    TestPlatform platform;
    platform.OnTestEnvironmentReady();
    // Read once and dropped: programs the host starts do not inherit it.
    QVERIFY(!qEnvironmentVariableIsSet("KAVAtmClientSecret"));
    QSignalSpy status(&platform, &KAVAtmPlatform::StatusChanged);
    QCOMPARE(status.wait(registers ? 5000 : 2500), registers);
    if (registers) {
        QTRY_VERIFY(runner && runner->IsAuthenticated());
        QCOMPARE(runner->GetAuthenticatedSecret(), expected);
        // Windows after failures only (the default): a step that passed is sent without them.
        QList<QJsonObject> sent;
        connect(runner, &KAVAtmOrchestratorClientConnection::ActionStatusUpdated, this,
                [&sent](const QJsonValue &update) { sent.append(update.toObject()); });
        platform.Run({{"action", "TimeWait"}, {"wtime", 0}});
        platform.Run({{"action", "NoSuchAction"}});
        QTRY_VERIFY(!sent.isEmpty() && sent.constLast().value("result") == KAVAtmEnums::Fail);
        for (const QJsonObject &update : std::as_const(sent)) {
            const bool failed = update.value("result") == KAVAtmEnums::Fail;
            QCOMPARE(update.contains("screenshot") || update.contains("screenshotMissing"), failed);
        }
    }
    qunsetenv("KAVAtmOrchestratorPort");
    delete runner;
}

QTEST_MAIN(tst_KAVAtmPlatform)
#include "tst_kavatmplatform.moc"
