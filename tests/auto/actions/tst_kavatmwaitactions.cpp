#include "kavatmprocessormonitor.h"
#include "kavatmupdatemonitor.h"
#include "kavatmwaitprocessoractionbase.h"
#include "kavatmwaitupdateaction.h"
#include "kavfeatcontainer.h"
#include "kavfeatenvironment.h"
#include "kavfeatenvironmentmanager.h"
#include "kavfeatupdatemanager.h"
#include "kavnestfeatureprocessor.h"
#include "kavnestsavemanager.h"
#include "kavnestsourceprocessor.h"
#include "testplatform.h"

#include <QtTest/QtTest>

// Steps of a scenario, reported to the host layer one by one:
// "run" / "idle" a processor status, "progress:0.5", "save", "update" (a whole update run),
// "busy" (update manager status 1), "updating" (2), "done" (0).
using Steps = QStringList;

static const int StartTimeout = 300;

class tst_KAVAtmWaitActions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void processorWait_data();
    void processorWait();
    void updateWait_data();
    void updateWait();
    void withoutDocumentFails_data();
    void withoutDocumentFails();
    void timeWait_data();
    void timeWait();
    void monitors();
    void endedFromOutsideFails_data();
    void endedFromOutsideFails();
    void timeoutsAreNeverShort_data();
    void timeoutsAreNeverShort();

private:
    void apply(const QString &step, KAVNestProcessorBase *processor);

    TestPlatform *m_platform = nullptr;
    KAVFeatEnvironment *m_environment = nullptr;
    KAVFeatObject *m_part = nullptr;
};

void tst_KAVAtmWaitActions::initTestCase()
{
    KAVAtmWaitProcessorActionBase::SetStartTimeout(StartTimeout);
    KAVAtmWaitUpdateAction::SetStartTimeout(StartTimeout);
}

void tst_KAVAtmWaitActions::init()
{
    m_environment = new KAVFeatEnvironment("doc");
    new KAVNestFeatureProcessor(m_environment);
    new KAVNestSourceProcessor(m_environment);
    m_part = new KAVFeatObject("part");
    m_environment->GetContainer()->AddFeatureRoot(m_part);
    KAVFeatEnvironmentManager::GetManager()->SetCurrentEnvironment(m_environment);
    m_platform = new TestPlatform;
    m_platform->SetFeatureProcessorMonitor(m_environment);
    m_platform->SetSourceProcessorMonitor(m_environment);
    m_platform->SetUpdateMonitor(m_environment);
}

void tst_KAVAtmWaitActions::cleanup()
{
    delete m_platform;
    delete m_environment;
}

void tst_KAVAtmWaitActions::apply(const QString &step, KAVNestProcessorBase *processor)
{
    KAVFeatUpdateManager *updates = KAVFeatUpdateManager::GetManager();
    if (step == "run")
        processor->ReportStatus(KAVNestProcessorBase::Running);
    else if (step == "idle")
        processor->ReportStatus(KAVNestProcessorBase::Idle);
    else if (step.startsWith("progress:"))
        processor->ReportProgress(step.mid(9).toDouble());
    else if (step == "save")
        KAVNestSaveManager::GetManager()->FinishSave();
    else if (step == "update")
        updates->RunUpdate(m_environment);
    else if (step == "busy")
        updates->SetStatus(m_environment, KAVFeatUpdateManager::Pending);
    else if (step == "updating")
        updates->SetStatus(m_environment, KAVFeatUpdateManager::Updating);
    else if (step == "done")
        updates->SetStatus(m_environment, KAVFeatUpdateManager::Idle);
    else
        QFAIL(qPrintable("unknown step " + step));
}

