#ifndef KAVFEATCONTAINERMANAGER_H
#define KAVFEATCONTAINERMANAGER_H

#include "kavhost_export.h"

#include <QtCore/QObject>

// Process-wide view over the containers of all document environments.
class KAVHOST_EXPORT KAVFeatContainerManager : public QObject {
    Q_OBJECT
public:
    static KAVFeatContainerManager *GetManager();
    ~KAVFeatContainerManager() override;

    // True when no feature object of any environment is stale.
    bool isAllFeatObjectsUpToDate() const;

private:
    explicit KAVFeatContainerManager(QObject *parent);
};

#endif // KAVFEATCONTAINERMANAGER_H
