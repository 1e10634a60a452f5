#include "kavatmorchestratorclient.h"
#include "kavatmlogging_p.h"
#include "kavatmorchestrator.h"
#include "kavatmorchestratorclient_p.h"
#include "kavatmorchestratorclientconnection.h"
#include "kavatmresetusersettingactiondef.h"
#include "kavatmtestactiondef.h"
#include "kavatmtestactionresult.h"
#include "kavatmtestprocedureresult.h"
#include "kavsysexception.h"

#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QPointer>
#include <QtNetwork/QTcpSocket>

class KAVAtmOrchestratorClientPrivate {
public:
    KAVAtmOrchestrator *orchestrator = nullptr;
    QPointer<KAVAtmOrchestratorClientConnection> connection;
    qint64 pid = 0;
    QString name;
    QList<KAVAtmTestProcedureResult *> procedureQueue;
    QList<KAVAtmTestActionResult *> actionQueue;
    KAVAtmTestProcedureResult *currentProcedure = nullptr;
    KAVAtmTestActionResult *currentAction = nullptr;
    // The procedure's last finished action, and whether one of its actions failed: known as
    // each finishes, never by scanning the procedure again for every action.
    KAVAtmTestActionResult *previousAction = nullptr;
    bool procedureFailed = false;
    KAVAtmEnums::PlatformMode mode = KAVAtmEnums::Batch;
    // The reset actions put at the head of procedures, when there is no orchestrator to keep
    // them as long as the results that refer to them.
    QList<KAVAtmTestActionDef *> resetDefinitions;
    bool handedWork = false;
    bool registered = false;
    bool aborted = false;
};

KAVAtmOrchestratorClient::KAVAtmOrchestratorClient(KAVAtmOrchestrator *orchestrator,
                                                   KAVAtmOrchestratorClientConnection *connection)
    : d(new KAVAtmOrchestratorClientPrivate)
{
    d->orchestrator = orchestrator;
    d->connection = connection;
    if (!connection)
        return;
    connect(connection, &KAVAtmOrchestratorClientConnection::ClientRegistered, this,
            &KAVAtmOrchestratorClient::OnClientRegistered);
    connect(connection, &KAVAtmOrchestratorClientConnection::ActionStatusUpdated, this,
            &KAVAtmOrchestratorClient::OnActionStatusUpdated);
    connect(connection, &KAVAtmOrchestratorClientConnection::RecordingDataReceived, this,
            &KAVAtmOrchestratorClient::OnRecordingDataReceived);
    connect(connection, &KAVAtmOrchestratorClientConnection::RecordingStatusReceived, this,
            &KAVAtmOrchestratorClient::RecordingStatusReceived);
}

KAVAtmOrchestratorClient::~KAVAtmOrchestratorClient()
{
    qDeleteAll(d->resetDefinitions);
}

qint64 KAVAtmOrchestratorClient::GetPid() const
{
    return d->pid;
}

QString KAVAtmOrchestratorClient::GetName() const
{
    return d->name;
}

QPair<qint64, QString> KAVAtmOrchestratorClient::GetDescription() const
{
    const QString name = d->name.isEmpty() ? QStringLiteral("Unknown") : d->name;
    const QString pid = d->pid == 0 ? QStringLiteral("Unknown") : QString::number(d->pid);
    return {d->pid, QStringLiteral("%1 [%2]").arg(name, pid)};
}

KAVAtmEnums::PlatformMode KAVAtmOrchestratorClient::GetPlatformMode() const
{
    return d->mode;
}

void KAVAtmOrchestratorClient::SetPlatformMode(KAVAtmEnums::PlatformMode mode)
{
    d->mode = mode;
}

bool KAVAtmOrchestratorClient::IsExecuting() const
{
    return d->currentProcedure || d->currentAction;
}

const KAVAtmTestActionResult *KAVAtmOrchestratorClient::GetCurrentAction() const
{
    return d->currentAction;
}

bool KAVAtmOrchestratorClient::HasWork() const
{
    return IsExecuting() || !d->procedureQueue.isEmpty() || d->handedWork;
}

bool KAVAtmOrchestratorClient::IsAcceptingWork() const
{
    const QTcpSocket *socket = d->connection ? d->connection->GetSocket() : nullptr;
    return !d->aborted && socket && socket->state() == QAbstractSocket::ConnectedState;
}

KAVAtmOrchestratorClientConnection *KAVAtmOrchestratorClient::GetConnection() const
{
    return d->connection;
}

void KAVAtmOrchestratorClient::AddProcedures(const QList<KAVAtmTestProcedureResult *> &procedures)
{
    for (KAVAtmTestProcedureResult *procedure : procedures) {
        if (!procedure)
            continue;
        auto *reset = new KAVAtmResetUserSettingActionDef;
        d->handedWork = true;
        if (d->orchestrator)
            reset->setParent(d->orchestrator); // the session may go before the results
        else
            d->resetDefinitions.append(reset);
        procedure->AddActionResult(new KAVAtmTestActionResult(reset, procedure), 0);
        if (!d->procedureQueue.contains(procedure))
            d->procedureQueue.append(procedure);
    }
}

