#include "kavatmsetselectionaction.h"
#include "kavatmexecutorregistry_p.h"
#include "kavcmdcontroller.h"
#include "kavcmddialoghandler.h"
#include "kavfeatbrowserwidget.h"
#include "kavfeatenvironment.h"
#include "kavfeatenvironmentmanager.h"
#include "kavfeatmodel.h"
#include "kavfeattreenode.h"

KAVATM_REGISTER_EXECUTOR(KAVAtmSetSelectionAction)

class KAVAtmSetSelectionActionPrivate {
public:
    KAVAtmSetSelectionActionDef def;
};

KAVAtmSetSelectionAction::KAVAtmSetSelectionAction(KAVAtmPlatform &platform, const QUuid &id,
                                                   const QJsonValue &data)
    : KAVAtmTestActionBase(platform, id, data), d(new KAVAtmSetSelectionActionPrivate)
{
    d->def.FromJson(data.toObject());
}

KAVAtmSetSelectionAction::~KAVAtmSetSelectionAction() = default;

QByteArray KAVAtmSetSelectionAction::GetActionName()
{
    return KAVAtmSetSelectionActionDef::GetActionName();
}

KAVAtmSetSelectionActionDef *KAVAtmSetSelectionAction::GetActionDef() const
{
    return &d->def;
}

void KAVAtmSetSelectionAction::Execute()
{
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
    }
    KAVFeatObjectSet selection;
    const QList<QString> paths = d->def.GetSelectionPathList();
    for (const QString &path : paths) {
        const KAVFeatTreeNode *node = browser->GetTreeNodeFromFullPath(path);
        if (node && node->GetFeatureObject())
            selection.insert(node->GetFeatureObject());
    }
    environment->SetSelection(selection);
    ReportResult(KAVAtmEnums::Pass, QString(), QString());
}
