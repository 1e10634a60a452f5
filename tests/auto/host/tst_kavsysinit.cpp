#include "kavatmenums.h"
#include "kavsysinitcontext.h"
#include "kavsysregisterinit.h"

#include <QtTest/QtTest>
#include <QtWidgets/QWidget>

static int s_runs = 0;
static void countRun()
{
    ++s_runs;
}

static const KAVSysRegisterInit s_counted(&countRun);

class tst_KAVSysInit : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void functionsRunOnce();
};

void tst_KAVSysInit::functionsRunOnce()
{
    // The library's own start-up function is registered when it is loaded; using one of its
    // symbols keeps the linker from dropping it.
    QCOMPARE(KAVAtmEnums::GetPlatformEnumText(KAVAtmEnums::Corvid), QStringLiteral("Corvid"));
    QVERIFY(!QMetaType::fromName("const QWidget*").isValid());
    QVERIFY(KAVSysRegisterInit::PendingCount() >= 2);
    {
        KAVSysInitContext context;
        QVERIFY(context.GetInitializedCount() >= 2);
    }
    KAVSysInitContext again;
    QCOMPARE(again.GetInitializedCount(), 0);
    QCOMPARE(s_runs, 1);
    QVERIFY(QMetaType::fromName("const QWidget*").isValid());
}

QTEST_MAIN(tst_KAVSysInit)
#include "tst_kavsysinit.moc"
