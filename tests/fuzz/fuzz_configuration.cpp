// The runner's client configuration file.

#include "fuzzcommon.h"
#include "kavatmclientdefinition.h"
#include "kavatmorchestratorconfiguration.h"

#include <QtCore/QFile>
#include <QtCore/QJsonDocument>

KAV_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzzFolder() + QStringLiteral("/KAVAutomationOrchestrator.json");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();

    const KAVAtmOrchestratorConfiguration configuration(path);
    for (const KAVAtmClientDefinition &client : configuration.GetClients()) {
        client.GetExecutable();
        client.GetWorkingDir();
        client.GetArguments();
        client.GetEnvironmentVariables();
    }
    // Saved and read back, the same clients in the same order.
    const QString copy = fuzzFolder() + QStringLiteral("/copy.json");
    if (!configuration.SaveToJsonFile(copy))
        return 0;
    const QList<KAVAtmClientDefinition> before = configuration.GetClients();
    const QList<KAVAtmClientDefinition> after = KAVAtmOrchestratorConfiguration(copy).GetClients();
    if (before.size() != after.size())
        __builtin_trap();
    for (qsizetype i = 0; i < before.size(); ++i) {
        if (before[i].GetDisplayName() != after[i].GetDisplayName()
            || before[i].GetArguments() != after[i].GetArguments()
            || before[i].GetEnvironmentVariables() != after[i].GetEnvironmentVariables())
            __builtin_trap();
    }
    return 0;
}
