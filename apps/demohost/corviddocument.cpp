#include "corviddocument.h"
#include "corvidmodel.h"

#include "kavfeatcontainer.h"
#include "kavfeatenvironment.h"
#include "kavfeatupdatemanager.h"
#include "kavmatmaterial.h"
#include "kavnestfeature.h"
#include "kavnestfeatureprocessor.h"
#include "kavnestitem.h"
#include "kavnestpackaging.h"
#include "kavnestreport.h"
#include "kavnestsavemanager.h"
#include "kavnestsheet.h"
#include "kavnestsheetitem.h"
#include "kavnestsource.h"
#include "kavnestsourceprocessor.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDateTime>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QRandomGenerator>
#include <QtCore/QTimer>

namespace {
int s_stepInterval = 20;
constexpr int Steps = 5;
} // namespace

int CorvidDocument::GetStepInterval()
{
    return s_stepInterval;
}

void CorvidDocument::SetStepInterval(int milliseconds)
{
    s_stepInterval = milliseconds;
}

CorvidDocument *CorvidDocument::Open(const QString &filePath, QString *error, QObject *parent)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = tr("Cannot open the document %1: %2").arg(filePath, file.errorString());
        return nullptr;
    }
    QJsonParseError parseError;
    const QJsonDocument json = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !json.isObject()) {
        *error = tr("The document %1 is not a nesting document: %2")
                     .arg(filePath, parseError.errorString());
        return nullptr;
    }
    return new CorvidDocument(filePath, json.object(), parent);
}

CorvidDocument::CorvidDocument(const QString &filePath, const QJsonObject &content, QObject *parent)
    : QObject(parent), m_filePath(filePath), m_content(content)
{
    m_environment = new KAVFeatEnvironment(QFileInfo(filePath).completeBaseName(), this);
    new KAVNestSourceProcessor(m_environment);
    new KAVNestFeatureProcessor(m_environment);
    Build();
}

CorvidDocument::~CorvidDocument() = default;

QString CorvidDocument::GetFilePath() const
{
    return m_filePath;
}

KAVFeatEnvironment *CorvidDocument::GetEnvironment() const
{
    return m_environment;
}

void CorvidDocument::Build()
{
    KAVFeatContainer *container = m_environment->GetContainer();
    QJsonArray materials = m_content.value("materials").toArray();
    if (materials.isEmpty())
        materials.append(m_content.value("material").toObject());
    auto *materialRoot = new KAVFeatObject(QStringLiteral("Materials"));
    QList<KAVMatMaterial *> byIndex;
    for (const QJsonValue &value : std::as_const(materials)) {
        const QJsonObject material = value.toObject();
        auto *created = new KAVMatMaterial(QStringLiteral("Material %1").arg(byIndex.size() + 1),
                                           materialRoot);
        created->SetMaterialType(material.value("type").toString(QStringLiteral("Steel")));
        created->SetThickness(material.value("thickness").toDouble(1.0));
        byIndex.append(created);
    }
    container->AddFeatureRoot(materialRoot);

    // Sources come before nestings: the nestings refer to them.
    auto *sources = new KAVFeatObject(QStringLiteral("Sources"));
    for (const QJsonValue &value : m_content.value("parts").toArray()) {
        const QJsonObject part = value.toObject();
        auto *source = new CorvidPart(part.value("name").toString(), sources);
        source->SetSourceKey(part.value("name").toString().toLower());
        source->SetFile(QFileInfo(m_filePath).fileName());
        source->m_url = QFileInfo(m_filePath).absoluteFilePath();
        source->m_width = part.value("width").toDouble();
        source->m_height = part.value("height").toDouble();
        source->m_quantity = part.value("quantity").toInt(1);
        source->m_material = qBound(0, part.value("material").toInt(0), int(byIndex.size()) - 1);
        source->SetUpToDate(false); // not translated yet
    }
    container->AddFeatureRoot(sources);

    auto *nestings = new KAVFeatObject(QStringLiteral("Nestings"));
    for (int index = 0; index < byIndex.size(); ++index) {
        QList<CorvidPart *> parts;
        for (KAVFeatObject *child : sources->GetChildren()) {
            auto *part = static_cast<CorvidPart *>(child);
            if (part->m_material == index)
                parts.append(part);
        }
        if (parts.isEmpty())
            continue;
        auto *nesting = new KAVNestFeature(QStringLiteral("Nesting %1").arg(index + 1), nestings);
        nesting->SetMaterial(byIndex.at(index));
        auto *packaging = new KAVNestPackaging(QStringLiteral("Packaging"), nesting);
        packaging->SetStrategy(QStringLiteral("shelf"));
        for (CorvidPart *part : std::as_const(parts)) {
            auto *item = new KAVNestItem(part->GetIdentifier(), nesting);
            item->SetShape(part);
            item->SetQuantity(part->m_quantity);
        }
        new CorvidReport(QStringLiteral("Report"), nesting);
        nesting->SetUpToDate(false); // not nested yet
        m_nestings.append(nesting);
    }
    container->AddFeatureRoot(nestings);
}

