#include "corviddocument.h"

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

#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
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
    const QJsonObject material = m_content.value("material").toObject();
    m_material = new KAVMatMaterial(QStringLiteral("Material"));
    m_material->SetMaterialType(material.value("type").toString(QStringLiteral("Steel")));
    m_material->SetThickness(material.value("thickness").toDouble(1.0));
    container->AddFeatureRoot(m_material);

    auto *sources = new KAVFeatObject(QStringLiteral("Sources"));
    for (const QJsonValue &value : m_content.value("parts").toArray()) {
        const QJsonObject part = value.toObject();
        auto *source = new KAVNestSource(part.value("name").toString(), sources);
        source->SetSourceKey(part.value("name").toString().toLower());
        source->SetFile(m_filePath);
        source->setProperty("partWidth", part.value("width").toDouble());
        source->setProperty("partHeight", part.value("height").toDouble());
        source->setProperty("partQuantity", part.value("quantity").toInt(1));
        source->SetUpToDate(false); // not translated yet
    }
    container->AddFeatureRoot(sources);

    m_nesting = new KAVNestFeature(QStringLiteral("Nesting"));
    m_nesting->SetMaterial(m_material);
    auto *packaging = new KAVNestPackaging(QStringLiteral("Packaging"), m_nesting);
    packaging->SetStrategy(QStringLiteral("shelf"));
    for (KAVFeatObject *source : sources->GetChildren()) {
        auto *item = new KAVNestItem(source->GetIdentifier(), m_nesting);
        item->SetShape(source);
        item->SetQuantity(source->property("partQuantity").toInt());
    }
    new KAVNestReport(QStringLiteral("Report"), m_nesting);
    m_nesting->SetUpToDate(false); // not nested yet
    container->AddFeatureRoot(m_nesting);
}

void CorvidDocument::Process()
{
    Run(KAVNestSourceProcessor::GetProcessor(m_environment), &CorvidDocument::Translate,
        &CorvidDocument::Nest);
}

void CorvidDocument::Nest()
{
    m_nesting->SetUpToDate(false);
    Run(KAVNestFeatureProcessor::GetProcessor(m_environment), &CorvidDocument::ComputeNesting,
        &CorvidDocument::Finish);
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
        for (KAVFeatObject *source : root->GetChildren()) {
            if (qobject_cast<KAVNestSource *>(source))
                source->setProperty("translated", true);
        }
    }
}

void CorvidDocument::ComputeNesting()
{
    for (KAVFeatObject *child : m_nesting->GetChildren()) {
        if (qobject_cast<KAVNestSheet *>(child))
            delete child;
    }
    const QJsonObject sheetSize = m_content.value("sheet").toObject();
    const double sheetWidth = sheetSize.value("width").toDouble(3000);
    const double sheetHeight = sheetSize.value("height").toDouble(1500);
    const double spacing = m_nesting->GetPartSpacing().ConvertTo(KAVSysValue::Millimeter);

    // Shelf packing: parts left to right in rows, a new sheet when a row no longer fits.
    int sheetIndex = 0;
    KAVNestSheet *sheet = nullptr;
    double x = 0, y = 0, rowHeight = 0, usedArea = 0;
    int placed = 0;
    for (KAVFeatObject *child : m_nesting->GetChildren()) {
        auto *item = qobject_cast<KAVNestItem *>(child);
        if (!item || !item->GetShape())
            continue;
        const double width = item->GetShape()->property("partWidth").toDouble();
        const double height = item->GetShape()->property("partHeight").toDouble();
        for (int n = 0; n < item->GetQuantity(); ++n) {
            if (sheet && x + width > sheetWidth) {
                x = 0;
                y += rowHeight + spacing;
                rowHeight = 0;
            }
            if (!sheet || y + height > sheetHeight) {
                sheet = new KAVNestSheet(QStringLiteral("Sheet %1").arg(++sheetIndex), m_nesting);
                sheet->SetWidth(KAVSysValue(sheetWidth, KAVSysValue::Millimeter));
                sheet->SetHeight(KAVSysValue(sheetHeight, KAVSysValue::Millimeter));
                x = y = rowHeight = 0;
            }
            auto *placedItem = new KAVNestSheetItem(
                QStringLiteral("%1 #%2").arg(item->GetIdentifier()).arg(n + 1), sheet);
            placedItem->SetShape(item->GetShape());
            placedItem->SetSheetIndex(sheetIndex);
            x += width + spacing;
            rowHeight = qMax(rowHeight, height);
            usedArea += width * height;
            ++placed;
        }
    }
    for (KAVFeatObject *child : m_nesting->GetChildren()) {
        if (auto *report = qobject_cast<KAVNestReport *>(child)) {
            report->SetSheetCount(sheetIndex);
            report->SetUtilization(sheetIndex ? usedArea / (sheetIndex * sheetWidth * sheetHeight)
                                              : 0.0);
            report->setProperty("placedParts", placed);
        }
    }
    // New sheets and items came from the run: the update brings the tree in line.
    m_nesting->SetUpToDate(false);
    Q_EMIT m_environment->GetContainer()->Changed();
}

void CorvidDocument::Finish()
{
    Q_EMIT ProcessingFinished();
}
