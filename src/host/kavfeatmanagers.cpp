#include "kavfeatcontainer.h"
#include "kavfeatcontainermanager.h"
#include "kavfeatenvironment.h"
#include "kavfeatenvironmentmanager.h"
#include "kavfeatobject.h"
#include "kavfeatupdatemanager.h"

#include "kavhostsingleton_p.h"

namespace {

// Host singletons live as children of the application object, so they go before it does.
template<typename T> T *hostSingleton(QPointer<T> &instance, T *(*create)(QObject *))
{
    if (!instance)
        instance = create(QCoreApplication::instance());
    return instance;
}

void collectStale(KAVFeatObject *object, QList<KAVFeatObject *> &stale)
{
    if (!object->IsUpToDate())
        stale.append(object);
    for (KAVFeatObject *child : object->GetChildren())
        collectStale(child, stale);
}

} // namespace

KAVFeatEnvironmentManager::KAVFeatEnvironmentManager(QObject *parent) : QObject(parent) { }

KAVFeatEnvironmentManager::~KAVFeatEnvironmentManager() = default;

KAVFeatEnvironmentManager *KAVFeatEnvironmentManager::GetManager()
{
    static QPointer<KAVFeatEnvironmentManager> s_manager;
    return KAVHostSingleton<KAVFeatEnvironmentManager>(
        s_manager, [](QObject *parent) { return new KAVFeatEnvironmentManager(parent); });
}

void KAVFeatEnvironmentManager::AddEnvironment(KAVFeatEnvironment *environment)
{
    if (!environment || m_environments.contains(environment))
        return;
    m_environments.removeAll(nullptr);
    m_environments.append(environment);
}

void KAVFeatEnvironmentManager::RemoveEnvironment(KAVFeatEnvironment *environment)
{
    m_environments.removeAll(environment);
    m_environments.removeAll(nullptr);
    if (m_current == environment)
        SetCurrentEnvironment(nullptr);
}

QList<KAVFeatEnvironment *> KAVFeatEnvironmentManager::GetEnvironments() const
{
    QList<KAVFeatEnvironment *> environments;
    for (KAVFeatEnvironment *environment : m_environments) {
        if (environment)
            environments.append(environment);
    }
    return environments;
}

KAVFeatEnvironment *KAVFeatEnvironmentManager::FindEnvironment(const QString &name) const
{
    for (KAVFeatEnvironment *environment : m_environments) {
        if (environment && environment->GetName() == name)
            return environment;
    }
    return nullptr;
}

KAVFeatEnvironment *KAVFeatEnvironmentManager::GetCurrentEnvironment() const
{
    return m_current;
}

void KAVFeatEnvironmentManager::SetCurrentEnvironment(KAVFeatEnvironment *environment)
{
    AddEnvironment(environment);
    if (m_current == environment)
        return;
    m_current = environment;
    Q_EMIT CurrentEnvironmentChanged(environment);
}

KAVFeatContainerManager::KAVFeatContainerManager(QObject *parent) : QObject(parent) { }

KAVFeatContainerManager::~KAVFeatContainerManager() = default;

KAVFeatContainerManager *KAVFeatContainerManager::GetManager()
{
    static QPointer<KAVFeatContainerManager> s_manager;
    return KAVHostSingleton<KAVFeatContainerManager>(
        s_manager, [](QObject *parent) { return new KAVFeatContainerManager(parent); });
}

bool KAVFeatContainerManager::isAllFeatObjectsUpToDate() const
{
    for (const KAVFeatEnvironment *environment :
         KAVFeatEnvironmentManager::GetManager()->GetEnvironments()) {
        if (!environment->GetContainer()->IsAllUpToDate())
            return false;
    }
    return true;
}

KAVFeatUpdateManager::KAVFeatUpdateManager(QObject *parent) : QObject(parent) { }

KAVFeatUpdateManager::~KAVFeatUpdateManager()
{
    for (const EnvironmentStatus &entry : std::as_const(m_status))
        disconnect(entry.destroyed);
}

KAVFeatUpdateManager *KAVFeatUpdateManager::GetManager()
{
    static QPointer<KAVFeatUpdateManager> s_manager;
    return KAVHostSingleton<KAVFeatUpdateManager>(
        s_manager, [](QObject *parent) { return new KAVFeatUpdateManager(parent); });
}

KAVFeatUpdateManager::Status
KAVFeatUpdateManager::GetStatus(const KAVFeatEnvironment *environment) const
{
    const auto it = m_status.constFind(environment);
    return it == m_status.constEnd() ? Idle : it->status;
}

void KAVFeatUpdateManager::SetStatus(KAVFeatEnvironment *environment, Status status)
{
    const auto it = m_status.find(environment);
    if (status == Idle) {
        if (it != m_status.end()) {
            disconnect(it->destroyed);
            m_status.erase(it);
        }
    } else if (it != m_status.end()) {
        it->status = status;
    } else {
        QMetaObject::Connection destroyed;
        if (environment) {
            destroyed = connect(environment, &QObject::destroyed, this,
                                [this, environment] { m_status.remove(environment); });
        }
        m_status.insert(environment, {status, destroyed});
    }
    Q_EMIT StatusChanged(status);
}

void KAVFeatUpdateManager::FinishUpdate(const QList<KAVFeatObject *> &updated)
{
    for (KAVFeatObject *object : updated) {
        if (object)
            object->SetUpToDate(true);
    }
    Q_EMIT UpdateFinished(updated);
}

void KAVFeatUpdateManager::RunUpdate(KAVFeatEnvironment *environment)
{
    if (!environment)
        return;
    SetStatus(environment, Pending);
    SetStatus(environment, Updating);
    QList<KAVFeatObject *> stale;
    for (KAVFeatObject *root : environment->GetContainer()->GetFeatureRoots())
        collectStale(root, stale);
    FinishUpdate(stale);
    SetStatus(environment, Idle);
}
