#include "kavatmoperationrecorder_p.h"
#include "kavatmlogging_p.h"
#include "kavatmsetautomationdataactiondef.h"
#include "kavatmwaitnestingactiondef.h"
#include "kavatmwaittranslationactiondef.h"
#include "kavatmwaitupdateactiondef.h"
#include "kavatmwidgetreplayactiondef.h"

KAVAtmOperationRecorder::KAVAtmOperationRecorder(KAVAtmPlatform *platform)
    : QObject(platform), m_platform(platform)
{
}

void KAVAtmOperationRecorder::RecordIfRecording(const QJsonObject &definition)
{
    if (m_status == KAVAtmPlatform::Recording)
        m_platform->SendRecordingData(definition);
}

void KAVAtmOperationRecorder::OnFeatureProcessorSaveFinished()
{
    RecordIfRecording(KAVAtmWaitNestingActionDef().ToJson());
}

void KAVAtmOperationRecorder::OnSourceProcessorSaveFinished()
{
    RecordIfRecording(KAVAtmWaitTranslationActionDef().ToJson());
}

void KAVAtmOperationRecorder::OnUpdateFinished()
{
    RecordIfRecording(KAVAtmWaitUpdateActionDef().ToJson());
}

void KAVAtmOperationRecorder::SetStatus(KAVAtmPlatform::RecordingStatus status)
{
    if (status == m_status)
        return;
    const char *name = status == KAVAtmPlatform::Recording ? "Recording"
        : status == KAVAtmPlatform::Paused                 ? "Paused"
                                                           : "Stopped";
    qCDebug(lcPlatform).nospace() << "The new recording status: " << name;
    m_status = status;
    using P = KAVAtmPlatform;
    using D = KAVAtmOperationRecorder;
    if (status == P::Recording) {
        connect(m_platform, &P::RecordableActionTriggering, this, &D::OnActionLaunching,
                Qt::UniqueConnection);
        connect(m_platform, &P::SelectionChanging, this, &D::OnSelectionChanging,
                Qt::UniqueConnection);
        connect(m_platform, &P::DocumentOpening, this, &D::OnDocumentOpening, Qt::UniqueConnection);
        connect(m_platform, &P::DocumentClosing, this, &D::OnDocumentClosing, Qt::UniqueConnection);
        connect(m_platform, &P::WidgetRecordingFinished, this, &D::OnWidgetRecordingFinished,
                Qt::UniqueConnection);
        connect(m_platform, &P::PopupDialogValueReturned, this, &D::OnPopupDialogValueReturned,
                Qt::UniqueConnection);
        connect(m_platform, &P::PopupDialogValuesReturned, this, &D::OnPopupDialogValuesReturned,
                Qt::UniqueConnection);
    } else if (status == P::Stopped) {
        disconnect(m_platform, &P::RecordableActionTriggering, this, &D::OnActionLaunching);
        disconnect(m_platform, &P::SelectionChanging, this, &D::OnSelectionChanging);
        disconnect(m_platform, &P::DocumentOpening, this, &D::OnDocumentOpening);
        disconnect(m_platform, &P::DocumentClosing, this, &D::OnDocumentClosing);
        disconnect(m_platform, &P::WidgetRecordingFinished, this, &D::OnWidgetRecordingFinished);
        disconnect(m_platform, &P::PopupDialogValueReturned, this, &D::OnPopupDialogValueReturned);
        disconnect(m_platform, &P::PopupDialogValuesReturned, this, &D::OnPopupDialogValuesReturned);
    }
    Q_EMIT StatusChanged(status);
}

void KAVAtmOperationRecorder::OnActionLaunching(const KAVCmdAction &action)
{
    if (m_status == KAVAtmPlatform::Recording)
        m_platform->HandleRecordCommand(action);
}

void KAVAtmOperationRecorder::OnSelectionChanging(const KAVFeatObjectSet &selections)
{
    if (m_status == KAVAtmPlatform::Recording)
        m_platform->HandleRecordSelection(selections);
}

void KAVAtmOperationRecorder::OnDocumentOpening(const QString &filePath)
{
    if (m_status == KAVAtmPlatform::Recording)
        m_platform->HandleRecordDocumentOpening(filePath);
}

void KAVAtmOperationRecorder::OnDocumentClosing(const QString &filePath)
{
    if (m_status == KAVAtmPlatform::Recording)
        m_platform->HandleRecordDocumentClosing(filePath);
}

void KAVAtmOperationRecorder::OnWidgetRecordingFinished(const QJsonArray &events)
{
    KAVAtmWidgetReplayActionDef definition;
    definition.SetRecordedEvents(events);
    definition.SetReplaySpeed(1.0f);
    RecordIfRecording(definition.ToJson());
}

void KAVAtmOperationRecorder::OnPopupDialogValueReturned(const QString &key, const QVariant &value)
{
    KAVAtmSetAutomationDataActionDef definition;
    definition.InsertKeyValue(key, value);
    RecordIfRecording(definition.ToJson());
}

void KAVAtmOperationRecorder::OnPopupDialogValuesReturned(const QVariantMap &values)
{
    KAVAtmSetAutomationDataActionDef definition;
    definition.SetMap(values);
    RecordIfRecording(definition.ToJson());
}