void tst_KAVAtmWaitActions::processorWait_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<Steps>("before");
    QTest::addColumn<Steps>("during"); // 50 ms apart, the first 50 ms after the start
    QTest::addColumn<bool>("stale");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("details");

    const int pass = KAVAtmEnums::Pass;
    const int warning = KAVAtmEnums::Warning;
    const QString notStarted = "Expected to wait processor finished but it is not started.";
    QTest::newRow("finished before the wait")
        << "WaitNest" << Steps {"run", "idle"} << Steps {} << true << pass << "";
    QTest::newRow("runs during the wait")
        << "WaitNest" << Steps {} << Steps {"run", "idle"} << true << pass << "";
    QTest::newRow("idle, run, idle before")
        << "WaitTranslation" << Steps {"idle", "run", "idle"} << Steps {} << true << pass << "";
    QTest::newRow("never starts, up to date")
        << "WaitNest" << Steps {} << Steps {} << false << pass
        << "Nothing started within 0.3 s; the document was up to date.";
    QTest::newRow("never starts, stale")
        << "WaitNest" << Steps {} << Steps {} << true << warning << notStarted;
    QTest::newRow("only idle before, stale")
        << "WaitNest" << Steps {"idle"} << Steps {} << true << warning << notStarted;
    QTest::newRow("progress 0.0 does not count")
        << "WaitNest" << Steps {} << Steps {"progress:0.0"} << true << warning << notStarted;
    QTest::newRow("progress, then save and update past the start time-out")
        << "WaitNest" << Steps {}
        << Steps {"progress:0.5", "", "", "", "", "", "", "", "save", "update"} << true << pass
        << "";
    // The translation's save, before the nesting has run, is not the nesting's result.
    QTest::newRow("another processor's save does not count")
        << "WaitNest" << Steps {} << Steps {"save"} << true << warning << notStarted;
    QTest::newRow("other processor's run does not count")
        << "WaitTranslation" << Steps {} << Steps {} << true << warning << notStarted;
    QTest::newRow("a run still going keeps waiting")
        << "WaitNest" << Steps {"run"} << Steps {"", "", "", "", "", "", "", "", "idle"} << true
        << pass << "";
}

void tst_KAVAtmWaitActions::processorWait()
{
    QFETCH(QString, type);
    QFETCH(Steps, before);
    QFETCH(Steps, during);
    QFETCH(bool, stale);
    QFETCH(int, result);
    QFETCH(QString, details);

    // Steps act on the nesting processor, so a translation wait sees only its own history.
    KAVNestProcessorBase *processor = type == "WaitTranslation" && before.isEmpty()
        ? static_cast<KAVNestProcessorBase *>(KAVNestFeatureProcessor::GetProcessor(m_environment))
        : type == "WaitTranslation"
        ? static_cast<KAVNestProcessorBase *>(KAVNestSourceProcessor::GetProcessor(m_environment))
        : KAVNestFeatureProcessor::GetProcessor(m_environment);
    if (type == "WaitTranslation" && before.isEmpty())
        during = {"run", "idle"};
    m_part->SetUpToDate(!stale);
    for (const QString &step : before)
        apply(step, processor);
    for (int i = 0; i < during.size(); ++i) {
        if (!during[i].isEmpty())
            QTimer::singleShot(50 * (i + 1), m_environment, [=] { apply(during[i], processor); });
    }
    const QJsonObject update = m_platform->Run({{"action", type}});
    QCOMPARE(update.value("result").toInt(), result);
    QCOMPARE(update.value("details").toString(), details);
    KAVAtmProcessorMonitor *monitor = type == "WaitNest" ? m_platform->GetFeatureProcessorMonitor()
                                                         : m_platform->GetSourceProcessorMonitor();
    QVERIFY(monitor->GetStatusHistory().isEmpty());
}

void tst_KAVAtmWaitActions::updateWait_data()
{
    QTest::addColumn<Steps>("before");
    QTest::addColumn<Steps>("during");
    QTest::addColumn<bool>("stale");
    QTest::addColumn<int>("result");

    const int pass = KAVAtmEnums::Pass;
    const int warning = KAVAtmEnums::Warning;
    QTest::newRow("2, 0 before") << Steps {"updating", "done"} << Steps {} << true << pass;
    QTest::newRow("1, 0 before") << Steps {"busy", "done"} << Steps {} << true << pass;
    QTest::newRow("2, 1, 0 before is not finished")
        << Steps {"updating", "busy", "done"} << Steps {} << true << warning;
    QTest::newRow("update during the wait") << Steps {} << Steps {"update"} << true << pass;
    QTest::newRow("nothing, up to date") << Steps {} << Steps {} << false << pass;
    QTest::newRow("busy when the start timer fires")
        << Steps {"busy"} << Steps {"", "", "", "", "", "", "", "", "updating", "done"} << true
        << pass;
}

