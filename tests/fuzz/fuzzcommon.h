#ifndef FUZZCOMMON_H
#define FUZZCOMMON_H

// What every fuzz target shares: an application object, and no log output (a warning per
// malformed input would cost more than the input itself).

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QTemporaryDir>

#include <cstddef>
#include <cstdint>

inline void silence(QtMsgType, const QMessageLogContext &, const QString &) { }

inline QCoreApplication *fuzzApplication()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *app = [] {
        qInstallMessageHandler(silence);
        return new QCoreApplication(argc, argv);
    }();
    return app;
}

// A folder for files the targets write, in memory where the system has one.
inline const QString &fuzzFolder()
{
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isDir()
                                 ? QStringLiteral("/dev/shm/kavfuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/kavfuzz-XXXXXX"));
    static const QString path = dir.path();
    return path;
}

#define KAV_FUZZ_INIT                                                                              \
    extern "C" int LLVMFuzzerInitialize(int *, char ***)                                           \
    {                                                                                              \
        fuzzApplication();                                                                         \
        return 0;                                                                                  \
    }

#endif // FUZZCOMMON_H