void CorvidDocument::Process()
{
    Run(KAVNestSourceProcessor::GetProcessor(m_environment), &CorvidDocument::Translate,
        &CorvidDocument::Nest);
}

void CorvidDocument::Nest()
{
    for (KAVNestFeature *nesting : std::as_const(m_nestings))
        nesting->SetUpToDate(false);
    Run(KAVNestFeatureProcessor::GetProcessor(m_environment), &CorvidDocument::ComputeNesting,
        &CorvidDocument::Finish);
}

QSizeF CorvidDocument::GetSheetSize() const
{
    const QJsonObject sheet = m_content.value("sheet").toObject();
    return QSizeF(sheet.value("width").toDouble(3000), sheet.value("height").toDouble(1500));
}

void CorvidDocument::SetSheetSize(const QSizeF &size)
{
    m_content.insert("sheet", QJsonObject {{"width", size.width()}, {"height", size.height()}});
}

void CorvidDocument::ClearNesting()
{
    m_placements.clear();
    for (KAVNestFeature *nesting : std::as_const(m_nestings)) {
        for (KAVFeatObject *child : nesting->GetChildren()) {
            if (qobject_cast<KAVNestSheet *>(child))
                delete child;
            else if (auto *report = qobject_cast<CorvidReport *>(child))
                report->SetSheetCount(0);
        }
    }
    Q_EMIT m_environment->GetContainer()->Changed();
}

void CorvidDocument::Run(KAVNestProcessorBase *processor, void (CorvidDocument::*compute)(),
                         void (CorvidDocument::*next)())
{
    processor->ReportStatus(KAVNestProcessorBase::Running);
    for (int step = 1; step <= Steps; ++step) {
        QTimer::singleShot(step * s_stepInterval, processor,
                           [processor, step] { processor->ReportProgress(double(step) / Steps); });
    }
    QTimer::singleShot((Steps + 1) * s_stepInterval, processor, [this, processor, compute, next] {
        (this->*compute)();
        processor->ReportStatus(KAVNestProcessorBase::Idle);
        KAVNestSaveManager::GetManager()->FinishSave();
        KAVFeatUpdateManager::GetManager()->RunUpdate(m_environment);
        (this->*next)();
    });
}

void CorvidDocument::Translate()
{
    // Translation gives each source its outline; the demo keeps the sizes as they are.
    for (KAVFeatObject *root : m_environment->GetContainer()->GetFeatureRoots()) {
        for (KAVFeatObject *child : root->GetChildren()) {
            if (auto *part = qobject_cast<CorvidPart *>(child))
                part->m_translated = true;
        }
    }
}

