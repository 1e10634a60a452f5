// What the platform sends while recording, per source, and how the recording status moves.

#include "kavcmdcommandaction.h"
#include "kavfeatenvironment.h"
#include "kavfeatupdatemanager.h"
#include "kavnestfeatureprocessor.h"
#include "kavnestsavemanager.h"
#include "kavnestsourceprocessor.h"
#include "testplatform.h"

#include <QtCore/QJsonArray>
#include <QtTest/QtTest>

// Records selections by their identifiers, as a host that knows its tree would.
class SelectionPlatform : public TestPlatform {
    Q_OBJECT
public:
    using QObject::isSignalConnected;

protected:
    bool HandleRecordSelection(const KAVFeatObjectSet &selections) override
    {
        SendRecordingData(QJsonObject {{"action", "SetSelection"}, {"count", selections.size()}});
        return true;
    }
};

class tst_KAVAtmPlatformRecording : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void recordedData_data();
    void recordedData();
    void statusTransitions();
};

enum Source {
    Command,
    PlainAction,
    Opening,
    Closing,
    Widgets,
    OneValue,
    Values,
    Selection,
    Nesting,
    Translation,
    Update,
    SaveWithoutRun,
};

void tst_KAVAtmPlatformRecording::recordedData_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<QJsonObject>("expected"); // empty: nothing sent
    const QJsonObject common {{"platform", "unspecified"}, {"alwaysExecute", false}};
    auto with = [](QJsonObject object, const QJsonObject &more) {
        for (auto it = more.begin(); it != more.end(); ++it)
            object.insert(it.key(), it.value());
        return object;
    };
    QTest::newRow("command action") << int(Command)
                                    << with(common,
                                            {{"action", "LaunchCommand"},
                                             {"actionId", "Sheet.Properties"},
                                             {"actionData", QJsonObject {{"width", 600}}}});
    QTest::newRow("plain action") << int(PlainAction) << QJsonObject();
    QTest::newRow("document opening")
        << int(Opening)
        << with(common, {{"action", "OpenFile"}, {"platform", "corvid"}, {"file", "/d/a.nest"}});
    QTest::newRow("document closing") << int(Closing)
                                      << with(common,
                                              {{"action", "CloseFile"},
                                               {"platform", "corvid"},
                                               {"saveBeforeClose", false},
                                               {"forceSaveAs", false}});
    QTest::newRow("widget recording")
        << int(Widgets)
        << with(common,
                {{"action", "WidgetReplay"},
                 {"events", QJsonArray {QJsonObject {{"toffset", 5}}}},
                 {"speed", 1.0}});
    QTest::newRow("one popup value") << int(OneValue)
                                     << with(common,
                                             {{"action", "SetAutomationData"},
                                              {"map", QJsonObject {{"quantity", 4}}},
                                              {"clear", true}});
    QTest::newRow("popup values") << int(Values)
                                  << with(common,
                                          {{"action", "SetAutomationData"},
                                           {"map",
                                            QJsonObject {{"a", 1}, {"b", "two"}, {"c", true}}},
                                           {"clear", true}});
    QTest::newRow("selection, not overridden") << int(Selection) << QJsonObject();
    // The monitors: a processor that ran and whose result was saved, an update that ran.
    QTest::newRow("nesting saved") << int(Nesting) << with(common, {{"action", "WaitNest"}});
    QTest::newRow("translation saved")
        << int(Translation) << with(common, {{"action", "WaitTranslation"}});
    QTest::newRow("update finished") << int(Update) << with(common, {{"action", "WaitUpdate"}});
    QTest::newRow("a save with no run before it") << int(SaveWithoutRun) << QJsonObject();
}

