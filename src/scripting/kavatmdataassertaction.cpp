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
        // Nothing serialised: there is no document, and nothing to compare or capture.
        if (actual.isEmpty()) {
            ReportResult(KAVAtmEnums::Fail, tr("There is no current document to assert."),
                         QString());
            return;
        }
        if (!baseline.isEmpty()) {
            KAVAtmJsonComparison::Options options;
            options.expectedName = tr("The baseline file %1").arg(d->def.GetBaselinePath());
            options.actualName = tr("The current document's data");
            options.strict = d->def.IsStrict();
            // A {} baseline would pass against any document.
            options.refuseEmptyExpected = true;
            message = KAVAtmJsonComparison::Compare(KAVAtmJsonComparison::Utf8Text(baseline),
                                                    actual, options);
        }
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
    // Nothing to compare with: a first run captures the baseline.
    ReportResult(KAVAtmEnums::Pass, QString(), QString::fromUtf8(actual));
}
