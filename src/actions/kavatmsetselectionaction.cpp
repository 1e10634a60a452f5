#include "kavatmsetselectionaction.h"
#include "kavatmwidgettree_p.h"
#include "kavatmexecutorregistry_p.h"
#include "kavatmtestactionbase_p.h"
#include "kavcmdcontroller.h"
#include "kavcmddialoghandler.h"
#include "kavfeatbrowserwidget.h"
#include "kavfeatenvironment.h"
#include "kavfeatenvironmentmanager.h"
#include "kavfeatmodel.h"
#include "kavfeattreenode.h"

KAVATM_REGISTER_EXECUTOR(KAVAtmSetSelectionAction)

class KAVAtmSetSelectionActionPrivate : public KAVAtmExecutorPrivate<KAVAtmSetSelectionActionDef> {
};

KAVAtmSetSelectionAction::KAVAtmSetSelectionAction(KAVAtmPlatform &platform, const QUuid &id,
                                                   const QJsonValue &data)
    : KAVAtmTestActionBase(*new KAVAtmSetSelectionActionPrivate, platform, id, data)
{
}

KAVAtmSetSelectionAction::~KAVAtmSetSelectionAction() = default;

QByteArray KAVAtmSetSelectionAction::GetActionName()
{
    return KAVAtmSetSelectionActionDef::GetActionName();
}

void KAVAtmSetSelectionAction::Execute()
{
    Q_D(KAVAtmSetSelectionAction);
    KAVAtmTestActionBase::Execute();
    KAVFeatEnvironment *environment
        = KAVFeatEnvironmentManager::GetManager()->GetCurrentEnvironment();
    // Without this the action would wait for its time-out, and forever with none.
    if (!environment) {
        ReportResult(KAVAtmEnums::Fail, tr("There is no current environment."), QString());
        return;
    }
    KAVFeatModel *model = environment->GetModel();
    auto *browser
        = qobject_cast<KAVFeatBrowserWidget *>(model ? model->GetContextualView() : nullptr);
    // A browser made only to resolve the paths goes when done.
    std::unique_ptr<KAVFeatBrowserWidget> own;
    if (!browser) {
        const KAVCmdDialogHandler *handler = KAVCmdController::GetController()->GetDialogHandler();
        own = std::make_unique<KAVFeatBrowserWidget>(handler ? handler->GetParentWidget()
                                                             : nullptr);
        own->SetEnvironment(environment);
        browser = own.get();
    } else {
        KAVAtmWidgetTree::Mark(browser);
    }
    KAVFeatObjectSet selection;
    QStringList unresolved;
    const QList<QString> paths = d->def.GetSelectionPathList();
    for (const QString &path : paths) {
        const KAVFeatTreeNode *node = browser->GetTreeNodeFromFullPath(path);
        if (node && node->GetFeatureObject())
            selection.insert(node->GetFeatureObject());
        else
            unresolved.append(QLatin1Char('"') + path + QLatin1Char('"'));
    }
    environment->SetSelection(selection);
    // A path that names nothing would leave the selection short and the step green.
    if (!unresolved.isEmpty()) {
        ReportResult(
            KAVAtmEnums::Fail,
            tr("These paths name no feature object: %1").arg(unresolved.join(QStringLiteral(", "))),
            QString());
        return;
    }
    ReportResult(KAVAtmEnums::Pass, QString(), QString());
}
