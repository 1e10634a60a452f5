// An action result as a client reports it, or as a result file holds it.

#include "fuzzcommon.h"
#include "kavatmtestactionresult.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>

KAV_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QJsonValue value = document.isArray() ? QJsonValue(document.array())
                                                : QJsonValue(document.object());
    KAVAtmTestActionResult checked(nullptr, nullptr);
    checked.FromJson(value, true);
    KAVAtmTestActionResult result(nullptr, nullptr);
    result.FromJson(value, false);
    const QJsonObject written = result.ToJson();
    // Every time written reads back: nothing the library writes is lost on the way.
    KAVAtmTestActionResult again(nullptr, nullptr);
    again.FromJson(written, false);
    if (again.ToJson() != written)
        __builtin_trap();
    return 0;
}
