#include "kavatmwaitnestingaction.h"
#include "kavatmactivitywaitbase_p.h"
#include "kavatmexecutorregistry_p.h"
#include "kavatmplatform.h"
#include "kavfeatenvironmentmanager.h"
#include "kavnestfeatureprocessor.h"

KAVATM_REGISTER_EXECUTOR(KAVAtmWaitNestingAction)

class KAVAtmWaitNestingActionPrivate
    : public KAVAtmExecutorPrivate<KAVAtmWaitNestingActionDef, KAVAtmActivityWaitBasePrivate> { };

KAVAtmWaitNestingAction::KAVAtmWaitNestingAction(KAVAtmPlatform &platform, const QUuid &id,
                                                 const QJsonValue &data)
    : KAVAtmWaitProcessorActionBase(*new KAVAtmWaitNestingActionPrivate, platform, id, data)
{
}

KAVAtmWaitNestingAction::~KAVAtmWaitNestingAction() = default;

QByteArray KAVAtmWaitNestingAction::GetActionName()
{
    return KAVAtmWaitNestingActionDef::GetActionName();
}

void KAVAtmWaitNestingAction::Execute()
{
    KAVAtmTestActionBase::Execute();
    if (RefuseWithoutDocument())
        return;
    WaitProcessorFinished(KAVNestFeatureProcessor::GetProcessor(
                              KAVFeatEnvironmentManager::GetManager()->GetCurrentEnvironment()),
                          GetPlatform()->GetFeatureProcessorMonitor());
}
