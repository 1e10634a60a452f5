#ifndef KAVFEATUPDATEMANAGER_H
#define KAVFEATUPDATEMANAGER_H

#include "kavhost_export.h"

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPointer>

class KAVFeatEnvironment;
#include "kavfeatobject.h"

// Brings stale feature objects up to date. The host reports the status of an update as it
// goes; RunUpdate does a whole update of an environment in one call.
class KAVHOST_EXPORT KAVFeatUpdateManager : public QObject {
    Q_OBJECT
public:
    enum Status {
        Idle = 0,
        Pending = 1, // busy: an update has been requested
        Updating = 2, // busy: an update is under way
    };
    Q_ENUM(Status)

    static KAVFeatUpdateManager *GetManager();
    ~KAVFeatUpdateManager() override;

    Status GetStatus(const KAVFeatEnvironment *environment) const;
    // Stores the status of the environment and reports it, also when it did not change.
    void SetStatus(KAVFeatEnvironment *environment, Status status);
    // Marks the objects up to date and reports the end of an update.
    void FinishUpdate(const QList<KAVFeatObject *> &updated);
    // Pending, Updating, every stale object of the environment updated, UpdateFinished, Idle.
    void RunUpdate(KAVFeatEnvironment *environment);

Q_SIGNALS:
    void StatusChanged(KAVFeatUpdateManager::Status status);
    void UpdateFinished(const QList<KAVFeatObject *> &updated);

private:
    explicit KAVFeatUpdateManager(QObject *parent);

    struct EnvironmentStatus {
        Status status;
        // Drops the entry when the environment goes: a new one at the same address must not
        // inherit its status.
        QMetaObject::Connection destroyed;
    };
    QHash<const KAVFeatEnvironment *, EnvironmentStatus> m_status;
};

#endif // KAVFEATUPDATEMANAGER_H
