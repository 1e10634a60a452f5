#include "kavatmenums.h"

QString KAVAtmEnums::GetPlatformEnumText(const Platform &platform)
{
    switch (platform) {
    case Unspecified:
        return QStringLiteral("Unspecified");
    case Tessaron:
        return QStringLiteral("Tessaron");
    case Corvid:
        return QStringLiteral("Corvid");
    default:
        return QStringLiteral("Other");
    }
}

KAVAtmEnums::Platform KAVAtmEnums::GetPlatformFromText(const QString &text)
{
    if (text.compare(QLatin1String("Tessaron"), Qt::CaseInsensitive) == 0)
        return Tessaron;
    if (text.compare(QLatin1String("Corvid"), Qt::CaseInsensitive) == 0)
        return Corvid;
    if (text.compare(QLatin1String("Unspecified"), Qt::CaseInsensitive) == 0)
        return Unspecified;
    return Other;
}

QString KAVAtmEnums::GetPlatformModeEnumText(const PlatformMode &mode)
{
    switch (mode) {
    case Batch:
        return QStringLiteral("Batch");
    case Recording:
        return QStringLiteral("Recording");
    case UiBatch:
        return QStringLiteral("UiBatch");
    case ExternalBatch:
        return QStringLiteral("ExternalBatch");
    default:
        return QStringLiteral("Undefined");
    }
}

QString KAVAtmEnums::GetExecutionStatusEnumText(const ExecutionStatus &status)
{
    switch (status) {
    case Pending:
        return QStringLiteral("Pending");
    case Executing:
        return QStringLiteral("Executing");
    case Cancelled:
        return QStringLiteral("Cancelled");
    case Completed:
        return QStringLiteral("Completed");
    default:
        return QStringLiteral("Unknown");
    }
}

QString KAVAtmEnums::GetExecutionResultEnumText(const ExecutionResult &result)
{
    switch (result) {
    case Pass:
        return QStringLiteral("Pass");
    case Fail:
        return QStringLiteral("Fail");
    case Warning:
        return QStringLiteral("Warning");
    default:
        return QStringLiteral("Unknown");
    }
}

QString KAVAtmEnums::GetPlatformJsonText(const Platform &platform)
{
    switch (platform) {
    case Unspecified:
        return QStringLiteral("unspecified");
    case Tessaron:
        return QStringLiteral("tessaron");
    case Corvid:
        return QStringLiteral("corvid");
    default:
        return QStringLiteral("other");
    }
}

KAVAtmEnums::Platform KAVAtmEnums::GetPlatformFromJsonText(const QString &text)
{
    const QString lower = text.toLower();
    if (lower == QLatin1String("tessaron"))
        return Tessaron;
    if (lower == QLatin1String("corvid"))
        return Corvid;
    if (lower == QLatin1String("other"))
        return Other;
    if (lower == QLatin1String("unspecified"))
        return Unspecified;
    return Other;
}
