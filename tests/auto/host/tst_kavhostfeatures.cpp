#include "kavfeatbrowserwidget.h"
#include "kavfeatcontainer.h"
#include "kavfeatcontainermanager.h"
#include "kavfeatenvironment.h"
#include "kavfeatenvironmentmanager.h"
#include "kavfeattreenode.h"
#include "kavfeatupdatemanager.h"
#include "kavnestsheetitem.h"
#include "kavsysvalue.h"

#include <QtTest/QtTest>

class tst_KAVHostFeatures : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void browserPaths_data();
    void browserPaths();
    void browserFollowsContainer();
    void browserOwningItsEnvironment();
    void browserIgnoresPlainItems();
    void updateStatusGoesWithItsEnvironment();
    void selectionForgetsDeletedObjects();
    void updateMakesModelUpToDate();
    void sysValues_data();
    void sysValues();

private:
    KAVFeatEnvironment *createEnvironment(const QString &name);
};

KAVFeatEnvironment *tst_KAVHostFeatures::createEnvironment(const QString &name)
{
    auto *environment = new KAVFeatEnvironment(name, this);
    auto *nesting = new KAVFeatObject("Nesting");
    auto *sheet = new KAVFeatObject("Sheet 1", nesting);
    new KAVNestSheetItem("Part A", sheet);
    new KAVFeatObject("Sheet 2", nesting);
    environment->GetContainer()->AddFeatureRoot(nesting);
    environment->GetContainer()->AddFeatureRoot(new KAVFeatObject("Sources"));
    return environment;
}

void tst_KAVHostFeatures::browserPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("found");
    QTest::newRow("root") << "Nesting"
                          << "Nesting";
    QTest::newRow("leaf") << "Nesting/Sheet 1/Part A"
                          << "Part A";
    QTest::newRow("leading slash") << "/Sources"
                                   << "Sources";
    QTest::newRow("wrong branch") << "Nesting/Sheet 2/Part A"
                                  << "";
    QTest::newRow("prefix only") << "Nest"
                                 << "";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_KAVHostFeatures::browserPaths()
{
    QFETCH(QString, path);
    QFETCH(QString, found);
    KAVFeatEnvironment *environment = createEnvironment("browse");
    KAVFeatBrowserWidget browser;
    browser.SetEnvironment(environment);
    KAVFeatTreeNode *node = browser.GetTreeNodeFromFullPath(path);
    QCOMPARE(node ? node->GetFeatureObject()->GetIdentifier() : QString(), found);
    if (node)
        QCOMPARE(KAVFeatBrowserWidget::GetFullPath(node->GetFeatureObject()),
                 path.mid(path.startsWith('/') ? 1 : 0));
    delete environment;
}

void tst_KAVHostFeatures::browserFollowsContainer()
{
    KAVFeatEnvironment *environment = createEnvironment("follow");
    KAVFeatBrowserWidget browser;
    browser.SetEnvironment(environment);
    environment->GetContainer()->AddFeatureRoot(new KAVFeatObject("Added"));
    QVERIFY(browser.GetTreeNodeFromFullPath("Added"));
    // A rebuild keeps the selection and says nothing: the user did not choose anything.
    browser.GetTreeNodeFromFullPath("Added")->setSelected(true);
    QSignalSpy selection(&browser, &QTreeWidget::itemSelectionChanged);
    environment->GetContainer()->AddFeatureRoot(new KAVFeatObject("Later"));
    QCOMPARE(selection.count(), 0);
    QVERIFY(browser.GetTreeNodeFromFullPath("Added")->isSelected());
    delete environment;
    QCOMPARE(browser.topLevelItemCount(), 0);
}

void tst_KAVHostFeatures::browserOwningItsEnvironment()
{
    // Destroyed while it shows an environment that is its own child: the environment goes
    // after the tree, and its signals must not reach it.
    auto *browser = new KAVFeatBrowserWidget;
    KAVFeatEnvironment *environment = createEnvironment("owned");
    environment->setParent(browser);
    browser->SetEnvironment(environment);
    QPointer<KAVFeatEnvironment> guard(environment);
    delete browser;
    QVERIFY(!guard);
}

void tst_KAVHostFeatures::browserIgnoresPlainItems()
{
    KAVFeatEnvironment *environment = createEnvironment("plain");
    KAVFeatBrowserWidget browser;
    browser.SetEnvironment(environment);
    browser.addTopLevelItem(new QTreeWidgetItem(QStringList {"Plain"}));
    browser.topLevelItem(0)->addChild(new QTreeWidgetItem(QStringList {"Child"}));
    QVERIFY(!browser.GetTreeNodeFromFullPath("Plain"));
    QVERIFY(!browser.GetTreeNodeFromFullPath("Nesting/Child"));
    QVERIFY(browser.GetTreeNodeFromFullPath("Nesting"));
    delete environment;
}