void tst_KAVAtmPlatformRecording::recordedData()
{
    QFETCH(int, source);
    QFETCH(QJsonObject, expected);
    TestPlatform platform;
    KAVFeatEnvironment environment("doc");
    new KAVNestFeatureProcessor(&environment);
    new KAVNestSourceProcessor(&environment);
    platform.SetFeatureProcessorMonitor(&environment);
    platform.SetSourceProcessorMonitor(&environment);
    platform.SetUpdateMonitor(&environment);
    const auto processed = [](KAVNestProcessorBase *processor) {
        processor->ReportStatus(KAVNestProcessorBase::Running);
        processor->ReportStatus(KAVNestProcessorBase::Idle);
        KAVNestSaveManager::GetManager()->FinishSave();
    };
    KAVCmdCommandAction command("Sheet.Properties", "SheetProperties", QString(), {{"width", 600}});
    KAVCmdAction plain("File.Exit");
    const auto emitSource = [&] {
        switch (Source(source)) {
        case Command:
            Q_EMIT platform.RecordableActionTriggering(command);
            break;
        case PlainAction:
            Q_EMIT platform.RecordableActionTriggering(plain);
            break;
        case Opening:
            Q_EMIT platform.DocumentOpening("/d/a.nest");
            break;
        case Closing:
            Q_EMIT platform.DocumentClosing("/d/a.nest");
            break;
        case Widgets:
            Q_EMIT platform.WidgetRecordingFinished({QJsonObject {{"toffset", 5}}});
            break;
        case OneValue:
            Q_EMIT platform.PopupDialogValueReturned("quantity", 4);
            break;
        case Values:
            Q_EMIT platform.PopupDialogValuesReturned({{"a", 1}, {"b", "two"}, {"c", true}});
            break;
        case Selection:
            Q_EMIT platform.SelectionChanging({});
            break;
        case Nesting:
            processed(KAVNestFeatureProcessor::GetProcessor(&environment));
            break;
        case Translation:
            processed(KAVNestSourceProcessor::GetProcessor(&environment));
            break;
        case Update:
            KAVFeatUpdateManager::GetManager()->RunUpdate(&environment);
            break;
        case SaveWithoutRun:
            KAVNestSaveManager::GetManager()->FinishSave();
            break;
        }
    };
    emitSource();
    QCOMPARE(platform.recorded.size(), 0);
    platform.SetRecordingStatus(KAVAtmPlatform::Recording);
    emitSource();
    QCOMPARE(platform.recorded.size(), expected.isEmpty() ? 0 : 1);
    if (!expected.isEmpty())
        QCOMPARE(platform.recorded.first(), expected);
}

void tst_KAVAtmPlatformRecording::statusTransitions()
{
    SelectionPlatform platform;
    QSignalSpy changed(&platform, &KAVAtmPlatform::RecordingStatusChanged);
    const auto select = [&] { Q_EMIT platform.SelectionChanging({}); };

    platform.SetRecordingStatus(KAVAtmPlatform::Stopped);
    QCOMPARE(changed.count(), 0);
    // Twice: one signal, one connection per source.
    platform.SetRecordingStatus(KAVAtmPlatform::Recording);
    platform.SetRecordingStatus(KAVAtmPlatform::Recording);
    QCOMPARE(changed.count(), 1);
    select();
    QCOMPARE(platform.recorded.size(), 1);
    QCOMPARE(platform.recorded.first().value("action").toString(), QStringLiteral("SetSelection"));

    platform.SetRecordingStatus(KAVAtmPlatform::Paused);
    select();
    QCOMPARE(platform.recorded.size(), 1);
    platform.SetRecordingStatus(KAVAtmPlatform::Recording);
    select();
    QCOMPARE(platform.recorded.size(), 2);

    platform.SetRecordingStatus(KAVAtmPlatform::Stopped);
    select();
    QCOMPARE(platform.recorded.size(), 2);
    QCOMPARE(platform.GetRecordingStatus(), KAVAtmPlatform::Stopped);
    // Stopped leaves no connection behind.
    for (const QMetaMethod &signal :
         {QMetaMethod::fromSignal(&KAVAtmPlatform::SelectionChanging),
          QMetaMethod::fromSignal(&KAVAtmPlatform::PopupDialogValuesReturned),
          QMetaMethod::fromSignal(&KAVAtmPlatform::RecordableActionTriggering)})
        QVERIFY2(!platform.isSignalConnected(signal), signal.name().constData());
    QCOMPARE(changed.count(), 4);
    QCOMPARE(changed.at(1).at(0).value<KAVAtmPlatform::RecordingStatus>(), KAVAtmPlatform::Paused);
}

QTEST_MAIN(tst_KAVAtmPlatformRecording)
#include "tst_kavatmplatformrecording.moc"
