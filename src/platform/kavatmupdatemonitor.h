#ifndef KAVATMUPDATEMONITOR_H
#define KAVATMUPDATEMONITOR_H

#include "kavautomation_export.h"
#include "kavfeatupdatemanager.h"

#include <QtCore/QList>
#include <QtCore/QObject>

#include <memory>

class KAVAtmUpdateMonitorPrivate;

// Keeps every status the update manager reports and signals the first update that finishes
// after it was seen busy.
class KAVAUTOMATION_EXPORT KAVAtmUpdateMonitor : public QObject {
    Q_OBJECT
public:
    KAVAtmUpdateMonitor(QObject *parent, KAVFeatUpdateManager *manager);
    ~KAVAtmUpdateMonitor() override;

    QList<KAVFeatUpdateManager::Status> GetStatusHistory() const;
    void ClearStatusHistory();

Q_SIGNALS:
    void UpdateFinished();

private Q_SLOTS:
    void OnStatusChanged(KAVFeatUpdateManager::Status status);
    void OnUpdateFinished();

private:
    const std::unique_ptr<KAVAtmUpdateMonitorPrivate> d;
};

#endif // KAVATMUPDATEMONITOR_H
