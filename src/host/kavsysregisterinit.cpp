#include "kavsysregisterinit.h"
#include "kavsysinitcontext.h"

#include <QtCore/QMutex>

#include <vector>

namespace {

struct Entry {
    KAVSysRegisterInit::InitFunction function;
    bool done;
};

// Function-local statics: registrations happen during static initialisation of other libraries.
QMutex &registryMutex()
{
    static QMutex mutex;
    return mutex;
}

std::vector<Entry> &registry()
{
    static std::vector<Entry> entries;
    return entries;
}

} // namespace

KAVSysRegisterInit::KAVSysRegisterInit(InitFunction function)
{
    if (!function)
        return;
    QMutexLocker locker(&registryMutex());
    registry().push_back({function, false});
}

KAVSysRegisterInit::~KAVSysRegisterInit() = default;

int KAVSysRegisterInit::PendingCount()
{
    QMutexLocker locker(&registryMutex());
    int count = 0;
    for (const Entry &entry : registry())
        count += entry.done ? 0 : 1;
    return count;
}

KAVSysInitContext::KAVSysInitContext(const QList<QString> &arguments) : m_arguments(arguments)
{
    // Run outside the lock: a start-up function may register further functions.
    for (;;) {
        KAVSysRegisterInit::InitFunction function = nullptr;
        {
            QMutexLocker locker(&registryMutex());
            for (Entry &entry : registry()) {
                if (!entry.done) {
                    entry.done = true;
                    function = entry.function;
                    break;
                }
            }
        }
        if (!function)
            break;
        function();
        ++m_initialized;
    }
}

KAVSysInitContext::~KAVSysInitContext() = default;

QList<QString> KAVSysInitContext::GetArguments() const
{
    return m_arguments;
}

int KAVSysInitContext::GetInitializedCount() const
{
    return m_initialized;
}
