#ifndef KAVSYSINITCONTEXT_H
#define KAVSYSINITCONTEXT_H

#include "kavhost_export.h"

#include <QtCore/QList>
#include <QtCore/QString>

// Runs the start-up functions registered with KAVSysRegisterInit that have not run yet.
// The arguments are the host's start-up options; the library passes none.
class KAVHOST_EXPORT KAVSysInitContext {
public:
    explicit KAVSysInitContext(const QList<QString> &arguments = {});
    KAVSysInitContext(const KAVSysInitContext &) = delete;
    KAVSysInitContext &operator=(const KAVSysInitContext &) = delete;
    ~KAVSysInitContext();

    QList<QString> GetArguments() const;

    // How many functions this context ran.
    int GetInitializedCount() const;

private:
    QList<QString> m_arguments;
    int m_initialized = 0;
};

#endif // KAVSYSINITCONTEXT_H
