#include "kavatmenums.h"
#include "kavatmtestactionresult.h"
#include "kavatmtestprocedureresult.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtTest/QtTest>

#include <ctime>

class tst_KAVAtmResults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fromJson_data();
    void fromJson();
    void roundTrip();
    void evidenceFromAHost_data();
    void evidenceFromAHost();
    void timesReadBackAsUtc_data();
    void timesReadBackAsUtc();
    void hasFailedActionBefore();
    void procedureResultJson();
};

void tst_KAVAtmResults::fromJson_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("checkId");
    QTest::addColumn<bool>("read");

    // The result under test has the id {00000000-0000-0000-0000-000000000001}.
    QTest::newRow("own id") << QByteArray(R"({"id":"{00000000-0000-0000-0000-000000000001}",
                                            "status":3,"result":2})")
                            << true << true;
    QTest::newRow("other id") << QByteArray(R"({"id":"{00000000-0000-0000-0000-000000000002}",
                                              "status":3,"result":2})")
                              << true << false;
    QTest::newRow("no id") << QByteArray(R"({"status":3,"result":2})") << true << false;
    QTest::newRow("no id, unchecked") << QByteArray(R"({"status":3,"result":2})") << false << true;
    QTest::newRow("array") << QByteArray(R"([{"status":3}])") << false << false;
}

void tst_KAVAtmResults::fromJson()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, checkId);
    QFETCH(bool, read);

    const QUuid id = QUuid::fromString(QStringLiteral("{00000000-0000-0000-0000-000000000001}"));
    KAVAtmTestActionResult result(id, nullptr, nullptr);
    const QJsonDocument document = QJsonDocument::fromJson(json);
    result.FromJson(
        document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object()), checkId);
    QCOMPARE(result.GetStatus(), read ? KAVAtmEnums::Completed : KAVAtmEnums::Pending);
    QCOMPARE(result.GetResult(), read ? KAVAtmEnums::Fail : KAVAtmEnums::Unknown);
    QCOMPARE(result.GetId(), id);
}

void tst_KAVAtmResults::roundTrip()
{
    const QJsonObject source = QJsonDocument::fromJson(R"({
        "actionType":"DataAssert","id":"{5b9f5c1e-8d0e-4c1a-9a57-0c7a3bd1f2aa}",
        "status":7,"result":3,"details":"d","data":"{\"x\":1}",
        "startTime":"2026-01-02 03:04:05.006","endTime":"2026-01-02 03:04:06.100"})")
                                   .object();
    KAVAtmTestActionResult result(nullptr, nullptr);
    result.FromJson(source, false);
    QCOMPARE(result.GetActionType(), QStringLiteral("DataAssert"));
    QJsonObject expected = source;
    expected.remove("actionType"); // written only from a definition
    expected.insert("statusStr", "Unknown");
    expected.insert("resultStr", "Warning");
    QCOMPARE(result.ToJson(), expected);

    result.FromJson(QJsonObject {{"startTime", "yesterday"}}, false);
    QVERIFY(!result.ToJson().contains("startTime"));

    // Values from files and peers out of range read as the fallback text, never past a table.
    using E = KAVAtmEnums;
    QCOMPARE(E::GetPlatformEnumText(E::Platform(9)), "Other");
    QCOMPARE(E::GetPlatformModeEnumText(E::PlatformMode(5)), "Undefined");
    QCOMPARE(E::GetExecutionResultEnumText(E::ExecutionResult(7)), "Unknown");
}

