#include "kavatmenums.h"

#include <QtTest/QtTest>

class tst_KAVAtmEnums : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void textsOfValuesOutOfRange_data();
    void textsOfValuesOutOfRange();
};

// Values come from files and peers: one out of range reads as the fallback text, never past
// the end of a table.
void tst_KAVAtmEnums::textsOfValuesOutOfRange_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    using E = KAVAtmEnums;
    QTest::newRow("platform 9") << E::GetPlatformEnumText(E::Platform(9)) << "Other";
    QTest::newRow("mode 5") << E::GetPlatformModeEnumText(E::PlatformMode(5)) << "Undefined";
    QTest::newRow("status -1") << E::GetExecutionStatusEnumText(E::ExecutionStatus(-1))
                               << "Unknown";
    QTest::newRow("result 7") << E::GetExecutionResultEnumText(E::ExecutionResult(7)) << "Unknown";
}

void tst_KAVAtmEnums::textsOfValuesOutOfRange()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

QTEST_GUILESS_MAIN(tst_KAVAtmEnums)
#include "tst_kavatmenums.moc"
