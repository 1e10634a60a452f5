// The JSON comparison behind DataAssert: two texts (split at the first NUL byte, else halved),
// any bytes at all.

#include "fuzzcommon.h"
#include "kavatmjsoncomparison_p.h"

KAV_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input
        = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    qsizetype split = input.indexOf('\0');
    const bool marked = split >= 0;
    if (!marked)
        split = input.size() / 2;
    const QByteArray expected = input.left(split);
    const QByteArray actual = input.mid(split + (marked ? 1 : 0));
    KAVAtmJsonComparison::Compare(expected, actual);
    KAVAtmJsonComparison::Compare(actual, expected);
    // A text is equal to itself, or is no JSON: it never differs from itself.
    const QString same = KAVAtmJsonComparison::Compare(expected, QByteArray(expected));
    if (!same.isEmpty() && !same.startsWith(QLatin1String("The expected JSON text ")))
        __builtin_trap();
    return 0;
}
