#include "kavatmplatform.h"
#include "kavatmclientorchestratorconnection.h"
#include "kavatmclosefileactiondef.h"
#include "kavatmconfiguration.h"
#include "kavatmexecutorregistry_p.h"
#include "kavatmlaunchcommandactiondef.h"
#include "kavatmlogging_p.h"
#include "kavatmopenfileactiondef.h"
#include "kavatmoperationrecorder_p.h"
#include "kavatmplatform_p.h"
#include "kavatmprocessormonitor.h"
#include "kavatmprotocol_p.h"
#include "kavatmscreenshot_p.h"
#include "kavatmwidgettree_p.h"
#include "kavatmtestactionbase.h"
#include "kavatmtestactionresult.h"
#include "kavatmupdatemonitor.h"
#include "kavcmdcommandaction.h"
#include "kavfeatenvironment.h"
#include "kavfeatupdatemanager.h"
#include "kavnestfeatureprocessor.h"
#include "kavnestsourceprocessor.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QJsonObject>
#include <QtCore/QTimer>
#include <QtNetwork/QTcpSocket>

#include <memory>

KAVAtmPlatformPrivate::KAVAtmPlatformPrivate(KAVAtmPlatform *platform, KAVAtmEnums::Platform type)
    : platform(platform), platformType(type), recorder(new KAVAtmOperationRecorder(platform))
{
    connect(recorder, &KAVAtmOperationRecorder::StatusChanged, this,
            [this](KAVAtmPlatform::RecordingStatus status) {
                Q_EMIT this->platform->RecordingStatusChanged(status);
                if (connection)
                    connection->SendRecordingStatus(status);
            });
}

KAVAtmPlatformPrivate::~KAVAtmPlatformPrivate() = default;

KAVAtmTestActionBase *KAVAtmPlatformPrivate::CurrentAction() const
{
    for (auto it = running.crbegin(); it != running.crend(); ++it) {
        if (*it)
            return *it;
    }
    return nullptr;
}

void KAVAtmPlatformPrivate::SetUpConnection()
{
    if (connection)
        return;
    const KAVAtmConfiguration configuration;
    screenshots
        = KAVAtmProtocol::ScreenshotModeFromText(qEnvironmentVariable(KAVAtmProtocol::ScreenshotsVariable));
    traced = qEnvironmentVariable(KAVAtmProtocol::TraceVariable) == QLatin1String("1");
    auto *socket = new QTcpSocket(this);
    connection = new KAVAtmClientOrchestratorConnection(this, socket);
    connection->SetClientSecret(configuration.GetClientSecret());
    // Read once; the programs this host starts have no business with it.
    qunsetenv("KAVAtmClientSecret");
    socket->setProperty("address", configuration.GetOrchestratorAddress().toString());
    socket->setProperty("port", configuration.GetOrchestratorPort());
    socket->setProperty("connection", QVariant::fromValue<QObject *>(connection));

    connect(socket, &QTcpSocket::connected, connection, &KAVWorkConnection::Authenticate);
    connect(connection, &KAVWorkConnection::AuthenticationFailed, socket,
            &QTcpSocket::disconnectFromHost);
    connect(connection, &KAVWorkConnection::Authenticated, this,
            &KAVAtmPlatformPrivate::OnConnectionAuthenticated);
    connect(connection, &KAVAtmClientOrchestratorConnection::ExecuteRequested, this,
            &KAVAtmPlatformPrivate::OnExecuteRequested);
    connect(connection, &KAVAtmClientOrchestratorConnection::CancelRequested, this,
            &KAVAtmPlatformPrivate::OnCancelRequested);

    auto *reconnect = new QTimer(socket);
    reconnect->setInterval(1000);
    reconnect->setSingleShot(true);
    reconnect->setProperty("connection", QVariant::fromValue<QObject *>(connection));
    connect(reconnect, &QTimer::timeout, this, &KAVAtmPlatformPrivate::OnSocketNeedsConnected);
    connect(socket, &QTcpSocket::disconnected, reconnect, qOverload<>(&QTimer::start));
    // An attempt that fails (runner not listening yet) never reports "disconnected": without
    // this the host would never try again.
    connect(socket, &QTcpSocket::errorOccurred, reconnect, [socket, reconnect] {
        if (socket->state() == QAbstractSocket::UnconnectedState)
            reconnect->start();
    });
    // The runner listens before it launches its hosts: the first attempt goes out at once,
    // only the retries wait.
    QMetaObject::invokeMethod(this, &KAVAtmPlatformPrivate::OnSocketNeedsConnected,
                              Qt::QueuedConnection);
}