void KAVAtmOrchestratorClient::ExecuteNextProcedure()
{
    if (d->procedureQueue.isEmpty()) {
        d->currentProcedure = nullptr;
        if (d->mode == KAVAtmEnums::Batch || d->mode == KAVAtmEnums::UiBatch)
            Q_EMIT ClientExecutionCompleted();
        return;
    }
    d->currentProcedure = d->procedureQueue.takeFirst();
    d->previousAction = nullptr;
    d->procedureFailed = false;
    d->actionQueue.append(d->currentProcedure->GetActionResults());
    d->currentProcedure->RecordStartTime();
    Q_EMIT TestProcedureExecutionStarted(d->currentProcedure);
    ExecuteNextAction();
}

void KAVAtmOrchestratorClient::ExecuteNextAction()
{
    if (d->actionQueue.isEmpty()) {
        if (KAVAtmTestProcedureResult *finished = d->currentProcedure) {
            finished->RecordFinishTime();
            // Still current while announced: procedures handed over by a handler queue up
            // instead of starting in the middle of this advance.
            Q_EMIT TestProcedureExecutionFinished(finished);
            d->currentProcedure = nullptr;
        }
        ExecuteNextProcedure();
        return;
    }
    // Read once it is final: what the runner does with a verdict (a baseline missing in CI)
    // may still have turned it into a failure.
    if (d->previousAction && d->previousAction->GetResult() == KAVAtmEnums::Fail)
        d->procedureFailed = true;
    d->currentAction = d->actionQueue.takeFirst();
    d->previousAction = d->currentProcedure ? d->currentAction : nullptr;
    d->currentAction->RecordStartTime();
    Q_EMIT TestActionExecutionStarted(d->currentAction);

    const KAVAtmTestActionDef *def = d->currentAction->GetActionDef();
    if (d->currentProcedure && d->procedureFailed && !(def && def->IsAlwaysExecute())) {
        UpdateCurrentAction(KAVAtmEnums::Completed, KAVAtmEnums::Unknown,
                            tr("The action is not executed due to the previous failure."),
                            QString());
        return;
    }
    const QJsonObject data = def ? def->GetData() : QJsonObject();
    qCDebug(lcOrchestration).noquote() << "Running action: "
            + QString::fromUtf8(QJsonDocument(data).toJson(QJsonDocument::Compact));
    QString error;
    if (d->connection && !d->connection->SendExecute(d->currentAction->GetId(), data, &error)) {
        // Nothing would ever answer an action that was not sent.
        UpdateCurrentAction(KAVAtmEnums::Completed, KAVAtmEnums::Fail,
                            tr("The action cannot be sent to the client: %1").arg(error),
                            QString());
    }
}

void KAVAtmOrchestratorClient::ExecuteSingleAction(KAVAtmTestActionResult *action)
{
    if (d->currentAction) {
        throw KAVSysException(
            QStringLiteral("There is running action existing, cannot execute single test action."));
    }
    if (!action)
        return;
    d->currentAction = action;
    action->RecordStartTime();
    Q_EMIT TestActionExecutionStarted(action);
    const KAVAtmTestActionDef *def = action->GetActionDef();
    const QJsonObject data = def ? def->ToJson() : QJsonObject();
    qCDebug(lcOrchestration).noquote() << "Running action: "
            + QString::fromUtf8(QJsonDocument(data).toJson(QJsonDocument::Compact));
    QString error;
    if (d->connection && !d->connection->SendExecute(action->GetId(), data, &error)) {
        UpdateCurrentAction(KAVAtmEnums::Completed, KAVAtmEnums::Fail,
                            tr("The action cannot be sent to the client: %1").arg(error),
                            QString());
    }
}

void KAVAtmOrchestratorClient::SendClosePlatform()
{
    if (d->connection) {
        d->connection->SendExecute(
            QUuid::createUuid(),
            QJsonObject {{QStringLiteral("action"), QStringLiteral("closeplatform")}});
    }
}

void KAVAtmFailAction(KAVAtmTestActionResult *action, const QString &reason)
{
    action->SetStatus(KAVAtmEnums::Completed);
    action->SetResult(KAVAtmEnums::Fail);
    action->SetDetails(action->GetDetails().isEmpty()
                           ? reason
                           : action->GetDetails() + QLatin1Char('\n') + reason);
    action->RecordFinishTime();
}

void KAVAtmFailOutstanding(QList<KAVAtmTestActionResult *> &actions,
                           KAVAtmTestProcedureResult *&current,
                           QList<KAVAtmTestProcedureResult *> &procedures, const QString &reason,
                           const KAVAtmResultEvents &events)
{
    for (;;) {
        if (!actions.isEmpty()) {
            KAVAtmTestActionResult *action = actions.takeFirst();
            action->RecordStartTime();
            events.actionStarted(action);
            KAVAtmFailAction(action, reason);
            events.actionFinished(action);
            continue;
        }
        if (KAVAtmTestProcedureResult *finished = std::exchange(current, nullptr)) {
            finished->RecordFinishTime();
            events.procedureFinished(finished);
        }
        if (procedures.isEmpty())
            break;
        current = procedures.takeFirst();
        actions.append(current->GetActionResults());
        current->RecordStartTime();
        events.procedureStarted(current);
    }
}

