#include "kavatmtestactiondeffactory.h"
#include "kavatmclosefileactiondef.h"
#include "kavatmexecutescriptactiondef.h"
#include "kavatmlaunchcommandactiondef.h"
#include "kavatmmodelutils_p.h"
#include "kavatmopenfileactiondef.h"
#include "kavatmscreenshotassertactiondef.h"
#include "kavatmsetautomationdataactiondef.h"
#include "kavatmsetselectionactiondef.h"
#include "kavatmswitchenvironmentactiondef.h"
#include "kavatmtimewaitactiondef.h"
#include "kavatmwaitnestingactiondef.h"
#include "kavatmwaittranslationactiondef.h"
#include "kavatmwaitupdateactiondef.h"

#include <QtCore/QHash>

class KAVAtmTestActionDefFactoryPrivate {
public:
    QHash<QByteArray, QMetaObject> registry;
};

KAVAtmTestActionDefFactory::KAVAtmTestActionDefFactory() : d(new KAVAtmTestActionDefFactoryPrivate)
{
    const QMetaObject *classes[] = {
        &KAVAtmCloseFileActionDef::staticMetaObject,
        &KAVAtmExecuteScriptActionDef::staticMetaObject,
        &KAVAtmLaunchCommandActionDef::staticMetaObject,
        &KAVAtmOpenFileActionDef::staticMetaObject,
        &KAVAtmScreenshotAssertActionDef::staticMetaObject,
        &KAVAtmSetAutomationDataActionDef::staticMetaObject,
        &KAVAtmSetSelectionActionDef::staticMetaObject,
        &KAVAtmSwitchEnvironmentActionDef::staticMetaObject,
        &KAVAtmTimeWaitActionDef::staticMetaObject,
        &KAVAtmWaitNestingActionDef::staticMetaObject,
        &KAVAtmWaitTranslationActionDef::staticMetaObject,
        &KAVAtmWaitUpdateActionDef::staticMetaObject,
    };
    for (const QMetaObject *meta : classes)
        RegisterActionWithType(KAVAtmModelUtils::ActionTypeOf(*meta), *meta);
}

KAVAtmTestActionDefFactory::~KAVAtmTestActionDefFactory() = default;

KAVAtmTestActionDefFactory *KAVAtmTestActionDefFactory::GetInstance()
{
    static KAVAtmTestActionDefFactory s_factory;
    return &s_factory;
}

void KAVAtmTestActionDefFactory::RegisterActionWithType(const QByteArray &name,
                                                        const QMetaObject &metaObject)
{
    d->registry.insert(name, metaObject);
}

KAVAtmTestActionDef *
KAVAtmTestActionDefFactory::CreateActionDef(const QByteArray &name,
                                            KAVAtmEnums::Platform platform) const
{
    const auto it = d->registry.constFind(name);
    if (it == d->registry.constEnd())
        return nullptr;
    QObject *object = it->newInstance();
    auto *definition = qobject_cast<KAVAtmTestActionDef *>(object);
    if (!definition) {
        delete object;
        return nullptr;
    }
    if (platform != KAVAtmEnums::Unspecified)
        definition->SetPlatform(platform);
    return definition;
}

QList<QByteArray> KAVAtmTestActionDefFactory::GetRegisteredActionNames() const
{
    return d->registry.keys();
}