void KAVAtmPlatformPrivate::OnSocketNeedsConnected()
{
    if (!connection)
        return;
    QTcpSocket *socket = connection->GetSocket();
    if (!socket || socket->state() != QAbstractSocket::UnconnectedState)
        return;
    const quint16 port = quint16(socket->property("port").toUInt());
    const QHostAddress address(socket->property("address").toString());
    socket->connectToHost(address, port, QIODevice::ReadWrite);
}

void KAVAtmPlatformPrivate::OnConnectionAuthenticated()
{
    connection->SendClient(QCoreApplication::applicationPid(), QStringLiteral("Tessaron"));
    connectionStatus = KAVAtmPlatform::Connected;
    Q_EMIT platform->StatusChanged(KAVAtmPlatform::Connected);
}

void KAVAtmPlatformPrivate::OnExecuteRequested(const QUuid &id, const QJsonValue &actionData)
{
    qCDebug(lcPlatform).noquote() << "Action requested:"
                                  << actionData[QLatin1String("action")].toString();
    platform->DispatchAction(id, actionData);
}

void KAVAtmPlatformPrivate::OnCancelRequested(const QUuid &id)
{
    qCDebug(lcPlatform).noquote() << "Action cancelled:" << id.toString(QUuid::WithBraces);
}

KAVAtmPlatform::KAVAtmPlatform(KAVAtmEnums::Platform platform)
    : d(new KAVAtmPlatformPrivate(this, platform))
{
    for (const auto &[type, metaObject] : KAVAtmExecutorRegistry::BuiltIns())
        RegisterActionWithType(type, *metaObject);
}

KAVAtmPlatform::~KAVAtmPlatform() = default;

void KAVAtmPlatform::OnTestEnvironmentReady()
{
    d->SetUpConnection();
}

void KAVAtmPlatform::RegisterActionWithType(const QByteArray &type, const QMetaObject &metaObject)
{
    d->executors.insert(type.toLower(), metaObject);
}

const QMetaObject *KAVAtmPlatform::GetRegisteredAction(const QByteArray &type) const
{
    const auto it = d->executors.constFind(type.toLower());
    return it == d->executors.constEnd() ? nullptr : &it.value();
}

void KAVAtmPlatform::DispatchAction(const QUuid &id, const QJsonValue &data)
{
    const QJsonObject json = data.toObject();
    // Matched by ASCII letter case only, as the procedure check matches it.
    const QByteArray type = json.value(QLatin1String("action")).toString().toUtf8().toLower();
    const QMetaObject *meta = GetRegisteredAction(type);
    if (!meta) {
        if (type == "closeplatform") {
            ClosePlatform();
            return;
        }
        const bool typed = json.contains(QLatin1String("action"));
        const QString details = typed
            ? QStringLiteral("The action is not found: %1").arg(QString::fromUtf8(type))
            : QStringLiteral("The action has no type.");
        if (typed)
            qCDebug(lcPlatform).noquote() << details;
        // Answered as failed: without a reply the runner would wait for it until it gives up.
        KAVAtmTestActionResult result(id, nullptr, nullptr);
        result.SetStatus(KAVAtmEnums::Completed);
        result.SetResult(KAVAtmEnums::Fail);
        result.SetDetails(details);
        UpdateActionResult(&result);
        return;
    }

    qCInfo(lcPlatform).noquote()
        << QStringLiteral("Dispatching action: %1").arg(QString::fromUtf8(type));
    QObject *object = meta->newInstance(Q_ARG(KAVAtmPlatform &, *this), Q_ARG(QUuid, id),
                                        Q_ARG(QJsonValue, data));
    auto *executor = qobject_cast<KAVAtmTestActionBase *>(object);
    if (!executor) {
        delete object;
        return;
    }
    // An executor that ends while its Execute() is on the stack (its time-out firing in a
    // nested loop, perhaps one of another executor above it) is deleted once Execute() has
    // returned, never by an event loop that happens to run meanwhile.
    connect(executor, &KAVAtmTestActionBase::ActionEnded, executor, [this, executor] {
        d->running.removeAll(executor);
        if (!d->insideExecute.contains(executor))
            executor->deleteLater();
    });
    Q_EMIT ActionStarting();
    d->running.removeAll(nullptr);
    d->running.append(executor);
    const QPointer<KAVAtmTestActionBase> guard(executor);
    d->insideExecute.insert(executor);
    executor->Execute();
    d->insideExecute.remove(executor);
    if (guard && guard->IsEnded())
        delete executor;
}

