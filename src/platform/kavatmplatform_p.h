#ifndef KAVATMPLATFORM_P_H
#define KAVATMPLATFORM_P_H

//
//  The platform's private object: not part of the installed interface, and may change without
//  notice.
//

#include "kavatmplatform.h"
#include "kavatmscreenshot_p.h"

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QMetaObject>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QSet>

class KAVAtmClientOrchestratorConnection;
class KAVAtmTestActionBase;

class KAVAtmPlatformPrivate : public QObject {
    Q_OBJECT
public:
    KAVAtmPlatformPrivate(KAVAtmPlatform *platform, KAVAtmEnums::Platform type);
    ~KAVAtmPlatformPrivate() override;

    KAVAtmTestActionBase *CurrentAction() const;

    void SetUpConnection();

Q_SIGNALS:
    void RecordingStatusChanged(KAVAtmPlatform::RecordingStatus recordingStatus);

private Q_SLOTS:
    void OnSocketNeedsConnected();
    void OnConnectionAuthenticated();
    void OnExecuteRequested(const QUuid &id, const QJsonValue &actionData);
    void OnCancelRequested(const QUuid &id);
    // Recording of user operations, connected while recording or paused.
    void OnActionLaunching(const KAVCmdAction &action);
    void OnSelectionChanging(const KAVFeatObjectSet &selections);
    void OnDocumentOpening(const QString &filePath);
    void OnDocumentClosing(const QString &filePath);
    void OnWidgetRecordingFinished(const QJsonArray &events);
    void OnPopupDialogValueReturned(const QString &, const QVariant &value);
    void OnPopupDialogValuesReturned(const QVariantMap &values);

public:
    // Recording of the waits the user made the host do.
    void OnFeatureProcessorSaveFinished();
    void OnSourceProcessorSaveFinished();
    void OnUpdateFinished();
    void RecordIfRecording(const QJsonObject &definition);
    void SetRecordingStatus(KAVAtmPlatform::RecordingStatus status);

    KAVAtmPlatform *const platform;
    KAVAtmClientOrchestratorConnection *connection = nullptr;
    const KAVAtmEnums::Platform platformType;
    KAVAtmEnums::PlatformMode mode = KAVAtmEnums::Undefined;
    KAVAtmPlatform::ConnectionStatus connectionStatus = KAVAtmPlatform::Disconnected;
    KAVAtmPlatform::RecordingStatus recordingStatus = KAVAtmPlatform::Stopped;
    KAVAtmScreenshot::Mode screenshots = KAVAtmScreenshot::Mode::Failures;
    bool traced = false;
    QHash<QByteArray, QMetaObject> executors;
    // Executors started and not ended, oldest first: one waiting in a nested loop can be
    // joined by another dispatched meanwhile. The newest is the current action.
    QList<QPointer<KAVAtmTestActionBase>> running;
    // Executors whose Execute() is on the stack.
    QSet<KAVAtmTestActionBase *> insideExecute;
    QPointer<KAVAtmProcessorMonitor> sourceProcessorMonitor;
    QPointer<KAVAtmProcessorMonitor> featureProcessorMonitor;
    QPointer<KAVAtmUpdateMonitor> updateMonitor;
};

#endif // KAVATMPLATFORM_P_H
