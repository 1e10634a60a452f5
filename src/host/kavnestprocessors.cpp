#include "kavfeatenvironment.h"
#include "kavhostsingleton_p.h"
#include "kavnestfeatureprocessor.h"
#include "kavnestsavemanager.h"
#include "kavnestsourceprocessor.h"

KAVNestProcessorBase::KAVNestProcessorBase(KAVFeatEnvironment *environment) : QObject(environment)
{
}

KAVNestProcessorBase::~KAVNestProcessorBase() = default;

KAVFeatEnvironment *KAVNestProcessorBase::GetEnvironment() const
{
    return qobject_cast<KAVFeatEnvironment *>(parent());
}

KAVNestProcessorBase::ProcessorStatus KAVNestProcessorBase::GetStatus() const
{
    return m_status;
}

double KAVNestProcessorBase::GetProgress() const
{
    return m_progress;
}

void KAVNestProcessorBase::ReportStatus(ProcessorStatus status)
{
    m_status = status;
    Q_EMIT StatusChanged(status);
}

void KAVNestProcessorBase::ReportProgress(double progress)
{
    m_progress = progress;
    Q_EMIT ProgressChanged(progress);
}

KAVNestFeatureProcessor::KAVNestFeatureProcessor(KAVFeatEnvironment *environment)
    : KAVNestProcessorBase(environment)
{
}

KAVNestFeatureProcessor::~KAVNestFeatureProcessor() = default;

KAVNestFeatureProcessor *
KAVNestFeatureProcessor::GetProcessor(const KAVFeatEnvironment *environment)
{
    if (!environment)
        return nullptr;
    return environment->findChild<KAVNestFeatureProcessor *>(QString(), Qt::FindDirectChildrenOnly);
}

KAVNestSourceProcessor::KAVNestSourceProcessor(KAVFeatEnvironment *environment)
    : KAVNestProcessorBase(environment)
{
}

KAVNestSourceProcessor::~KAVNestSourceProcessor() = default;

KAVNestSourceProcessor *KAVNestSourceProcessor::GetProcessor(const KAVFeatEnvironment *environment)
{
    if (!environment)
        return nullptr;
    return environment->findChild<KAVNestSourceProcessor *>(QString(), Qt::FindDirectChildrenOnly);
}

KAVNestSaveManager::KAVNestSaveManager(QObject *parent) : QObject(parent) { }

KAVNestSaveManager::~KAVNestSaveManager() = default;

KAVNestSaveManager *KAVNestSaveManager::GetManager()
{
    static QPointer<KAVNestSaveManager> s_manager;
    return KAVHostSingleton<KAVNestSaveManager>(
        s_manager, [](QObject *parent) { return new KAVNestSaveManager(parent); });
}

void KAVNestSaveManager::FinishSave(SaveResult result)
{
    Q_EMIT SaveFinished(result);
}