void KAVAtmPlatform::UpdateActionResult(const KAVAtmTestActionResult *result)
{
    if (!result)
        return;
    // The windows as the action left them, for a failure's report (or every action's).
    std::unique_ptr<KAVAtmTestActionResult> shown;
    const bool completed = result->GetStatus() == KAVAtmEnums::Completed;
    if (completed && d->connection
        && (d->traced || d->screenshots == KAVAtmProtocol::ScreenshotMode::All
            || (d->screenshots == KAVAtmProtocol::ScreenshotMode::Failures
                && result->GetResult() == KAVAtmEnums::Fail))) {
        shown = std::make_unique<KAVAtmTestActionResult>(result->GetId(), result->GetActionDef(),
                                                         nullptr);
        shown->FromJson(result->ToJson(), false);
        if (d->traced)
            shown->SetWidgetTree(KAVAtmWidgetTree::Snapshot());
        QString whyNot;
        const QByteArray png = KAVAtmScreenshot::Grab(&whyNot);
        if (png.isEmpty())
            shown->SetScreenshotMissing(whyNot);
        shown->SetScreenshot(png);
        result = shown.get();
    }
    QString error;
    if (d->connection && !d->connection->SendActionUpdate(result, &error) && completed) {
        bool sent = false;
        if (shown && !shown->GetScreenshot().isEmpty()) {
            // The verdict matters more than the picture.
            shown->SetScreenshot(QByteArray());
            shown->SetWidgetTree(QJsonObject());
            shown->SetScreenshotMissing(tr("it could not be sent: %1").arg(error));
            sent = d->connection->SendActionUpdate(shown.get(), &error);
        }
        if (!sent) {
            // A verdict too large to send still reaches the runner, as a failure that says
            // why, rather than leaving it to wait for an answer that never comes.
            KAVAtmTestActionResult replacement(result->GetId(), result->GetActionDef(), nullptr);
            replacement.SetStatus(KAVAtmEnums::Completed);
            replacement.SetResult(KAVAtmEnums::Fail);
            replacement.SetDetails(tr("The result of the action could not be sent: %1").arg(error));
            d->connection->SendActionUpdate(&replacement);
        }
    }
    if (completed) {
        Q_EMIT ActionFinished(result);
    }
}

void KAVAtmPlatform::SendRecordingData(const QJsonValue &data)
{
    if (d->connection)
        d->connection->SendRecordingData(data);
}

bool KAVAtmPlatform::IsExecuting() const
{
    return d->CurrentAction() != nullptr;
}

KAVAtmEnums::Platform KAVAtmPlatform::GetPlatformType() const
{
    return d->platformType;
}

KAVAtmEnums::PlatformMode KAVAtmPlatform::GetMode() const
{
    return d->mode;
}

void KAVAtmPlatform::SetMode(KAVAtmEnums::PlatformMode mode)
{
    d->mode = mode;
}

