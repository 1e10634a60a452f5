#ifndef KAVNESTSAVEMANAGER_H
#define KAVNESTSAVEMANAGER_H

#include "kavhost_export.h"

#include <QtCore/QObject>

// Saves the results of processors into the model; reports the end of every save.
class KAVHOST_EXPORT KAVNestSaveManager : public QObject {
    Q_OBJECT
public:
    enum SaveResult {
        Saved = 0,
        Failed = 1,
    };
    Q_ENUM(SaveResult)

    static KAVNestSaveManager *GetManager();
    ~KAVNestSaveManager() override;

    // Reports that a save has ended.
    void FinishSave(KAVNestSaveManager::SaveResult result = Saved);

Q_SIGNALS:
    void SaveFinished(KAVNestSaveManager::SaveResult result);

private:
    explicit KAVNestSaveManager(QObject *parent);
};

#endif // KAVNESTSAVEMANAGER_H
