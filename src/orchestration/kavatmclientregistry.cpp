#include "kavatmclientregistry_p.h"
#include "kavatmconfiguration.h"
#include "kavatmlogging_p.h"
#include "kavatmorchestrator.h"
#include "kavatmorchestratorclient.h"
#include "kavatmorchestratorclientconnection.h"

#include <QtCore/QTimer>
#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>

KAVAtmClientRegistry::KAVAtmClientRegistry(KAVAtmOrchestrator *orchestrator, QObject *parent)
    : QObject(parent), m_orchestrator(orchestrator),
      m_registrationTimeout(KAVAtmOrchestrator::DefaultRegistrationTimeout)
{
}

KAVAtmClientRegistry::~KAVAtmClientRegistry()
{
    for (KAVAtmOrchestratorClient *client : std::exchange(m_clients, {})) {
        client->disconnect(this);
        delete client;
    }
    // Before the server and its sockets: a socket going must not reach a connection.
    qDeleteAll(findChildren<KAVAtmOrchestratorClientConnection *>(Qt::FindDirectChildrenOnly));
}

bool KAVAtmClientRegistry::Listen(KAVAtmConfiguration &configuration)
{
    if (!m_server)
        m_server = new QTcpServer(this);
    if (!m_server->listen(configuration.GetOrchestratorAddress(),
                          configuration.GetOrchestratorPort())) {
        qCritical().noquote() << "cannot open controller client port:" << m_server->errorString();
        return false;
    }
    configuration.SetOrchestratorPort(m_server->serverPort());
    qCDebug(lcOrchestration).noquote()
        << "Server is listening at: " + m_server->serverAddress().toString() + QLatin1Char(':')
            + QString::number(m_server->serverPort());
    connect(m_server, &QTcpServer::newConnection, this, &KAVAtmClientRegistry::OnConnected,
            Qt::UniqueConnection);
    return true;
}

quint16 KAVAtmClientRegistry::GetPort() const
{
    return m_server && m_server->isListening() ? m_server->serverPort() : 0;
}

KAVAtmOrchestratorClient *KAVAtmClientRegistry::FindClient(qint64 pid) const
{
    for (KAVAtmOrchestratorClient *client : m_clients) {
        if (client->GetPid() == pid)
            return client;
    }
    return nullptr;
}

ClientLaunchInfo *KAVAtmClientRegistry::FindLaunch(const KAVAtmOrchestratorClient *client)
{
    for (auto it = m_launches.begin(); it != m_launches.end(); ++it) {
        if (client && it->client == client)
            return &it.value();
    }
    return nullptr;
}

const ClientLaunchInfo *KAVAtmClientRegistry::FindLaunch(QProcess *process) const
{
    const auto it = m_launches.constFind(process);
    return it == m_launches.constEnd() ? nullptr : &it.value();
}

bool KAVAtmClientRegistry::IsLaunched(QProcess *process) const
{
    return m_launches.contains(process) || m_starting.contains(process);
}

void KAVAtmClientRegistry::LaunchRequested(QProcess *process, const PendingLaunch &launch)
{
    m_starting.insert(process, launch);
}

void KAVAtmClientRegistry::LaunchFailed(QProcess *process)
{
    m_starting.remove(process);
}

void KAVAtmClientRegistry::LaunchStarted(
    QProcess *process, qint64 pid,
    const std::function<QList<KAVAtmTestProcedureResult *>(const QList<KAVAtmTestProcedureDef *> &)>
        &results)
{
    const PendingLaunch pending = m_starting.take(process);
    ClientLaunchInfo launch;
    launch.secret = pending.secret;
    launch.mode = pending.mode;
    launch.pid = pid;
    launch.procedures = results(pending.procedures);
    m_launches.insert(process, launch);
}

bool KAVAtmClientRegistry::LaunchAborted(QProcess *process, ClientLaunchInfo *launch)
{
    const auto it = m_launches.find(process);
    if (it == m_launches.end())
        return false;
    *launch = it.value();
    it->aborted = true;
    return true;
}

bool KAVAtmClientRegistry::LaunchEnded(QProcess *process, ClientLaunchInfo *launch)
{
    const auto it = m_launches.find(process);
    if (it == m_launches.end())
        return false;
    *launch = it.value();
    m_launches.erase(it);
    return true;
}

QProcess *KAVAtmClientRegistry::FindProcess(qint64 pid) const
{
    for (auto it = m_launches.cbegin(); it != m_launches.cend(); ++it) {
        if (it->pid == pid)
            return it.key();
    }
    return nullptr;
}

