#include "kavatmwaittranslationaction.h"
#include "kavatmexecutorregistry_p.h"
#include "kavatmplatform.h"
#include "kavfeatenvironmentmanager.h"
#include "kavnestsourceprocessor.h"

KAVATM_REGISTER_EXECUTOR(KAVAtmWaitTranslationAction)

class KAVAtmWaitTranslationActionPrivate {
public:
    KAVAtmWaitTranslationActionDef def;
};

KAVAtmWaitTranslationAction::KAVAtmWaitTranslationAction(KAVAtmPlatform &platform, const QUuid &id,
                                                         const QJsonValue &data)
    : KAVAtmWaitProcessorActionBase(platform, id, data), d(new KAVAtmWaitTranslationActionPrivate)
{
    d->def.FromJson(data.toObject());
}

KAVAtmWaitTranslationAction::~KAVAtmWaitTranslationAction() = default;

QByteArray KAVAtmWaitTranslationAction::GetActionName()
{
    return KAVAtmWaitTranslationActionDef::GetActionName();
}

KAVAtmWaitTranslationActionDef *KAVAtmWaitTranslationAction::GetActionDef() const
{
    return &d->def;
}

void KAVAtmWaitTranslationAction::Execute()
{
    KAVAtmTestActionBase::Execute();
    WaitProcessorFinished(KAVNestSourceProcessor::GetProcessor(
                              KAVFeatEnvironmentManager::GetManager()->GetCurrentEnvironment()),
                          GetPlatform()->GetSourceProcessorMonitor());
}
