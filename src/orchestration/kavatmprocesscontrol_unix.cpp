#include "kavatmprocesscontrol_p.h"

#include <QtCore/QProcess>

#include <csignal>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace KAVAtmProcessControl {

void PrepareClient(QProcess *process)
{
    const pid_t runner = getpid();
    process->setChildProcessModifier([runner] {
        // Its own group, so that stopping it stops whatever it started too.
        setpgid(0, 0);
#ifdef Q_OS_LINUX
        // Dies with the runner, even a killed one: the platform would retry for ever.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != runner)
            _exit(127); // the runner went before the request was made
#else
        Q_UNUSED(runner);
#endif
    });
}

void KillClient(QProcess *process)
{
    const qint64 pid = process->processId();
    if (pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
    process->kill();
}

} // namespace KAVAtmProcessControl
