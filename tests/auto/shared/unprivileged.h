#ifndef UNPRIVILEGED_H
#define UNPRIVILEGED_H

#include <QtCore/QDir>
#include <QtCore/QFile>

#include <functional>

#include <grp.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

// File permissions do not bind root: a check that needs a read-only folder runs as an ordinary
// user. As root the check runs in a child process that has given up its rights ("nobody"), so
// whatever it touches must be open to all; otherwise it runs here.
inline bool runUnprivileged(const std::function<bool()> &check)
{
    if (geteuid() != 0)
        return check();
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        const bool dropped = setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0;
        _exit(dropped && check() ? 0 : 1);
    }
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Opens a folder to everyone, so that the unprivileged child can work in it.
inline void openToAll(const QString &path)
{
    QFile::setPermissions(path,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                              | QFileDevice::ReadGroup | QFileDevice::WriteGroup
                              | QFileDevice::ExeGroup | QFileDevice::ReadOther
                              | QFileDevice::WriteOther | QFileDevice::ExeOther);
}

#endif // UNPRIVILEGED_H
