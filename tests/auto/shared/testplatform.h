#ifndef TESTPLATFORM_H
#define TESTPLATFORM_H

#include "kavatmplatform.h"
#include "kavatmtestactionresult.h"

#include <QtCore/QJsonObject>
#include <QtCore/QUuid>
#include <QtTest/QtTest>

// A host platform for tests: records every update it is given and how often it was asked
// to close.
class TestPlatform : public KAVAtmPlatform {
    Q_OBJECT
public:
    TestPlatform() : KAVAtmPlatform(KAVAtmEnums::Corvid) { }

    using KAVAtmPlatform::DispatchAction;
    using KAVAtmPlatform::GetRegisteredAction;
    using KAVAtmPlatform::RegisterActionWithType;

    void UpdateActionResult(const KAVAtmTestActionResult *result) override
    {
        if (result)
            updates.append(result->ToJson());
        KAVAtmPlatform::UpdateActionResult(result);
    }
    void SendRecordingData(const QJsonValue &data) override
    {
        recorded.append(data.toObject());
        KAVAtmPlatform::SendRecordingData(data);
    }
    void ClosePlatform() override { ++closeCount; }
    void ResetUserSettings() override { }

    QList<QJsonObject> Completed() const
    {
        QList<QJsonObject> completed;
        for (const QJsonObject &update : updates) {
            if (update.value("status").toInt() == KAVAtmEnums::Completed)
                completed.append(update);
        }
        return completed;
    }

    // Dispatches the action and returns its completed update, or an empty object when none
    // came within the time limit.
    QJsonObject Run(const QJsonObject &action, int milliseconds = 10000)
    {
        const QUuid id = QUuid::createUuid();
        const QString idText = id.toString(QUuid::WithBraces);
        DispatchAction(id, action);
        QJsonObject found;
        (void)QTest::qWaitFor(
            [&] {
                for (const QJsonObject &update : Completed()) {
                    if (update.value("id").toString() == idText) {
                        found = update;
                        break;
                    }
                }
                return !found.isEmpty();
            },
            milliseconds);
        return found;
    }

    QList<QJsonObject> updates;
    QList<QJsonObject> recorded;
    int closeCount = 0;
};

#endif // TESTPLATFORM_H
