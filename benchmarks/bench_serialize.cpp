// SerializeContainer on a generated model of N feature objects, beside QJsonDocument::toJson of
// the same document prebuilt (the floor no serialiser of that JSON can beat), and the
// DataAssert comparison of the largest document against itself as its baseline.
//
// Usage: bench_serialize [sizes..., default 10000 100000]

#include "kavatmautomationcasemanager.h"
#include "kavatmdataassertaction.h"
#include "kavatmdataassertactiondef.h"
#include "kavatmjsengine.h"
#include "kavfeatcontainer.h"
#include "kavfeatenvironment.h"
#include "kavfeatenvironmentmanager.h"
#include "kavmatmaterial.h"
#include "kavnestfeature.h"
#include "kavnestsheet.h"
#include "kavnestsheetitem.h"
#include "kavnestsource.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QJsonDocument>
#include <QtWidgets/QApplication>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

// Materials, sources, and nestings of sheets holding sheet items, about count objects in all.
std::unique_ptr<KAVFeatEnvironment> model(int count)
{
    auto environment = std::make_unique<KAVFeatEnvironment>(QStringLiteral("bench"));
    KAVFeatContainer *container = environment->GetContainer();
    auto *materials = new KAVFeatObject(QStringLiteral("Materials"));
    auto *material = new KAVMatMaterial(QStringLiteral("Steel"), materials);
    material->SetMaterialType(QStringLiteral("Steel"));
    material->SetThickness(2.0);
    container->AddFeatureRoot(materials);
    auto *sources = new KAVFeatObject(QStringLiteral("Sources"));
    QList<KAVNestSource *> parts;
    for (int i = 0; i < 100; ++i) {
        auto *source = new KAVNestSource(QStringLiteral("Part %1").arg(i), sources);
        source->SetSourceKey(QStringLiteral("part%1").arg(i, 3, 10, QLatin1Char('0')));
        parts.append(source);
    }
    container->AddFeatureRoot(sources);
    auto *nestings = new KAVFeatObject(QStringLiteral("Nestings"));
    auto *nesting = new KAVNestFeature(QStringLiteral("Nesting"), nestings);
    nesting->SetMaterial(material);
    const int perSheet = 50;
    const int sheets = std::max(1, count / (perSheet + 1));
    for (int s = 0; s < sheets; ++s) {
        auto *sheet = new KAVNestSheet(QStringLiteral("Sheet %1").arg(s + 1), nesting);
        for (int i = 0; i < perSheet; ++i) {
            auto *item = new KAVNestSheetItem(QStringLiteral("Item %1").arg(i), sheet);
            item->SetShape(parts.at((s + i) % parts.size()));
            item->SetSheetIndex(i + 1);
        }
    }
    container->AddFeatureRoot(nestings);
    return environment;
}

int objects(const KAVFeatObject *object)
{
    int n = 1;
    for (const KAVFeatObject *child : object->GetChildren())
        n += objects(child);
    return n;
}

template<typename F> double milliseconds(F &&work, int rounds = 3)
{
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.append(QByteArray(argv[i]).toInt());
    if (sizes.isEmpty())
        sizes = {10000, 100000};

    KAVAtmDataAssertActionDef def;
    def.FromJson(QJsonObject());
    const QString config = def.GetConfigJsonString();
    QByteArray largest;
    std::printf("%10s %16s %16s %8s\n", "objects", "serialize ms", "toJson floor ms", "ratio");
    for (int size : sizes) {
        std::unique_ptr<KAVFeatEnvironment> environment = model(size);
        KAVFeatEnvironmentManager::GetManager()->SetCurrentEnvironment(environment.get());
        int count = 0;
        for (const KAVFeatObject *root : environment->GetContainer()->GetFeatureRoots())
            count += objects(root);
        QByteArray text;
        const double serialize
            = milliseconds([&] { text = KAVAtmDataAssertAction::SerializeContainer(config); });
        const QJsonDocument prebuilt = QJsonDocument::fromJson(text);
        QByteArray floorText;
        const double floor
            = milliseconds([&] { floorText = prebuilt.toJson(QJsonDocument::Indented); });
        std::printf("%10d %16.1f %16.1f %8.2f\n", count, serialize, floor, serialize / floor);
        if (floorText != text)
            std::printf("           (the two texts differ: %lld and %lld bytes)\n",
                        qlonglong(text.size()), qlonglong(floorText.size()));
        largest = text;
        KAVFeatEnvironmentManager::GetManager()->SetCurrentEnvironment(nullptr);
    }

    // The comparison a DataAssert makes, of the largest document against itself.
    KAVAtmAutomationCaseManager::GetManager();
    KAVAtmJsEngine *engine = KAVAtmJsEngine::GetInstance();
    engine->SetGlobalProperty(QStringLiteral("benchText"), QString::fromUtf8(largest));
    const double same = milliseconds(
        [&] { engine->Evaluate(QStringLiteral("kavAssert.areEqualJson(benchText, benchText)")); },
        1);
    // The same document written another way (compact): parsed and compared value by value.
    engine->SetGlobalProperty(
        QStringLiteral("benchCompact"),
        QString::fromUtf8(QJsonDocument::fromJson(largest).toJson(QJsonDocument::Compact)));
    const double compare = milliseconds(
        [&] {
            engine->Evaluate(QStringLiteral("kavAssert.areEqualJson(benchText, benchCompact)"));
        },
        1);
    const double parse = milliseconds(
        [&] { engine->Evaluate(QStringLiteral("JSON.parse(benchText), JSON.parse(benchText)")); },
        1);
    std::printf("DataAssert comparison of the %lld-byte document: %.1f ms value by value (of "
                "which parsing the two texts %.1f ms); %.1f ms against the same text\n",
                qlonglong(largest.size()), compare, parse, same);
    return 0;
}
