#ifndef KAVATMCLIENTLAUNCHER_P_H
#define KAVATMCLIENTLAUNCHER_P_H

#include "kavatmclientdefinition.h"
#include "kavatmenums.h"

#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtCore/QProcessEnvironment>

class QIODevice;
class QProcess;

// Starts client programs with the environment that tells them where the runner listens, reads
// their output as it comes (a client whose pipe fills up would block) and reports their start
// and end. The launcher owns the processes; one still running when it goes is killed.
class KAVAUTOMATION_EXPORT KAVAtmClientLauncher : public QObject {
    Q_OBJECT
public:
    explicit KAVAtmClientLauncher(QObject *parent = nullptr);
    ~KAVAtmClientLauncher() override;

    // The runner's environment with "KAVAtmEnableScript", "KAVAtmOrchestratorPort" and
    // "KAVAtmPlatformMode" set, the configured variables the environment does not hold yet
    // added, and "QTWEBENGINEPROCESS_PATH" removed.
    static QProcessEnvironment BuildEnvironment(const QProcessEnvironment &base,
                                                const QHash<QString, QString> &configured,
                                                quint16 port, KAVAtmEnums::PlatformMode mode);

    // Starts the client's program; Started or StartFailed follows. Null, with the reason, when
    // the client has no program to start.
    QProcess *Launch(const KAVAtmClientDefinition &client, quint16 port,
                     KAVAtmEnums::PlatformMode mode, QString *errorString = nullptr);
    QList<QProcess *> GetProcesses() const;

    // Each line a client writes goes to the device (by default this process's standard error),
    // prefixed with "[<program> <pid>] "; when not forwarded it is read and dropped.
    void SetOutputForwarded(bool forwarded);
    void SetOutputDevice(QIODevice *device);
    // Passes on what the process wrote and was not read yet, a last unfinished line included.
    void DrainOutput(QProcess *process);

Q_SIGNALS:
    void Started(QProcess *process);
    // The process object stays valid until the handlers have returned; it is deleted later.
    void Finished(QProcess *process, int exitCode, bool crashed);
    // The process object is deleted later.
    void StartFailed(QProcess *process, QString program, QString errorString);

private:
    void Forward(QProcess *process, bool standardError, bool flush);

    bool m_forwarded = true;
    QIODevice *m_device = nullptr;
    // Unfinished last lines, per process and channel.
    QHash<QProcess *, QByteArray> m_partial[2];
    // Kept from the start: a process that has ended reports none.
    QHash<QProcess *, qint64> m_pids;
};

#endif // KAVATMCLIENTLAUNCHER_P_H
