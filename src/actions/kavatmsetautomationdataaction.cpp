#include "kavatmsetautomationdataaction.h"
#include "kavatmcurrentdialog_p.h"
#include "kavatmdialoghandler.h"
#include "kavatmexecutorregistry_p.h"
#include "kavatmtestactionbase_p.h"
#include "kavcmdcontroller.h"
#include "kavcmddialoghandler.h"

KAVATM_REGISTER_EXECUTOR(KAVAtmSetAutomationDataAction)

class KAVAtmSetAutomationDataActionPrivate
    : public KAVAtmExecutorPrivate<KAVAtmSetAutomationDataActionDef> { };

KAVAtmSetAutomationDataAction::KAVAtmSetAutomationDataAction(KAVAtmPlatform &platform,
                                                             const QUuid &id,
                                                             const QJsonValue &data)
    : KAVAtmTestActionBase(*new KAVAtmSetAutomationDataActionPrivate, platform, id, data)
{
}

KAVAtmSetAutomationDataAction::~KAVAtmSetAutomationDataAction() = default;

QByteArray KAVAtmSetAutomationDataAction::GetActionName()
{
    return KAVAtmSetAutomationDataActionDef::GetActionName();
}

void KAVAtmSetAutomationDataAction::Execute()
{
    Q_D(KAVAtmSetAutomationDataAction);
    KAVAtmTestActionBase::Execute();
    auto *handler = dynamic_cast<KAVAtmDialogHandler *>(
        KAVCmdController::GetController()->GetDialogHandler());
    if (!handler) {
        ReportResult(KAVAtmEnums::Fail, tr("The dialog handler is not for automation."), QString());
        return;
    }
    // Without an open dialog the handler has nowhere to put the values: the step did nothing.
    QString error;
    if (!KAVAtmCurrentDialog::Find(&error)) {
        ReportResult(KAVAtmEnums::Fail, tr("No dialog took the automation data. %1").arg(error),
                     QString());
        return;
    }
    handler->ApplyAutomationData(d->def.GetMap(), d->def.IsClearFirst());
    // A misspelt control or a value it cannot hold leaves the dialog as it was.
    const QMap<QString, QString> unapplied = handler->GetUnappliedAutomationData();
    if (!unapplied.isEmpty()) {
        QStringList lines;
        for (auto it = unapplied.cbegin(); it != unapplied.cend(); ++it)
            lines.append(QStringLiteral("%1: %2").arg(it.key(), it.value()));
        ReportResult(KAVAtmEnums::Fail,
                     tr("The dialog did not take %n value(s):\n", nullptr, int(lines.size()))
                         + lines.join(QLatin1Char('\n')),
                     QString());
        return;
    }
    ReportResult(KAVAtmEnums::Pass, QString(), QString());
}
