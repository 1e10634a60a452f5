#ifndef KAVATMCLIENTLAUNCHER_P_H
#define KAVATMCLIENTLAUNCHER_P_H

#include "kavatmclientdefinition.h"
#include "kavatmenums.h"
#include "kavatmprotocol_p.h"

#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtCore/QProcessEnvironment>
#include <QtCore/QStringList>

class QIODevice;
class QProcess;

// Starts client programs with the environment that tells them where the runner listens and the
// secret they prove, reads their output as it comes (a client whose pipe fills up would block)
// and reports their start and end. Each client leads a process group of its own, which goes
// whole when it is stopped; on Linux a client also dies with the runner, killed or not. The
// launcher owns the processes; one still running when it goes is killed.
class KAVAUTOMATION_EXPORT KAVAtmClientLauncher : public QObject {
    Q_OBJECT
public:
    explicit KAVAtmClientLauncher(QObject *parent = nullptr);
    ~KAVAtmClientLauncher() override;

    // The runner's environment with "KAVAtmEnableScript", "KAVAtmOrchestratorPort",
    // "KAVAtmPlatformMode" and "KAVAtmClientSecret" (in hexadecimal; removed when empty) set,
    // the configured variables the environment does not hold yet added, and
    // "QTWEBENGINEPROCESS_PATH" removed.
    static QProcessEnvironment BuildEnvironment(const QProcessEnvironment &base,
                                                const QHash<QString, QString> &configured,
                                                quint16 port, KAVAtmEnums::PlatformMode mode,
                                                const QByteArray &secret = QByteArray());
    // A fresh random secret for one client.
    static QByteArray CreateSecret();

    // Starts the client's program; Started or StartFailed follows. Null, with the reason, when
    // the client has no program to start.
    QProcess *Launch(const KAVAtmClientDefinition &client, quint16 port,
                     KAVAtmEnums::PlatformMode mode, const QByteArray &secret,
                     QString *errorString = nullptr);
    QList<QProcess *> GetProcesses() const;
    // The process of that id, as long as its object lives; null for any other.
    QProcess *FindProcess(qint64 pid) const;
    // Kills the client and every process of its group.
    void Kill(QProcess *process);

    // Which actions the clients launched from now on take a screenshot after.
    void SetScreenshots(KAVAtmProtocol::ScreenshotMode mode);
    // Whether the clients launched from now on send what a step trace keeps.
    void SetTraced(bool traced);

    // Each line a client writes goes to the device (by default this process's standard error),
    // prefixed with "[<program> <pid>] "; when not forwarded it is read and dropped.
    void SetOutputForwarded(bool forwarded);
    void SetOutputDevice(QIODevice *device);
    // Passes on what the process wrote and was not read yet, a last unfinished line included.
    void DrainOutput(QProcess *process);
    // Takes the whole lines of what has been read from the process and not taken yet.
    void ReadOutput(QProcess *process);

    // The last lines of each client's output are kept, both channels as they came, forwarded
    // or not; each line at most KeptLineSize characters.
    static constexpr int KeptLines = 200;
    static constexpr int KeptLineSize = 1000;
    // How many lines the process has written in all.
    qint64 GetLineCount(QProcess *process) const;
    // The lines written after the first count ones, those still kept.
    QStringList GetLinesSince(QProcess *process, qint64 count) const;

Q_SIGNALS:
    void Started(QProcess *process);
    // The process object stays valid until the handlers have returned; it is deleted later.
    void Finished(QProcess *process, int exitCode, bool crashed);
    // The process object is deleted later.
    void StartFailed(QProcess *process, QString program, QString errorString);

private:
    void Forward(QProcess *process, bool standardError, bool flush);

    bool m_forwarded = true;
    KAVAtmProtocol::ScreenshotMode m_screenshots = KAVAtmProtocol::ScreenshotMode::Failures;
    bool m_traced = false;
    QIODevice *m_device = nullptr;
    // Unfinished last lines, per process and channel.
    QHash<QProcess *, QByteArray> m_partial[2];
    // Kept from the start: a process that has ended reports none.
    QHash<QProcess *, qint64> m_pids;
    struct Kept {
        QStringList lines;
        qint64 count = 0;
    };
    QHash<QProcess *, Kept> m_kept;
};

#endif // KAVATMCLIENTLAUNCHER_P_H
