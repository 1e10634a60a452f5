// SerializeContainer on a generated model of N feature objects, beside QJsonDocument::toJson of
// the same document prebuilt (the floor no serialiser of that JSON can beat), and the
// comparison a DataAssert makes (kavAssert.areEqualJson) of the largest document with its
// baseline written another way: equal, and with one value different at the end, beside the
// floor of parsing both texts with the parser the comparison uses, and the comparison's peak
// memory above what the process held before.
//
// Usage: bench_serialize [sizes..., default 10000 100000]

#include "kavatmautomationcasemanager.h"
#include "kavatmdataassertaction.h"
#include "kavatmdataassertactiondef.h"
#include "kavatmjsengine.h"
#include "kavatmjsoncomparison_p.h"
#include "kavfeatcontainer.h"
#include "kavfeatenvironment.h"
#include "kavfeatenvironmentmanager.h"
#include "kavmatmaterial.h"
#include "kavnestfeature.h"
#include "kavnestsheet.h"
#include "kavnestsheetitem.h"
#include "kavnestsource.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtWidgets/QApplication>

#include <simdjson.h>

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

// The same value with its last number (members from the end, depth first) one larger.
QJsonValue lastNumberChanged(const QJsonValue &value, bool *changed)
{
    if (value.isDouble()) {
        *changed = true;
        return value.toDouble() + 1;
    }
    if (value.isArray()) {
        QJsonArray array = value.toArray();
        for (qsizetype i = array.size() - 1; i >= 0 && !*changed; --i)
            array[i] = lastNumberChanged(array.at(i), changed);
        return array;
    }
    if (value.isObject()) {
        QJsonObject object = value.toObject();
        const QStringList keys = object.keys();
        for (qsizetype i = keys.size() - 1; i >= 0 && !*changed; --i)
            object.insert(keys.at(i), lastNumberChanged(object.value(keys.at(i)), changed));
        return object;
    }
    return value;
}

// Peak resident memory (VmHWM) in MiB; reset clears the peak to what is resident now.
double peakMiB(bool reset = false)
{
    if (reset) {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
    }
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return -1;
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

    // The comparison a DataAssert makes, of the largest document with its baseline written
    // another way (compact), so that the texts differ and every value is compared.
    KAVAtmAutomationCaseManager::GetManager();
    KAVAtmJsEngine *engine = KAVAtmJsEngine::GetInstance();
    const QJsonDocument parsed = QJsonDocument::fromJson(largest);
    const QByteArray compact = parsed.toJson(QJsonDocument::Compact);
    bool found = false;
    const QByteArray changed = QJsonDocument(lastNumberChanged(parsed.object(), &found).toObject())
                                   .toJson(QJsonDocument::Compact);
    engine->SetGlobalProperty(QStringLiteral("benchText"), QString::fromUtf8(largest));
    engine->SetGlobalProperty(QStringLiteral("benchCompact"), QString::fromUtf8(compact));
    engine->SetGlobalProperty(QStringLiteral("benchChanged"), QString::fromUtf8(changed));
    const auto compare = [&](const char *other) {
        return engine->Evaluate(
            QStringLiteral("(function () { try { kavAssert.areEqualJson(benchText, %1); return '';"
                           " } catch (error) { return error.message; } })()")
                .arg(QLatin1String(other)));
    };
    // As DataAssert compares: the serialiser's text with the baseline's, which arrives as a
    // string in the action's data.
    const QString compactBaseline = QString::fromUtf8(compact);
    const QString changedBaseline = QString::fromUtf8(changed);
    double before = peakMiB(true);
    QString outcome;
    const double equal = milliseconds(
        [&] { outcome = KAVAtmJsonComparison::Compare(compactBaseline.toUtf8(), largest); });
    const double peak = peakMiB() - before;
    if (!outcome.isEmpty())
        std::printf("(the equal documents compared unequal: %s)\n", qPrintable(outcome));
    const double different = milliseconds(
        [&] { outcome = KAVAtmJsonComparison::Compare(changedBaseline.toUtf8(), largest); });
    std::printf("one value different: %s\n", qPrintable(outcome.left(300)));
    // As a script compares (kavAssert.areEqualJson): the texts are script strings first.
    before = peakMiB(true);
    const double scriptEqual = milliseconds([&] { outcome = compare("benchCompact").toString(); });
    const double scriptPeak = peakMiB() - before;
    const double scriptDifferent
        = milliseconds([&] { outcome = compare("benchChanged").toString(); });
    // What no comparison of the two texts can beat: parsing both with the same parser.
    const simdjson::padded_string expectedText(largest.constData(), size_t(largest.size()));
    const simdjson::padded_string actualText(changed.constData(), size_t(changed.size()));
    // Fresh parsers, as one comparison has: their memory is part of the work.
    const double parse = milliseconds([&] {
        simdjson::dom::parser expectedParser;
        simdjson::dom::parser actualParser;
        simdjson::dom::element e;
        simdjson::dom::element a;
        if (expectedParser.parse(expectedText).get(e) || actualParser.parse(actualText).get(a))
            std::printf("(the texts did not parse)\n");
    });
    // Parsers that have read a document of the size before: the parse alone.
    simdjson::dom::parser warmExpected;
    simdjson::dom::parser warmActual;
    const double warmParse = milliseconds([&] {
        simdjson::dom::element e;
        simdjson::dom::element a;
        if (warmExpected.parse(expectedText).get(e) || warmActual.parse(actualText).get(a))
            std::printf("(the texts did not parse)\n");
    });
    const double texts = double(largest.size() + changed.size());
    std::printf("comparison of the %lld-byte document with its %lld-byte baseline (one value "
                "different at the end / equal):\n"
                "  DataAssert (C++, from the texts) %.1f / %.1f ms, peak memory %.1f MiB "
                "(%.2f x the two texts)\n"
                "  kavAssert.areEqualJson (script strings) %.1f / %.1f ms, peak memory %.1f MiB\n"
                "  parse floor of both texts (simdjson, fresh parsers) %.1f ms: DataAssert at "
                "%.2f x the floor (%.1f ms with parsers used before)\n",
                qlonglong(largest.size()), qlonglong(changed.size()), different, equal, peak,
                peak * 1024 * 1024 / texts, scriptDifferent, scriptEqual, scriptPeak, parse,
                different / parse, warmParse);
    return 0;
}
