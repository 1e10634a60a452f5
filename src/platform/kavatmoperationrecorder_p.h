#ifndef KAVATMOPERATIONRECORDER_P_H
#define KAVATMOPERATIONRECORDER_P_H

#include "kavatmplatform.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonObject>
#include <QtCore/QObject>
#include <QtCore/QVariant>

// The recording of what the user does in the host, as actions a procedure replays: commands,
// selections, documents opened and closed, widget events, dialog data and the waits the
// host's background work made. It listens to the platform only while recording or paused,
// and sends an action only while recording.
class KAVAtmOperationRecorder : public QObject {
    Q_OBJECT
public:
    explicit KAVAtmOperationRecorder(KAVAtmPlatform *platform);

    KAVAtmPlatform::RecordingStatus GetStatus() const { return m_status; }
    void SetStatus(KAVAtmPlatform::RecordingStatus status);

    // The waits the host's background work made.
    void OnFeatureProcessorSaveFinished();
    void OnSourceProcessorSaveFinished();
    void OnUpdateFinished();

Q_SIGNALS:
    void StatusChanged(KAVAtmPlatform::RecordingStatus status);

private:
    void RecordIfRecording(const QJsonObject &definition);
    void OnActionLaunching(const KAVCmdAction &action);
    void OnSelectionChanging(const KAVFeatObjectSet &selections);
    void OnDocumentOpening(const QString &filePath);
    void OnDocumentClosing(const QString &filePath);
    void OnWidgetRecordingFinished(const QJsonArray &events);
    void OnPopupDialogValueReturned(const QString &key, const QVariant &value);
    void OnPopupDialogValuesReturned(const QVariantMap &values);

    KAVAtmPlatform *const m_platform;
    KAVAtmPlatform::RecordingStatus m_status = KAVAtmPlatform::Stopped;
};

#endif // KAVATMOPERATIONRECORDER_P_H