void CorvidDocument::ComputeNesting()
{
    for (KAVNestFeature *nesting : std::as_const(m_nestings))
        ComputeNesting(nesting);
    // New sheets and items came from the run: the update brings the tree in line.
    Q_EMIT m_environment->GetContainer()->Changed();
}

void CorvidDocument::ComputeNesting(KAVNestFeature *nesting)
{
    for (KAVFeatObject *child : nesting->GetChildren()) {
        if (auto *sheet = qobject_cast<KAVNestSheet *>(child)) {
            for (KAVFeatObject *placed : sheet->GetChildren())
                m_placements.remove(qobject_cast<KAVNestSheetItem *>(placed));
            delete child;
        }
    }
    const QJsonObject sheetSize = m_content.value("sheet").toObject();
    const double sheetWidth = sheetSize.value("width").toDouble(3000);
    const double sheetHeight = sheetSize.value("height").toDouble(1500);
    const double spacing = nesting->GetPartSpacing().ConvertTo(KAVSysValue::Millimeter);
    static const QStringList colours {QStringLiteral("#c0392b"), QStringLiteral("#2980b9"),
                                      QStringLiteral("#27ae60"), QStringLiteral("#8e44ad")};

    // Shelf packing: parts left to right in rows, a new sheet when a row no longer fits. A
    // sheet item's sheet index is its position on its sheet, from 1.
    int sheetCount = 0;
    CorvidSheet *sheet = nullptr;
    int onSheet = 0;
    double x = 0, y = 0, rowHeight = 0, usedArea = 0;
    int placed = 0;
    for (KAVFeatObject *child : nesting->GetChildren()) {
        auto *item = qobject_cast<KAVNestItem *>(child);
        auto *part = item ? qobject_cast<CorvidPart *>(item->GetShape()) : nullptr;
        if (!part)
            continue;
        for (int n = 0; n < item->GetQuantity(); ++n) {
            if (sheet && x + part->m_width > sheetWidth) {
                x = 0;
                y += rowHeight + spacing;
                rowHeight = 0;
            }
            if (!sheet || y + part->m_height > sheetHeight) {
                sheet = new CorvidSheet(QStringLiteral("Sheet %1").arg(++sheetCount), nesting);
                sheet->SetWidth(KAVSysValue(sheetWidth, KAVSysValue::Millimeter));
                sheet->SetHeight(KAVSysValue(sheetHeight, KAVSysValue::Millimeter));
                sheet->m_nestingColor = colours.at(QRandomGenerator::global()->bounded(4));
                x = y = rowHeight = 0;
                onSheet = 0;
            }
            auto *placedItem = new KAVNestSheetItem(
                QStringLiteral("%1 #%2").arg(item->GetIdentifier(), QString::number(n + 1)), sheet);
            placedItem->SetShape(part);
            placedItem->SetSheetIndex(++onSheet);
            m_placements.insert(placedItem, QRectF(x, y, part->m_width, part->m_height));
            x += part->m_width + spacing;
            rowHeight = qMax(rowHeight, part->m_height);
            usedArea += part->m_width * part->m_height;
            sheet->m_usedArea += part->m_width * part->m_height;
            ++placed;
        }
    }
    for (KAVFeatObject *child : nesting->GetChildren()) {
        if (auto *report = qobject_cast<CorvidReport *>(child)) {
            report->SetSheetCount(sheetCount);
            report->SetUtilization(sheetCount ? usedArea / (sheetCount * sheetWidth * sheetHeight)
                                              : 0.0);
            report->m_placedParts = placed;
            report->m_time = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
            report->m_resultFile = QDir::temp().filePath(
                QStringLiteral("%1-%2.nest")
                    .arg(nesting->GetIdentifier(),
                         QString::number(QCoreApplication::applicationPid())));
        }
    }
    nesting->SetUpToDate(false);
}

QRectF CorvidDocument::GetPlacement(const KAVNestSheetItem *item) const
{
    return m_placements.value(item);
}

void CorvidDocument::Finish()
{
    Q_EMIT ProcessingFinished();
}
