#ifndef KAVSYSREGISTERINIT_H
#define KAVSYSREGISTERINIT_H

#include "kavhost_export.h"

// Registers a start-up function of a library, usually from a static object at load time:
//
//     static KAVSysRegisterInit s_init(&InitMyLibrary);
//
// The functions run when a KAVSysInitContext is created, each once per process, in the order of
// registration. A function registered after a context exists runs at the next context.
class KAVHOST_EXPORT KAVSysRegisterInit {
public:
    using InitFunction = void (*)();

    explicit KAVSysRegisterInit(InitFunction function);
    KAVSysRegisterInit(const KAVSysRegisterInit &) = delete;
    KAVSysRegisterInit &operator=(const KAVSysRegisterInit &) = delete;
    ~KAVSysRegisterInit();

    // How many registered functions have not run yet.
    static int PendingCount();
};

#endif // KAVSYSREGISTERINIT_H