void KAVAtmOrchestratorClient::Abort(const QString &reason)
{
    d->aborted = true;
    // Stop sending: the queues are completed here, one action after the other.
    QPointer<KAVAtmOrchestratorClientConnection> connection = std::exchange(d->connection, nullptr);
    // An action whose completion is being announced keeps its verdict.
    if (KAVAtmTestActionResult *current = std::exchange(d->currentAction, nullptr)) {
        if (current->GetStatus() != KAVAtmEnums::Completed) {
            KAVAtmFailAction(current, reason);
            // The host cannot show what it looked like.
            current->SetScreenshotMissing(reason);
            Q_EMIT TestActionExecutionFinished(current);
        }
    }
    KAVAtmResultEvents events;
    events.procedureStarted = [this](KAVAtmTestProcedureResult *procedure) {
        Q_EMIT TestProcedureExecutionStarted(procedure);
    };
    events.procedureFinished = [this](KAVAtmTestProcedureResult *procedure) {
        Q_EMIT TestProcedureExecutionFinished(procedure);
    };
    events.actionStarted = [this](KAVAtmTestActionResult *action) {
        d->currentAction = action;
        Q_EMIT TestActionExecutionStarted(action);
    };
    events.actionFinished = [this](KAVAtmTestActionResult *action) {
        d->currentAction = nullptr;
        Q_EMIT TestActionExecutionFinished(action);
    };
    KAVAtmFailOutstanding(d->actionQueue, d->currentProcedure, d->procedureQueue, reason, events);
    d->connection = connection;
}

void KAVAtmOrchestratorClient::OnClientRegistered(QJsonValue data)
{
    // A client says who it is once: a second message must not make it somebody else.
    if (d->registered) {
        qCDebug(lcOrchestration, "[KAVAtmOrchestratorClient] A second registration is ignored.");
        return;
    }
    const QJsonObject payload = data.toObject();
    if (payload.isEmpty()) {
        qCDebug(lcOrchestration, "[KAVAtmOrchestratorClient] No client information received.");
        return;
    }
    d->pid = payload.value(QLatin1String("pid")).toInt(0);
    d->name = payload.value(QLatin1String("name")).toString();
    d->registered = true;
    Q_EMIT ClientRegistered(this);
}

void KAVAtmOrchestratorClient::OnActionStatusUpdated(QJsonValue data)
{
    if (!d->currentAction)
        return;
    const QJsonObject update = data.toObject();
    if (!update.contains(QLatin1String("id")) || !update.contains(QLatin1String("status")))
        return;
    if (QUuid::fromString(update.value(QLatin1String("id")).toString())
        != d->currentAction->GetId())
        return;
    const auto status
        = KAVAtmEnums::ExecutionStatus(update.value(QLatin1String("status")).toInt(0));
    const auto result = update.contains(QLatin1String("result"))
        ? KAVAtmEnums::ExecutionResult(update.value(QLatin1String("result")).toInt(0))
        : d->currentAction->GetResult();
    if (status == KAVAtmEnums::Completed)
        d->currentAction->ReadEvidence(update);
    UpdateCurrentAction(
        status, result,
        KAVAtmTestActionResult::Capped(update.value(QLatin1String("details")).toString(),
                                       KAVAtmTestActionResult::MaximumTextBytes),
        update.value(QLatin1String("data")).toString());
}

void KAVAtmOrchestratorClient::OnRecordingDataReceived(QJsonValue data)
{
    if (lcOrchestration().isDebugEnabled()) {
        qCDebug(lcOrchestration).noquote()
            << "Recording Data:"
            << QString::fromUtf8(QJsonDocument(data.toObject()).toJson(QJsonDocument::Indented));
    }
    Q_EMIT RecordingDataReceived(data);
}

void KAVAtmOrchestratorClient::UpdateCurrentAction(KAVAtmEnums::ExecutionStatus status,
                                                   KAVAtmEnums::ExecutionResult result,
                                                   const QString &details, const QString &data)
{
    KAVAtmTestActionResult *action = d->currentAction;
    action->SetStatus(status);
    action->SetResult(result);
    if (!details.isEmpty())
        action->SetDetails(details);
    if (!data.isEmpty())
        action->SetData(data);
    if (status != KAVAtmEnums::Completed) {
        Q_EMIT TestActionStatusUpdated(action);
        return;
    }
    const KAVAtmTestActionDef *def = action->GetActionDef();
    qCDebug(lcOrchestration).noquote()
        << QStringLiteral("Current action completed. [%1]").arg(def ? def->GetType() : QString());
    action->RecordFinishTime();
    Q_EMIT TestActionExecutionFinished(action);
    d->currentAction = nullptr;
    ExecuteNextAction();
}
