#include "kavatmclientlauncher_p.h"
#include "kavatmlogging_p.h"

#include "kavatmprocesscontrol_p.h"
#include "kavatmprotocol_p.h"

#include <QtCore/QFileInfo>
#include <QtCore/QProcess>
#include <QtCore/QRandomGenerator>

#include <cstdio>

KAVAtmClientLauncher::KAVAtmClientLauncher(QObject *parent) : QObject(parent) { }

KAVAtmClientLauncher::~KAVAtmClientLauncher()
{
    // Silenced first: a client killed now must not reach handlers that are going.
    for (QProcess *process : GetProcesses()) {
        process->disconnect();
        Kill(process);
        delete process;
    }
}

QProcessEnvironment
KAVAtmClientLauncher::BuildEnvironment(const QProcessEnvironment &base,
                                       const QHash<QString, QString> &configured, quint16 port,
                                       KAVAtmEnums::PlatformMode mode, const QByteArray &secret)
{
    QProcessEnvironment environment = base;
    environment.insert(QStringLiteral("KAVAtmEnableScript"), QStringLiteral("1"));
    environment.insert(QStringLiteral("KAVAtmOrchestratorPort"), QString::number(port));
    environment.insert(QStringLiteral("KAVAtmPlatformMode"), QString::number(int(mode)));
    const QString secretVariable = QString::fromLatin1(KAVAtmProtocol::SecretVariable);
    if (secret.isEmpty())
        environment.remove(secretVariable);
    else
        environment.insert(secretVariable, QString::fromLatin1(secret.toHex()));
    for (auto it = configured.cbegin(); it != configured.cend(); ++it) {
        if (environment.contains(it.key()))
            continue;
        environment.insert(it.key(), it.value());
        qCDebug(lcOrchestration).noquote()
            << "[KAVAtmOrchestrator::StartPlatform] Additional envs: " + it.key() + ": "
                + it.value();
    }
    environment.remove(QStringLiteral("QTWEBENGINEPROCESS_PATH"));
    return environment;
}

QByteArray KAVAtmClientLauncher::CreateSecret()
{
    QByteArray secret(KAVAtmProtocol::SecretSize, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(secret.data()),
                                          KAVAtmProtocol::SecretSize / sizeof(quint32));
    return secret;
}

QProcess *KAVAtmClientLauncher::Launch(const KAVAtmClientDefinition &client, quint16 port,
                                       KAVAtmEnums::PlatformMode mode, const QByteArray &secret,
                                       QString *errorString)
{
    const QString executable = client.GetExecutable();
    if (executable.isEmpty()) {
        if (errorString)
            *errorString = QStringLiteral("The client %1 has no program to start.")
                               .arg(client.GetDisplayName());
        return nullptr;
    }
    qCDebug(lcOrchestration).noquote()
        << "[KAVAtmOrchestrator::StartPlatform] The executable: " + executable;
    qCDebug(lcOrchestration).noquote()
        << "[KAVAtmOrchestrator::StartPlatform] The arguments: " << client.GetArguments();

    auto *process = new QProcess(this);
    QProcessEnvironment environment
        = BuildEnvironment(QProcessEnvironment::systemEnvironment(),
                           client.GetEnvironmentVariables(), port, mode, secret);
    environment.insert(QString::fromLatin1(KAVAtmProtocol::ScreenshotsVariable),
                       KAVAtmProtocol::ScreenshotModeText(m_screenshots));
    if (m_traced)
        environment.insert(QString::fromLatin1(KAVAtmProtocol::TraceVariable),
                           QStringLiteral("1"));
    else
        environment.remove(QString::fromLatin1(KAVAtmProtocol::TraceVariable));
    process->setProcessEnvironment(environment);
    KAVAtmProcessControl::PrepareClient(process);
    process->setProgram(executable);
    process->setArguments(client.GetArguments());
    if (!client.GetWorkingDir().isEmpty())
        process->setWorkingDirectory(client.GetWorkingDir());
    process->setProcessChannelMode(QProcess::SeparateChannels);
    connect(process, &QProcess::readyReadStandardOutput, this,
            [this, process] { Forward(process, false, false); });
    connect(process, &QProcess::readyReadStandardError, this,
            [this, process] { Forward(process, true, false); });
    connect(process, &QProcess::started, this, [this, process] {
        m_pids.insert(process, process->processId());
        Q_EMIT Started(process);
    });
    connect(process, &QProcess::finished, this,
            [this, process](int exitCode, QProcess::ExitStatus exitStatus) {
                DrainOutput(process);
                Q_EMIT Finished(process, exitCode, exitStatus == QProcess::CrashExit);
            });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        Q_EMIT StartFailed(process, process->program(), process->errorString());
        process->deleteLater();
    });
    connect(process, &QObject::destroyed, this, [this, process] {
        m_partial[0].remove(process);
        m_partial[1].remove(process);
        m_pids.remove(process);
        m_kept.remove(process);
    });
    process->start(QIODevice::ReadWrite);
    return process;
}