void tst_KAVAtmWaitActions::updateWait()
{
    QFETCH(Steps, before);
    QFETCH(Steps, during);
    QFETCH(bool, stale);
    QFETCH(int, result);

    m_part->SetUpToDate(!stale);
    for (const QString &step : before)
        apply(step, nullptr);
    for (int i = 0; i < during.size(); ++i) {
        if (!during[i].isEmpty())
            QTimer::singleShot(50 * (i + 1), m_environment, [=] { apply(during[i], nullptr); });
    }
    const QJsonObject update = m_platform->Run({{"action", "WaitUpdate"}});
    QCOMPARE(update.value("result").toInt(), result);
    if (result == KAVAtmEnums::Warning)
        QCOMPARE(update.value("details").toString(),
                 QStringLiteral("Expected to wait update finished but it is not started."));
    QVERIFY(m_platform->GetUpdateMonitor()->GetStatusHistory().isEmpty());
    KAVFeatUpdateManager::GetManager()->SetStatus(m_environment, KAVFeatUpdateManager::Idle);
}

void tst_KAVAtmWaitActions::withoutDocumentFails_data()
{
    QTest::addColumn<QString>("type");
    QTest::newRow("WaitNest") << "WaitNest";
    QTest::newRow("WaitTranslation") << "WaitTranslation";
    QTest::newRow("WaitUpdate") << "WaitUpdate";
}

void tst_KAVAtmWaitActions::withoutDocumentFails()
{
    QFETCH(QString, type);
    m_part->SetUpToDate(true);
    KAVFeatEnvironmentManager::GetManager()->SetCurrentEnvironment(nullptr);
    const QJsonObject update = m_platform->Run({{"action", type}});
    QCOMPARE(update.value("result").toInt(), int(KAVAtmEnums::Fail));
    QCOMPARE(update.value("details").toString(),
             QStringLiteral("There is no document to wait for."));
}

void tst_KAVAtmWaitActions::timeWait_data()
{
    QTest::addColumn<QJsonObject>("action");
    QTest::addColumn<int>("result");
    QTest::newRow("negative wtime")
        << QJsonObject {{"action", "TimeWait"}, {"wtime", -5}} << int(KAVAtmEnums::Pass);
    QTest::newRow("save without update times out")
        << QJsonObject {{"action", "WaitNest"}, {"timeout", 1}} << int(KAVAtmEnums::Fail);
}

void tst_KAVAtmWaitActions::timeWait()
{
    QFETCH(QJsonObject, action);
    QFETCH(int, result);
    m_part->SetUpToDate(false);
    // The nesting ran (progress) and saved: the update it would bring never comes.
    QTimer::singleShot(20, m_environment, [this] {
        KAVNestFeatureProcessor::GetProcessor(m_environment)->ReportProgress(0.5);
        KAVNestSaveManager::GetManager()->FinishSave();
    });
    const QJsonObject update = m_platform->Run(action);
    QCOMPARE(update.value("result").toInt(), result);
    QTest::qWait(20);
    QCOMPARE(m_platform->Completed().size(), 1);
}

void tst_KAVAtmWaitActions::endedFromOutsideFails_data()
{
    QTest::addColumn<QJsonObject>("action");
    QTest::addColumn<QStringList>("before"); // steps before the wait starts
    QTest::newRow("TimeWait") << QJsonObject {{"action", "TimeWait"}, {"wtime", 3000}}
                              << QStringList();
    QTest::newRow("WaitNest, processor running")
        << QJsonObject {{"action", "WaitNest"}, {"timeout", 0}} << QStringList {"run"};
    QTest::newRow("WaitUpdate, manager busy")
        << QJsonObject {{"action", "WaitUpdate"}, {"timeout", 0}} << QStringList {"updating"};
}