KAVAtmPlatform::ConnectionStatus KAVAtmPlatform::GetConnectionStatus() const
{
    return d->connectionStatus;
}

KAVAtmPlatform::RecordingStatus KAVAtmPlatform::GetRecordingStatus() const
{
    return d->recorder->GetStatus();
}

void KAVAtmPlatform::SetRecordingStatus(RecordingStatus status)
{
    d->recorder->SetStatus(status);
}

bool KAVAtmPlatform::HandleRecordCommand(const KAVCmdAction &action)
{
    const auto *commandAction = qobject_cast<const KAVCmdCommandAction *>(&action);
    if (!commandAction)
        return false;
    KAVAtmLaunchCommandActionDef definition;
    definition.SetActionId(commandAction->GetID());
    definition.SetActionData(commandAction->GetData());
    SendRecordingData(definition.ToJson());
    return true;
}

bool KAVAtmPlatform::HandleRecordSelection(const KAVFeatObjectSet &)
{
    return false;
}

bool KAVAtmPlatform::HandleRecordDocumentOpening(const QString &docPath)
{
    qCDebug(lcPlatform).noquote() << "KAVAtmPlatform::HandleRecordDocumentOpening starts:"
                                  << docPath;
    KAVAtmOpenFileActionDef definition;
    definition.SetFilePath(docPath);
    definition.SetPlatform(d->platformType);
    SendRecordingData(definition.ToJson());
    return true;
}

bool KAVAtmPlatform::HandleRecordDocumentClosing(const QString &docPath)
{
    qCDebug(lcPlatform).noquote() << "KAVAtmPlatform::HandleRecordDocumentClosing starts:"
                                  << docPath;
    KAVAtmCloseFileActionDef definition;
    definition.SetPlatform(d->platformType);
    SendRecordingData(definition.ToJson());
    return true;
}

void KAVAtmPlatform::SetFeatureProcessorMonitor(KAVFeatEnvironment *environment)
{
    if (!environment) {
        qWarning("KAVAtmPlatform::SetFeatureProcessorMonitor: no environment");
        return;
    }
    auto *monitor = new KAVAtmProcessorMonitor(environment,
                                               KAVNestFeatureProcessor::GetProcessor(environment));
    d->featureProcessorMonitor = monitor;
    connect(monitor, &KAVAtmProcessorMonitor::SaveFinished, d->recorder,
            &KAVAtmOperationRecorder::OnFeatureProcessorSaveFinished);
}

void KAVAtmPlatform::SetSourceProcessorMonitor(KAVFeatEnvironment *environment)
{
    if (!environment) {
        qWarning("KAVAtmPlatform::SetSourceProcessorMonitor: no environment");
        return;
    }
    auto *monitor = new KAVAtmProcessorMonitor(environment,
                                               KAVNestSourceProcessor::GetProcessor(environment));
    d->sourceProcessorMonitor = monitor;
    connect(monitor, &KAVAtmProcessorMonitor::SaveFinished, d->recorder,
            &KAVAtmOperationRecorder::OnSourceProcessorSaveFinished);
}

void KAVAtmPlatform::SetUpdateMonitor(KAVFeatEnvironment *environment)
{
    if (!environment) {
        qWarning("KAVAtmPlatform::SetUpdateMonitor: no environment");
        return;
    }
    auto *monitor = new KAVAtmUpdateMonitor(environment, KAVFeatUpdateManager::GetManager());
    d->updateMonitor = monitor;
    connect(monitor, &KAVAtmUpdateMonitor::UpdateFinished, d->recorder,
            &KAVAtmOperationRecorder::OnUpdateFinished);
}

KAVAtmProcessorMonitor *KAVAtmPlatform::GetFeatureProcessorMonitor() const
{
    return d->featureProcessorMonitor;
}

KAVAtmProcessorMonitor *KAVAtmPlatform::GetSourceProcessorMonitor() const
{
    return d->sourceProcessorMonitor;
}

KAVAtmUpdateMonitor *KAVAtmPlatform::GetUpdateMonitor() const
{
    return d->updateMonitor;
}
