#include "kavatmwaittranslationaction.h"
#include "kavatmactivitywaitbase_p.h"
#include "kavatmexecutorregistry_p.h"
#include "kavatmplatform.h"
#include "kavfeatenvironmentmanager.h"
#include "kavnestsourceprocessor.h"

KAVATM_REGISTER_EXECUTOR(KAVAtmWaitTranslationAction)

class KAVAtmWaitTranslationActionPrivate
    : public KAVAtmExecutorPrivate<KAVAtmWaitTranslationActionDef, KAVAtmActivityWaitBasePrivate> {
};

KAVAtmWaitTranslationAction::KAVAtmWaitTranslationAction(KAVAtmPlatform &platform, const QUuid &id,
                                                         const QJsonValue &data)
    : KAVAtmWaitProcessorActionBase(*new KAVAtmWaitTranslationActionPrivate, platform, id, data)
{
}

KAVAtmWaitTranslationAction::~KAVAtmWaitTranslationAction() = default;

QByteArray KAVAtmWaitTranslationAction::GetActionName()
{
    return KAVAtmWaitTranslationActionDef::GetActionName();
}

void KAVAtmWaitTranslationAction::Execute()
{
    KAVAtmTestActionBase::Execute();
    if (RefuseWithoutDocument())
        return;
    WaitProcessorFinished(KAVNestSourceProcessor::GetProcessor(
                              KAVFeatEnvironmentManager::GetManager()->GetCurrentEnvironment()),
                          GetPlatform()->GetSourceProcessorMonitor());
}
