// Every typed action definition reading an action object it did not write: defaults for what
// is missing or ill-typed, and a form that reads back as itself.

#include "fuzzcommon.h"
#include "kavatmtestactiondef.h"
#include "kavatmtestactiondeffactory.h"

#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>

#include <memory>

KAV_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QJsonObject json = document.object();
    KAVAtmTestActionDefFactory *factory = KAVAtmTestActionDefFactory::GetInstance();
    for (const QByteArray &type : factory->GetRegisteredActionNames()) {
        std::unique_ptr<KAVAtmTestActionDef> def(
            factory->CreateActionDef(type, KAVAtmEnums::Corvid));
        if (!def)
            __builtin_trap();
        def->FromJson(json);
        const QJsonObject written = def->ToJson();
        def->GetData();
        // Written, read back and written again, it is the same.
        std::unique_ptr<KAVAtmTestActionDef> again(
            factory->CreateActionDef(type, KAVAtmEnums::Corvid));
        again->FromJson(written);
        if (again->ToJson() != written)
            __builtin_trap();
    }
    return 0;
}
