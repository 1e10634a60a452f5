#include "kavatmenums.h"

#include <QtTest/QtTest>

class tst_KAVAtmEnums : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void platformFromText_data();
    void platformFromText();
    void texts_data();
    void texts();
};

void tst_KAVAtmEnums::platformFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("platform");
    QTest::newRow("lower") << "corvid" << int(KAVAtmEnums::Corvid);
    QTest::newRow("upper") << "CORVID" << int(KAVAtmEnums::Corvid);
    QTest::newRow("tessaron") << "Tessaron" << int(KAVAtmEnums::Tessaron);
    QTest::newRow("unspecified") << "unSpecified" << int(KAVAtmEnums::Unspecified);
    QTest::newRow("other") << "Other" << int(KAVAtmEnums::Other);
    QTest::newRow("empty") << "" << int(KAVAtmEnums::Other);
    QTest::newRow("untrimmed") << " Corvid" << int(KAVAtmEnums::Other);
}

void tst_KAVAtmEnums::platformFromText()
{
    QFETCH(QString, text);
    QFETCH(int, platform);
    QCOMPARE(int(KAVAtmEnums::GetPlatformFromText(text)), platform);
}

void tst_KAVAtmEnums::texts_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    using E = KAVAtmEnums;
    QTest::newRow("platform 2") << E::GetPlatformEnumText(E::Corvid) << "Corvid";
    QTest::newRow("platform 3") << E::GetPlatformEnumText(E::Other) << "Other";
    QTest::newRow("platform 9") << E::GetPlatformEnumText(E::Platform(9)) << "Other";
    QTest::newRow("mode 0") << E::GetPlatformModeEnumText(E::Undefined) << "Undefined";
    QTest::newRow("mode 3") << E::GetPlatformModeEnumText(E::UiBatch) << "UiBatch";
    QTest::newRow("mode 4") << E::GetPlatformModeEnumText(E::ExternalBatch) << "ExternalBatch";
    QTest::newRow("mode 5") << E::GetPlatformModeEnumText(E::PlatformMode(5)) << "Undefined";
    QTest::newRow("status 2") << E::GetExecutionStatusEnumText(E::Cancelled) << "Cancelled";
    QTest::newRow("status 4") << E::GetExecutionStatusEnumText(E::ExecutionStatus(4)) << "Unknown";
    QTest::newRow("status -1") << E::GetExecutionStatusEnumText(E::ExecutionStatus(-1))
                               << "Unknown";
    QTest::newRow("result 0") << E::GetExecutionResultEnumText(E::Unknown) << "Unknown";
    QTest::newRow("result 3") << E::GetExecutionResultEnumText(E::Warning) << "Warning";
    QTest::newRow("result 7") << E::GetExecutionResultEnumText(E::ExecutionResult(7)) << "Unknown";
}

void tst_KAVAtmEnums::texts()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

QTEST_GUILESS_MAIN(tst_KAVAtmEnums)
#include "tst_kavatmenums.moc"