QList<QProcess *> KAVAtmClientLauncher::GetProcesses() const
{
    return findChildren<QProcess *>(Qt::FindDirectChildrenOnly);
}

QProcess *KAVAtmClientLauncher::FindProcess(qint64 pid) const
{
    return pid > 0 ? m_pids.key(pid, nullptr) : nullptr;
}

void KAVAtmClientLauncher::Kill(QProcess *process)
{
    if (!process || process->state() == QProcess::NotRunning)
        return;
    KAVAtmProcessControl::KillClient(process);
}

void KAVAtmClientLauncher::SetTraced(bool traced)
{
    m_traced = traced;
}

void KAVAtmClientLauncher::SetScreenshots(KAVAtmProtocol::ScreenshotMode mode)
{
    m_screenshots = mode;
}

void KAVAtmClientLauncher::SetOutputForwarded(bool forwarded)
{
    m_forwarded = forwarded;
}

void KAVAtmClientLauncher::SetOutputDevice(QIODevice *device)
{
    m_device = device;
}

void KAVAtmClientLauncher::DrainOutput(QProcess *process)
{
    Forward(process, false, true);
    Forward(process, true, true);
}

void KAVAtmClientLauncher::ReadOutput(QProcess *process)
{
    // Only what the process object holds: waiting on its pipes here could end it (and fail
    // its actions) in the middle of a caller's work. A host writes its lines before the verdict
    // that follows them, so they are normally read first.
    Forward(process, false, false);
    Forward(process, true, false);
}

qint64 KAVAtmClientLauncher::GetLineCount(QProcess *process) const
{
    return m_kept.value(process).count;
}

QStringList KAVAtmClientLauncher::GetLinesSince(QProcess *process, qint64 count) const
{
    const Kept kept = m_kept.value(process);
    const qint64 since = kept.count - count;
    if (since <= 0)
        return QStringList();
    return kept.lines.mid(kept.lines.size() - qMin<qint64>(since, kept.lines.size()));
}

void KAVAtmClientLauncher::Forward(QProcess *process, bool standardError, bool flush)
{
    QByteArray &partial = m_partial[standardError ? 1 : 0][process];
    partial += standardError ? process->readAllStandardError() : process->readAllStandardOutput();
    // A line that never ends is passed on in pieces rather than held without bound.
    constexpr qsizetype LongestLine = 64 * 1024;
    const qsizetype end
        = flush || partial.size() > LongestLine ? partial.size() : partial.lastIndexOf('\n') + 1;
    if (end <= 0)
        return;
    const QByteArray prefix
        = QStringLiteral("[%1 %2] ")
              .arg(QFileInfo(process->program()).fileName(), QString::number(m_pids.value(process)))
              .toUtf8();
    QByteArray text;
    Kept &kept = m_kept[process];
    for (const QByteArray &line : partial.left(end).split('\n')) {
        if (line.isEmpty())
            continue;
        text += prefix + line + '\n';
        kept.lines.append(QString::fromUtf8(line.left(KeptLineSize)));
        ++kept.count;
    }
    if (kept.lines.size() > KeptLines)
        kept.lines.remove(0, kept.lines.size() - KeptLines);
    partial.remove(0, end);
    if (!m_forwarded)
        return;
    if (m_device) {
        m_device->write(text);
        return;
    }
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    std::fflush(stderr);
}
