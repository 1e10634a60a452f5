#ifndef KAVFEATENVIRONMENTMANAGER_H
#define KAVFEATENVIRONMENTMANAGER_H

#include "kavhost_export.h"

#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPointer>

class KAVFeatEnvironment;

// The process-wide list of document environments and the active one. Environments are owned
// by the host; the manager forgets destroyed ones.
class KAVHOST_EXPORT KAVFeatEnvironmentManager : public QObject {
    Q_OBJECT
public:
    static KAVFeatEnvironmentManager *GetManager();
    ~KAVFeatEnvironmentManager() override;

    void AddEnvironment(KAVFeatEnvironment *environment);
    void RemoveEnvironment(KAVFeatEnvironment *environment);
    QList<KAVFeatEnvironment *> GetEnvironments() const;
    Q_INVOKABLE KAVFeatEnvironment *FindEnvironment(const QString &name) const;

    Q_INVOKABLE KAVFeatEnvironment *GetCurrentEnvironment() const;
    // Adds the environment when it is not known yet; null clears the current environment.
    void SetCurrentEnvironment(KAVFeatEnvironment *environment);

Q_SIGNALS:
    void CurrentEnvironmentChanged(KAVFeatEnvironment *environment);

private:
    explicit KAVFeatEnvironmentManager(QObject *parent);

    QList<QPointer<KAVFeatEnvironment>> m_environments;
    QPointer<KAVFeatEnvironment> m_current;
};

#endif // KAVFEATENVIRONMENTMANAGER_H