void tst_KAVHostFeatures::updateStatusGoesWithItsEnvironment()
{
    KAVFeatUpdateManager *updates = KAVFeatUpdateManager::GetManager();
    auto *environment = new KAVFeatEnvironment("updating", nullptr);
    updates->SetStatus(environment, KAVFeatUpdateManager::Updating);
    QCOMPARE(updates->GetStatus(environment), KAVFeatUpdateManager::Updating);
    // Only the address is kept: a new environment at the same address must read idle.
    const KAVFeatEnvironment *address = environment;
    delete environment;
    QCOMPARE(updates->GetStatus(address), KAVFeatUpdateManager::Idle);
}

void tst_KAVHostFeatures::selectionForgetsDeletedObjects()
{
    KAVFeatEnvironment *environment = createEnvironment("select");
    KAVFeatObject *nesting = environment->GetContainer()->GetFeatureRoots().first();
    KAVFeatObject *sheet = nesting->GetChildren().first();
    QSignalSpy changed(environment, &KAVFeatEnvironment::SelectionChanged);
    environment->SetSelection({sheet, nesting, nullptr});
    QCOMPARE(environment->GetSelection().size(), 2);
    delete sheet;
    QCOMPARE(environment->GetSelection(), KAVFeatObjectSet {nesting});
    environment->SetSelection({});
    QVERIFY(environment->GetSelection().isEmpty());
    QCOMPARE(changed.size(), 2);
    delete environment;
}

void tst_KAVHostFeatures::updateMakesModelUpToDate()
{
    KAVFeatEnvironmentManager *environments = KAVFeatEnvironmentManager::GetManager();
    KAVFeatEnvironment *first = createEnvironment("first");
    KAVFeatEnvironment *second = createEnvironment("second");
    environments->AddEnvironment(first);
    environments->SetCurrentEnvironment(second);
    QCOMPARE(environments->GetCurrentEnvironment(), second);

    KAVFeatObject *leaf = first->GetContainer()->GetFeatureRoots().first()->GetChildren().first();
    leaf->SetUpToDate(false);
    QVERIFY(!KAVFeatContainerManager::GetManager()->isAllFeatObjectsUpToDate());

    KAVFeatUpdateManager *updates = KAVFeatUpdateManager::GetManager();
    QSignalSpy status(updates, &KAVFeatUpdateManager::StatusChanged);
    QSignalSpy finished(updates, &KAVFeatUpdateManager::UpdateFinished);
    updates->RunUpdate(second); // nothing stale there
    QCOMPARE(finished.takeFirst().first().value<QList<KAVFeatObject *>>().size(), 0);
    updates->RunUpdate(first);
    QCOMPARE(finished.takeFirst().first().value<QList<KAVFeatObject *>>(),
             QList<KAVFeatObject *> {leaf});
    QCOMPARE(status.size(), 6);
    QCOMPARE(status.at(4).first().value<KAVFeatUpdateManager::Status>(),
             KAVFeatUpdateManager::Updating);
    QCOMPARE(updates->GetStatus(first), KAVFeatUpdateManager::Idle);
    QVERIFY(KAVFeatContainerManager::GetManager()->isAllFeatObjectsUpToDate());

    delete second;
    QVERIFY(!environments->GetCurrentEnvironment());
    QCOMPARE(environments->GetEnvironments(), QList<KAVFeatEnvironment *> {first});
    delete first;
}

void tst_KAVHostFeatures::sysValues_data()
{
    QTest::addColumn<KAVSysValue>("a");
    QTest::addColumn<KAVSysValue>("b");
    QTest::addColumn<bool>("equal");
    QTest::addColumn<bool>("less");
    using V = KAVSysValue;
    QTest::newRow("inch and mm") << V(1, V::Inch) << V(25.4, V::Millimeter) << true << false;
    QTest::newRow("cm below m") << V(99, V::Centimeter) << V(1, V::Meter) << false << true;
    QTest::newRow("angle vs length") << V(1, V::Degree) << V(1, V::Millimeter) << false << false;
    QTest::newRow("plain numbers") << V(2) << V(3) << false << true;
}

void tst_KAVHostFeatures::sysValues()
{
    QFETCH(KAVSysValue, a);
    QFETCH(KAVSysValue, b);
    QFETCH(bool, equal);
    QFETCH(bool, less);
    QCOMPARE(a == b, equal);
    QCOMPARE(a < b, less);
    QVERIFY(!(a < b && b < a));
}

QTEST_MAIN(tst_KAVHostFeatures)
#include "tst_kavhostfeatures.moc"
