#include "kavfeatobject.h"
#include "kavfeatupdatemanager.h"
#include "kavnestprocessorbase.h"
#include "kavnestsavemanager.h"
#include "kavsysvalue.h"

#include <QtCore/QMetaType>

namespace {

// Queued connections and variants of the host types work from the moment the layer is loaded.
const bool s_registered = [] {
    qRegisterMetaType<KAVFeatObject *>("KAVFeatObject*");
    qRegisterMetaType<KAVFeatObjectSet>("KAVFeatObjectSet");
    qRegisterMetaType<QList<KAVFeatObject *>>("QList<KAVFeatObject*>");
    qRegisterMetaType<KAVSysValue>("KAVSysValue");
    qRegisterMetaType<KAVSysValue::Unit>("KAVSysValue::Unit");
    qRegisterMetaType<KAVNestProcessorBase::ProcessorStatus>(
        "KAVNestProcessorBase::ProcessorStatus");
    qRegisterMetaType<KAVNestSaveManager::SaveResult>("KAVNestSaveManager::SaveResult");
    qRegisterMetaType<KAVFeatUpdateManager::Status>("KAVFeatUpdateManager::Status");
    return true;
}();

} // namespace
