#ifndef KAVATMPLATFORM_H
#define KAVATMPLATFORM_H

#include "kavatmenums.h"
#include "kavfeatobject.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonValue>
#include <QtCore/QObject>
#include <QtCore/QUuid>
#include <QtCore/QVariantMap>

#include <memory>

class KAVAtmPlatformPrivate;
class KAVAtmProcessorMonitor;
class KAVAtmTestActionResult;
class KAVAtmUpdateMonitor;
class KAVCmdAction;
class KAVFeatEnvironment;

// The automation inside one host application. The host subclasses it, installs the monitors
// of its document environment and implements ClosePlatform. The platform runs each received
// action through the executor registered for its type and reports the executor's updates.
class KAVAUTOMATION_EXPORT KAVAtmPlatform : public QObject {
    Q_OBJECT
public:
    Q_DECLARE_PRIVATE_D(d, KAVAtmPlatform)

    enum ConnectionStatus : qint32 {
        Connected = 0,
        Disconnected = 1,
    };

    enum RecordingStatus : qint32 {
        Stopped = 0,
        Recording = 1,
        Paused = 2,
    };

    ~KAVAtmPlatform() override;

    // Sends the update to the runner; a completed one is also announced as ActionFinished.
    virtual void UpdateActionResult(const KAVAtmTestActionResult *result);
    virtual void SendRecordingData(const QJsonValue &data);
    // The host's own shut-down, asked for by the runner ("closeplatform").
    virtual void ClosePlatform() = 0;
    // The host's reset of its user settings; the host's "ResetUserSetting" executor calls it.
    virtual void ResetUserSettings() = 0;

    bool IsExecuting() const;
    KAVAtmEnums::Platform GetPlatformType() const;
    KAVAtmEnums::PlatformMode GetMode() const;
    void SetMode(KAVAtmEnums::PlatformMode mode);
    ConnectionStatus GetConnectionStatus() const;
    RecordingStatus GetRecordingStatus() const;
    // While recording, the platform's operation signals are sent to the runner as the actions
    // that replay them; paused keeps the connections and sends nothing.
    void SetRecordingStatus(RecordingStatus status);

    // Each installer creates a monitor as a child of the environment; an earlier monitor stays
    // alive until its environment goes.
    void SetFeatureProcessorMonitor(KAVFeatEnvironment *environment);
    void SetSourceProcessorMonitor(KAVFeatEnvironment *environment);
    void SetUpdateMonitor(KAVFeatEnvironment *environment);
    KAVAtmProcessorMonitor *GetFeatureProcessorMonitor() const;
    KAVAtmProcessorMonitor *GetSourceProcessorMonitor() const;
    KAVAtmUpdateMonitor *GetUpdateMonitor() const;

Q_SIGNALS:
    void ActionStarting();
    void ActionFinished(const KAVAtmTestActionResult *result);
    void StatusChanged(KAVAtmPlatform::ConnectionStatus status);
    void RecordableActionTriggering(const KAVCmdAction &action);
    void DocumentOpening(const QString &docPath);
    void DocumentClosing(const QString &docPath);
    void SelectionChanging(const KAVFeatObjectSet &selections);
    void WidgetRecordingFinished(const QJsonArray &events);
    void PopupDialogValueReturned(const QString &, const QVariant &value);
    void PopupDialogValuesReturned(const QVariantMap &values);
    void RecordingStatusChanged(KAVAtmPlatform::RecordingStatus status);

protected:
    explicit KAVAtmPlatform(KAVAtmEnums::Platform platform);

    // Under the lower-case type; replaces an executor registered under the same key.
    void RegisterActionWithType(const QByteArray &type, const QMetaObject &metaObject);
    const QMetaObject *GetRegisteredAction(const QByteArray &type) const;

    virtual void DispatchAction(const QUuid &id, const QJsonValue &data);

    // Each sends the action that replays the operation and returns whether it did. Selections
    // are not recorded unless the host, which knows its tree, overrides that one.
    virtual bool HandleRecordCommand(const KAVCmdAction &action);
    virtual bool HandleRecordSelection(const KAVFeatObjectSet &selections);
    virtual bool HandleRecordDocumentOpening(const QString &docPath);
    virtual bool HandleRecordDocumentClosing(const QString &docPath);

public Q_SLOTS:
    // The host's test environment is up: connect to the runner named by the environment,
    // retrying every second, authenticate, register, and run what the runner sends.
    virtual void OnTestEnvironmentReady();

private:
    friend class KAVAtmPlatformPrivate;
    friend class KAVAtmOperationRecorder;
    const std::unique_ptr<KAVAtmPlatformPrivate> d;
};

#endif // KAVATMPLATFORM_H