void KAVAtmClientRegistry::Release(KAVAtmOrchestratorClient *client)
{
    KAVAtmOrchestratorClientConnection *connection = client->GetConnection();
    client->deleteLater();
    if (connection) {
        if (QTcpSocket *socket = connection->GetSocket())
            socket->deleteLater();
        connection->deleteLater();
    }
}

void KAVAtmClientRegistry::OnConnected()
{
    while (m_server->hasPendingConnections()) {
        QTcpSocket *socket = m_server->nextPendingConnection();
        const auto unregistered = std::count_if(m_clients.cbegin(), m_clients.cend(),
                                                [this](auto *c) { return !FindLaunch(c); });
        if (unregistered >= KAVAtmOrchestrator::MaximumUnregisteredClients) {
            qCWarning(lcOrchestration, "Too many clients that have not registered: one refused.");
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto *connection = new KAVAtmOrchestratorClientConnection(this, socket);
        QList<QByteArray> secrets;
        for (const ClientLaunchInfo &launch : std::as_const(m_launches))
            secrets.append(launch.secret);
        for (const PendingLaunch &pending : std::as_const(m_starting))
            secrets.append(pending.secret);
        connection->SetClientSecrets(secrets, m_builtInKeyAccepted);
        // Small until the client has said who it is.
        connection->SetMaximumFrameSize(KAVAtmOrchestrator::UnregisteredFrameSize);
        auto *client = new KAVAtmOrchestratorClient(m_orchestrator, connection);
        connection->Authenticate();
        connect(connection, &KAVWorkConnection::AuthenticationFailed, socket,
                &QTcpSocket::disconnectFromHost);
        connect(connection, &KAVWorkConnection::ErrorOccurred, socket,
                &QTcpSocket::disconnectFromHost);
        // An authenticated peer that does not register in time holds nothing for long.
        auto *deadline = new QTimer(client);
        deadline->setSingleShot(true);
        connect(connection, &KAVWorkConnection::Authenticated, deadline,
                [this, deadline] { deadline->start(m_registrationTimeout); });
        connect(deadline, &QTimer::timeout, socket, [this, client, socket] {
            // A host started by hand may stay, unbound, when such hosts are accepted.
            if (FindLaunch(client) || (m_builtInKeyAccepted && client->GetPid() != 0))
                return;
            qCWarning(lcOrchestration, "A client did not register in time: disconnected.");
            socket->abort();
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, client] {
            if (client->IsExecuting() && FindLaunch(client)) {
                Q_EMIT ConnectionLost(client->GetPid());
                return;
            }
            // Unless it still has procedures to finish, a session whose connection has closed
            // leaves nothing behind.
            if (!client->IsExecuting())
                Release(client);
        });
        // Compared as QObject: the session is already past its own destructor.
        connect(client, &QObject::destroyed, this, [this](QObject *object) {
            m_clients.removeIf([object](const QObject *c) { return c == object; });
        });
        connect(client, &KAVAtmOrchestratorClient::ClientRegistered, this,
                &KAVAtmClientRegistry::OnRegistered);
        m_clients.append(client);
        Q_EMIT SessionOpened(client);
    }
}

void KAVAtmClientRegistry::OnRegistered(KAVAtmOrchestratorClient *client)
{
    KAVAtmOrchestratorClientConnection *connection = client->GetConnection();
    const QByteArray secret = connection ? connection->GetAuthenticatedSecret() : QByteArray();
    const auto refuse = [&](const QString &why) {
        qCWarning(lcOrchestration).noquote() << why;
        if (connection && connection->GetSocket())
            connection->GetSocket()->abort();
    };
    QProcess *process = nullptr;
    for (auto it = m_launches.begin(); it != m_launches.end(); ++it) {
        // A client speaks for the process whose secret it proved, once, and for no other.
        if (!secret.isEmpty() && it->secret == secret) {
            if (it->pid != client->GetPid()) {
                return refuse(
                    QStringLiteral("A client registered as process %1 with the secret "
                                   "of process %2: refused.")
                        .arg(QString::number(client->GetPid()), QString::number(it->pid)));
            }
            if (it->registered || it->aborted) {
                return refuse(QStringLiteral("Process %1 has registered already: a second "
                                             "registration is refused.")
                                  .arg(it->pid));
            }
            process = it.key();
            break;
        }
        // One that proved the built-in key (accepted only on request) is taken at its word.
        if (secret.isEmpty() && !it->registered && !it->aborted && it->pid == client->GetPid()) {
            process = it.key();
            break;
        }
    }
    if (!process)
        return;
    ClientLaunchInfo &launch = m_launches[process];
    launch.client = client;
    launch.registered = true;
    if (connection)
        connection->SetMaximumFrameSize(KAVWorkConnection::MaximumFrameSize);
    Q_EMIT SessionRegistered(client, process);
}
