#ifndef KAVATMENUMS_H
#define KAVATMENUMS_H

#include "kavautomation_export.h"

#include <QtCore/QString>
#include <QtCore/QtGlobal>

// The enumerations exchanged between runner, clients and results. Their integer values
// travel in JSON and between processes: never renumber them.
class KAVAUTOMATION_EXPORT KAVAtmEnums {
public:
    enum Platform : qint32 {
        Unspecified = 0,
        Tessaron = 1,
        Corvid = 2,
        Other = 3,
    };

    enum PlatformMode : qint32 {
        Undefined = 0,
        Batch = 1,
        Recording = 2,
        UiBatch = 3,
        ExternalBatch = 4,
    };

    enum ExecutionStatus : qint32 {
        Pending = 0,
        Executing = 1,
        Cancelled = 2,
        Completed = 3,
    };

    enum ExecutionResult : qint32 {
        Unknown = 0,
        Pass = 1,
        Fail = 2,
        Warning = 3,
    };

    KAVAtmEnums() = default;
    KAVAtmEnums(const KAVAtmEnums &) = default;
    KAVAtmEnums(KAVAtmEnums &&) = default;
    KAVAtmEnums &operator=(const KAVAtmEnums &) = default;
    KAVAtmEnums &operator=(KAVAtmEnums &&) = default;

    static QString GetPlatformEnumText(const Platform &platform);
    // Case-insensitive, untrimmed; anything unrecognised is Other.
    static Platform GetPlatformFromText(const QString &text);
    static QString GetPlatformModeEnumText(const PlatformMode &mode);
    static QString GetExecutionStatusEnumText(const ExecutionStatus &status);
    static QString GetExecutionResultEnumText(const ExecutionResult &result);

private:
    friend class KAVAtmTestActionDef;

    // The lower-case forms under the key "platform" of an action.
    static QString GetPlatformJsonText(const Platform &platform);
    static Platform GetPlatformFromJsonText(const QString &text);
};

#endif // KAVATMENUMS_H