void tst_KAVAtmResults::evidenceFromAHost_data()
{
    // What a host sends beside the verdict; what is kept of it, and why a screenshot is absent.
    QTest::addColumn<QJsonObject>("sent");
    QTest::addColumn<QJsonObject>("location");
    QTest::addColumn<bool>("screenshot");
    QTest::addColumn<QString>("missing");
    // A header as a PNG has it: the signature, then IHDR with the width and the height.
    const auto header = [](quint32 width, quint32 height) {
        QByteArray bytes("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
        for (quint32 value : {width, height}) {
            for (int shift = 24; shift >= 0; shift -= 8)
                bytes += char((value >> shift) & 0xff);
        }
        return QString::fromLatin1((bytes + "rest").toBase64());
    };
    const QString png = header(640, 400);
    const QJsonObject at {{"file", "/s/a.js"}, {"line", 3}};
    const QJsonObject context {{"first", 1}, {"lines", QJsonArray {"a", "b", "c", "d"}}};
    QJsonObject withContext = at;
    withContext.insert("context", context);
    QTest::newRow("location and its lines")
        << QJsonObject {{"location", withContext}} << withContext << false << "";
    QTest::newRow("no line") << QJsonObject {{"location", QJsonObject {{"file", "/s/a.js"}}}}
                             << QJsonObject() << false << "";
    QTest::newRow("line as text")
        << QJsonObject {{"location", QJsonObject {{"file", "/s/a.js"}, {"line", "3"}}}}
        << QJsonObject() << false << "";
    // Lines that do not reach the line named are no context.
    QJsonObject shortContext = at;
    shortContext.insert("context", QJsonObject {{"first", 1}, {"lines", QJsonArray {"a"}}});
    QTest::newRow("context short of the line")
        << QJsonObject {{"location", shortContext}} << at << false << "";
    QTest::newRow("a PNG") << QJsonObject {{"screenshot", png}} << QJsonObject() << true << "";
    QTest::newRow("not base64") << QJsonObject {{"screenshot", "%%%"}} << QJsonObject() << false
                                << "the host sent a screenshot that is not a PNG image";
    QTest::newRow("not a PNG")
        << QJsonObject {{"screenshot", QString::fromLatin1(QByteArray("GIF89a").toBase64())}}
        << QJsonObject() << false << "the host sent a screenshot that is not a PNG image";
    // 48 KB can be 20000 x 20000 pixels: 1.6 GB in a browser.
    QTest::newRow("past the pixel budget")
        << QJsonObject {{"screenshot", header(20000, 20000)}} << QJsonObject() << false
        << "the host sent a screenshot of 400000000 pixels, more than the 67108864 a screenshot "
           "may have";
    QTest::newRow("past what a PNG may hold")
        << QJsonObject {{"screenshot", header(0xffffffff, 0xffffffff)}} << QJsonObject() << false
        << "the host sent a screenshot of 9223372036854775807 pixels, more than the 67108864 a "
           "screenshot may have";
    QTest::newRow("a stack past its cap")
        << QJsonObject {{"stack", QString(100000, QChar(0xe9))}} << QJsonObject() << false << "";
    QTest::newRow("reason from the host") << QJsonObject {{"screenshotMissing", "no window"}}
                                          << QJsonObject() << false << "no window";
    // The runner's own keys are not taken from a host.
    QTest::newRow("attachments and log")
        << QJsonObject {{"attachments", QJsonArray {QJsonObject {{"path", "/etc/passwd"}}}},
                        {"log", QJsonArray {"x"}}}
        << QJsonObject() << false << "";
}

void tst_KAVAtmResults::evidenceFromAHost()
{
    QFETCH(QJsonObject, sent);
    QFETCH(QJsonObject, location);
    QFETCH(bool, screenshot);
    QFETCH(QString, missing);
    KAVAtmTestActionResult result(nullptr, nullptr);
    result.ReadEvidence(sent);
    QCOMPARE(result.GetLocation(), location);
    QCOMPARE(!result.GetScreenshot().isEmpty(), screenshot);
    QCOMPARE(result.GetScreenshotMissing(), missing);
    const QString stack = result.GetStack();
    QVERIFY(stack.toUtf8().size() <= KAVAtmTestActionResult::MaximumTextBytes + 32);
    QCOMPARE(stack.endsWith("[cut at 65536 bytes]"), sent.contains("stack"));
    QVERIFY(result.GetAttachments().isEmpty() && result.GetLog().isEmpty());
    // What the runner keeps travels in its files; the image itself only on the wire.
    result.AddAttachment("screenshot", "p/a.png");
    KAVAtmTestActionResult read(nullptr, nullptr);
    read.FromJson(result.ToJson(), false);
    QCOMPARE(read.ToJson().value("location").toObject(), location);
    QCOMPARE(result.ToJson().value("attachments").toArray().size(), 1);
}

void tst_KAVAtmResults::timesReadBackAsUtc_data()
{
    QTest::addColumn<QString>("time");
    // Local times of Berlin that do not exist, or exist twice; as UTC each is one instant.
    QTest::newRow("in the spring-forward gap") << "2026-03-29 02:30:00.000";
    QTest::newRow("in the fall-back overlap") << "2026-10-25 02:30:00.000";
}

void tst_KAVAtmResults::timesReadBackAsUtc()
{
    QFETCH(QString, time);
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    tzset();
    KAVAtmTestActionResult result(nullptr, nullptr);
    result.FromJson(QJsonObject {{"startTime", time}, {"endTime", time}}, false);
    const QDateTime expected(QDate::fromString(time.left(10), "yyyy-MM-dd"),
                             QTime::fromString(time.mid(11), "HH:mm:ss.zzz"), Qt::UTC);
    QCOMPARE(result.GetStartTime().toMSecsSinceEpoch(), expected.toMSecsSinceEpoch());
    QCOMPARE(result.ToJson().value("startTime").toString(), time);
    QCOMPARE(result.ToJson().value("endTime").toString(), time);
    qputenv("TZ", zone);
    tzset();
}

void tst_KAVAtmResults::hasFailedActionBefore()
{
    KAVAtmTestProcedureResult procedure(nullptr);
    const KAVAtmEnums::ExecutionResult results[]
        = {KAVAtmEnums::Pass, KAVAtmEnums::Warning, KAVAtmEnums::Fail, KAVAtmEnums::Unknown};
    QList<KAVAtmTestActionResult *> actions;
    for (int i = 0; i < 4; ++i) {
        actions.append(new KAVAtmTestActionResult(nullptr, &procedure));
        actions.last()->SetResult(results[i]);
        procedure.AddActionResult(actions.last(), i);
    }
    QCOMPARE(procedure.HasFailedActionBefore(actions[0]), false);
    QCOMPARE(procedure.HasFailedActionBefore(actions[1]), false);
    QCOMPARE(procedure.HasFailedActionBefore(actions[2]), false);
    QCOMPARE(procedure.HasFailedActionBefore(actions[3]), true);
    KAVAtmTestActionResult outsider(nullptr, nullptr);
    QCOMPARE(procedure.HasFailedActionBefore(&outsider), false);

    auto *head = new KAVAtmTestActionResult(nullptr, &procedure);
    procedure.AddActionResult(head, 0);
    QCOMPARE(procedure.GetActionResults().first(), head);
}

void tst_KAVAtmResults::procedureResultJson()
{
    KAVAtmTestProcedureResult procedure(nullptr);
    procedure.RecordStartTime();
    QCOMPARE(procedure.ToJson().value("startTime").toString().size(), 23);
    QTRY_VERIFY(QDateTime::currentDateTimeUtc() > procedure.GetStartTime());
    procedure.RecordFinishTime();
    const QJsonObject json = procedure.ToJson();
    QCOMPARE(json.value("endTime").toString(),
             procedure.GetEndTime().toString(KAVAtmTestActionResult::TimeFormat));
    QVERIFY(json.value("endTime").toString() != json.value("startTime").toString());
    QVERIFY(procedure.GetId() != KAVAtmTestProcedureResult(nullptr).GetId());
}

QTEST_GUILESS_MAIN(tst_KAVAtmResults)
#include "tst_kavatmresults.moc"
