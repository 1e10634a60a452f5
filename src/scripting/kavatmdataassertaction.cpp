#include "kavatmdataassertaction.h"
#include "kavatmexecutorregistry_p.h"
#include "kavatmjsoncomparison_p.h"
#include "kavatmserializer_p.h"
#include "kavatmtestactionbase_p.h"

KAVATM_REGISTER_EXECUTOR(KAVAtmDataAssertAction)

class KAVAtmDataAssertActionPrivate : public KAVAtmExecutorPrivate<KAVAtmDataAssertActionDef> { };

KAVAtmDataAssertAction::KAVAtmDataAssertAction(KAVAtmPlatform &platform, const QUuid &id,
                                               const QJsonValue &data)
    : KAVAtmTestActionBase(*new KAVAtmDataAssertActionPrivate, platform, id, data)
{
}

KAVAtmDataAssertAction::~KAVAtmDataAssertAction() = default;

QByteArray KAVAtmDataAssertAction::GetActionName()
{
    return KAVAtmDataAssertActionDef::GetActionName();
}

QByteArray KAVAtmDataAssertAction::SerializeContainer(const QString &configJsonString)
{
    return KAVAtmSerializer::SerializeContainer(configJsonString);
}

void KAVAtmDataAssertAction::Execute()
{
    Q_D(KAVAtmDataAssertAction);
    KAVAtmTestActionBase::Execute();
    if (!d->def.GetBaselineError().isEmpty()) {
        ReportResult(KAVAtmEnums::Fail, d->def.GetBaselineError(), QString());
        return;
    }
    // From the serialiser's text to the comparison in C++: no script runs and no text is
    // converted on the way.
    QByteArray actual;
    QString message;
    const QString baseline = d->def.GetBaselineJsonString();
    try {
        actual = KAVAtmSerializer::SerializeContainer(d->def.GetConfigJsonString());
        if (!baseline.isEmpty())
            message = KAVAtmJsonComparison::Compare(baseline.toUtf8(), actual);
    } catch (const std::exception &exception) {
        ReportResult(KAVAtmEnums::Fail,
                     tr("The data assertion gave no result: %1")
                         .arg(QString::fromLocal8Bit(exception.what())),
                     QString());
        return;
    }
    if (!message.isEmpty()) {
        ReportResult(KAVAtmEnums::Fail, message, QString::fromUtf8(actual));
        return;
    }
    if (!baseline.isEmpty()) {
        ReportResult(KAVAtmEnums::Pass, QString(), QString());
        return;
    }
    // Nothing serialised and nothing to compare with: nothing was asserted, and no baseline
    // will come of it.
    if (actual.isEmpty()) {
        ReportResult(KAVAtmEnums::Warning,
                     tr("There is no current document: nothing was asserted."), QString());
        return;
    }
    // Nothing to compare with: a first run captures the baseline.
    ReportResult(KAVAtmEnums::Pass, QString(), QString::fromUtf8(actual));
}
