#include "kavatmrecordingaction.h"
#include "kavatmexecutorregistry_p.h"
#include "kavatmlogging_p.h"
#include "kavatmplatform.h"

KAVATM_REGISTER_EXECUTOR(KAVAtmRecordingAction)

class KAVAtmRecordingActionPrivate {
public:
    KAVAtmRecordingActionDef def;
};

KAVAtmRecordingAction::KAVAtmRecordingAction(KAVAtmPlatform &platform, const QUuid &id,
                                             const QJsonValue &data)
    : KAVAtmTestActionBase(platform, id, data), d(new KAVAtmRecordingActionPrivate)
{
    d->def.FromJson(data.toObject());
}

KAVAtmRecordingAction::~KAVAtmRecordingAction() = default;

QByteArray KAVAtmRecordingAction::GetActionName()
{
    return KAVAtmRecordingActionDef::GetActionName();
}

KAVAtmRecordingActionDef *KAVAtmRecordingAction::GetActionDef() const
{
    return &d->def;
}

void KAVAtmRecordingAction::Execute()
{
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
