#include "kavatmwaitnestingaction.h"
#include "kavatmexecutorregistry_p.h"
#include "kavatmplatform.h"
#include "kavfeatenvironmentmanager.h"
#include "kavnestfeatureprocessor.h"

KAVATM_REGISTER_EXECUTOR(KAVAtmWaitNestingAction)

class KAVAtmWaitNestingActionPrivate {
public:
    KAVAtmWaitNestingActionDef def;
};

KAVAtmWaitNestingAction::KAVAtmWaitNestingAction(KAVAtmPlatform &platform, const QUuid &id,
                                                 const QJsonValue &data)
    : KAVAtmWaitProcessorActionBase(platform, id, data), d(new KAVAtmWaitNestingActionPrivate)
{
    d->def.FromJson(data.toObject());
}

KAVAtmWaitNestingAction::~KAVAtmWaitNestingAction() = default;

QByteArray KAVAtmWaitNestingAction::GetActionName()
{
    return KAVAtmWaitNestingActionDef::GetActionName();
}

KAVAtmWaitNestingActionDef *KAVAtmWaitNestingAction::GetActionDef() const
{
    return &d->def;
}

void KAVAtmWaitNestingAction::Execute()
{
    KAVAtmTestActionBase::Execute();
    WaitProcessorFinished(KAVNestFeatureProcessor::GetProcessor(
                              KAVFeatEnvironmentManager::GetManager()->GetCurrentEnvironment()),
                          GetPlatform()->GetFeatureProcessorMonitor());
}