void tst_KAVAtmWaitActions::endedFromOutsideFails()
{
    QFETCH(QJsonObject, action);
    QFETCH(QStringList, before);
    for (const QString &step : before)
        apply(step, KAVNestFeatureProcessor::GetProcessor(m_environment));
    // The host quits while the wait runs (the demo host's ClosePlatform does): quitting ends
    // every nested loop, and the wait must not take that for its own end.
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer::singleShot(0, m_platform,
                       [this, action] { m_platform->DispatchAction(QUuid::createUuid(), action); });
    QTimer::singleShot(200, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    QVERIFY(elapsed.elapsed() < 2500);
    QCOMPARE(m_platform->Completed().size(), 1);
    const QJsonObject update = m_platform->Completed().first();
    QCOMPARE(update.value("result").toInt(), int(KAVAtmEnums::Fail));
    QVERIFY2(update.value("details").toString().contains("interrupted"),
             qPrintable(update.value("details").toString()));
}

void tst_KAVAtmWaitActions::timeoutsAreNeverShort_data()
{
    QTest::addColumn<QJsonObject>("action");
    QTest::addColumn<int>("atLeast");
    QTest::addColumn<int>("result");
    QTest::newRow("time-out 1 s") << QJsonObject {{"action", "TimeWait"},
                                                  {"wtime", 60000},
                                                  {"timeout", 1}}
                                  << 1000 << int(KAVAtmEnums::Fail);
    QTest::newRow("wait 1000 ms") << QJsonObject {{"action", "TimeWait"}, {"wtime", 1000}} << 1000
                                  << int(KAVAtmEnums::Pass);
}

void tst_KAVAtmWaitActions::timeoutsAreNeverShort()
{
    QFETCH(QJsonObject, action);
    QFETCH(int, atLeast);
    QFETCH(int, result);
    QElapsedTimer elapsed;
    qint64 finishedAfter = -1;
    connect(m_platform, &KAVAtmPlatform::ActionFinished, this,
            [&] { finishedAfter = elapsed.elapsed(); });
    // A coarse timer moves its expiry to a nearby round time of the monotonic clock, up to 5 %
    // early. Started just past a round second, a coarse one would fire early every time.
    do
        elapsed.start();
    while (elapsed.msecsSinceReference() % 1000 != 30);
    const QJsonObject update = m_platform->Run(action);
    QCOMPARE(update.value("result").toInt(), result);
    QVERIFY2(finishedAfter >= atLeast, qPrintable(QString::number(finishedAfter)));
}

void tst_KAVAtmWaitActions::monitors()
{
    KAVNestProcessorBase *processor = KAVNestFeatureProcessor::GetProcessor(m_environment);
    KAVAtmProcessorMonitor *monitor = m_platform->GetFeatureProcessorMonitor();
    QSignalSpy saved(monitor, &KAVAtmProcessorMonitor::SaveFinished);
    KAVNestSaveManager *saves = KAVNestSaveManager::GetManager();

    processor->ReportStatus(KAVNestProcessorBase::Idle);
    saves->FinishSave();
    QCOMPARE(saved.size(), 0); // idle alone subscribes to nothing
    processor->ReportStatus(KAVNestProcessorBase::Running);
    processor->ReportStatus(KAVNestProcessorBase::Idle);
    saves->FinishSave();
    saves->FinishSave(); // no new activity: not passed on
    QCOMPARE(saved.size(), 1);
    QCOMPARE(monitor->GetStatusHistory(),
             QList<KAVNestProcessorBase::ProcessorStatus>({KAVNestProcessorBase::Idle,
                                                           KAVNestProcessorBase::Running,
                                                           KAVNestProcessorBase::Idle}));

    KAVAtmProcessorMonitor orphan(nullptr, nullptr);
    processor->ReportStatus(KAVNestProcessorBase::Running);
    QVERIFY(orphan.GetStatusHistory().isEmpty());

    KAVAtmUpdateMonitor *updates = m_platform->GetUpdateMonitor();
    QSignalSpy updated(updates, &KAVAtmUpdateMonitor::UpdateFinished);
    // Busy then idle, never under way: one subscription, one completion passed on.
    KAVFeatUpdateManager *manager = KAVFeatUpdateManager::GetManager();
    manager->SetStatus(m_environment, KAVFeatUpdateManager::Pending);
    manager->SetStatus(m_environment, KAVFeatUpdateManager::Idle);
    manager->FinishUpdate({});
    manager->FinishUpdate({});
    QCOMPARE(updated.size(), 1);

    // A second installation leaves two monitors; the getter gives the newer one, and null
    // once the environment is gone.
    m_platform->SetFeatureProcessorMonitor(m_environment);
    QVERIFY(m_platform->GetFeatureProcessorMonitor() != monitor);
    QCOMPARE(m_environment->findChildren<KAVAtmProcessorMonitor *>().size(), 3);
    delete m_environment;
    m_environment = nullptr;
    QVERIFY(!m_platform->GetFeatureProcessorMonitor());
    QVERIFY(!m_platform->GetUpdateMonitor());
}

QTEST_MAIN(tst_KAVAtmWaitActions)
#include "tst_kavatmwaitactions.moc"
