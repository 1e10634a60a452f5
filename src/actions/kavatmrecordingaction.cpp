#include "kavatmrecordingaction.h"
#include "kavatmexecutorregistry_p.h"
#include "kavatmlogging_p.h"
#include "kavatmplatform.h"
#include "kavatmtestactionbase_p.h"

KAVATM_REGISTER_EXECUTOR(KAVAtmRecordingAction)

class KAVAtmRecordingActionPrivate : public KAVAtmExecutorPrivate<KAVAtmRecordingActionDef> { };

KAVAtmRecordingAction::KAVAtmRecordingAction(KAVAtmPlatform &platform, const QUuid &id,
                                             const QJsonValue &data)
    : KAVAtmTestActionBase(*new KAVAtmRecordingActionPrivate, platform, id, data)
{
}

KAVAtmRecordingAction::~KAVAtmRecordingAction() = default;

QByteArray KAVAtmRecordingAction::GetActionName()
{
    return KAVAtmRecordingActionDef::GetActionName();
}

void KAVAtmRecordingAction::Execute()
{
    Q_D(KAVAtmRecordingAction);
    KAVAtmTestActionBase::Execute();
    const QString command = d->def.GetCommand();
    KAVAtmPlatform::RecordingStatus status = KAVAtmPlatform::Stopped;
    if (command == QLatin1String("start")) {
        qCDebug(lcPlatform) << "KAVAtmRecordingAction::Execute: Start";
        status = KAVAtmPlatform::Recording;
    } else if (command == QLatin1String("stop")) {
        qCDebug(lcPlatform) << "KAVAtmRecordingAction::Execute: Stop";
    } else {
        qCDebug(lcPlatform) << "KAVAtmRecordingAction::Execute: The command is not defined.";
        ReportResult(KAVAtmEnums::Fail, tr("The command is not defined."), QString());
        return;
    }
    GetPlatform()->SetRecordingStatus(status);
    ReportResult(KAVAtmEnums::Pass, QString(), QString());
}
