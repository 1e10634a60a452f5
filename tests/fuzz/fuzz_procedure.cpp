// A procedure file, as a user (or anything else) may have written it: loaded, saved, read back,
// and turned into a result.

#include "fuzzcommon.h"
#include "kavatmtestactiondef.h"
#include "kavatmtestproceduredef.h"
#include "kavatmtestprocedureresult.h"

#include <QtCore/QFile>

#include <memory>

KAV_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzzFolder() + QStringLiteral("/procedure.json");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();

    std::unique_ptr<KAVAtmTestProcedureDef> procedure(KAVAtmTestProcedureDef::FromJsonFile(path));
    if (!procedure->GetInvalidReason().isEmpty())
        return 0;
    for (const KAVAtmTestActionDef *action : procedure->GetActions()) {
        action->GetType();
        action->GetData();
        action->GetTimeout();
    }
    std::unique_ptr<KAVAtmTestProcedureResult> result(procedure->CreateResult());
    result->ToJson();

    // What is written reads back as the same actions.
    const QString copy = fuzzFolder() + QStringLiteral("/copy.json");
    if (!procedure->SaveToJsonFile(copy))
        return 0;
    std::unique_ptr<KAVAtmTestProcedureDef> again(KAVAtmTestProcedureDef::FromJsonFile(copy));
    if (!again->GetInvalidReason().isEmpty()
        || again->GetActionsCount() != procedure->GetActionsCount())
        __builtin_trap();
    for (int i = 0; i < again->GetActionsCount(); ++i) {
        if (again->GetAction(i)->GetOriginalData() != procedure->GetAction(i)->GetOriginalData())
            __builtin_trap();
    }
    return 0;
}
