#include "kavmatmaterial.h"
#include "kavnestbasefeature.h"
#include "kavnestfeature.h"
#include "kavnestitem.h"
#include "kavnestpackaging.h"
#include "kavnestreport.h"
#include "kavnestsheet.h"
#include "kavnestsheetitem.h"
#include "kavnestsource.h"

KAVMatMaterial::KAVMatMaterial(const QString &identifier, QObject *parent)
    : KAVFeatObject(identifier, parent)
{
}

KAVMatMaterial::~KAVMatMaterial() = default;

QString KAVMatMaterial::GetMaterialType() const
{
    return m_type;
}

void KAVMatMaterial::SetMaterialType(const QString &type)
{
    m_type = type;
}

double KAVMatMaterial::GetThickness() const
{
    return m_thickness;
}

void KAVMatMaterial::SetThickness(double thickness)
{
    m_thickness = thickness;
}

KAVNestBaseFeature::KAVNestBaseFeature(const QString &identifier, QObject *parent)
    : KAVFeatObject(identifier, parent)
{
}

KAVNestBaseFeature::~KAVNestBaseFeature() = default;

KAVMatMaterial *KAVNestBaseFeature::GetMaterial() const
{
    return m_material;
}

void KAVNestBaseFeature::SetMaterial(KAVMatMaterial *material)
{
    m_material = material;
}

KAVNestFeature::KAVNestFeature(const QString &identifier, QObject *parent)
    : KAVNestBaseFeature(identifier, parent)
{
}

KAVNestFeature::~KAVNestFeature() = default;

KAVSysValue KAVNestFeature::GetPartSpacing() const
{
    return m_partSpacing;
}

void KAVNestFeature::SetPartSpacing(const KAVSysValue &spacing)
{
    m_partSpacing = spacing;
}

KAVNestPackaging::KAVNestPackaging(const QString &identifier, QObject *parent)
    : KAVFeatObject(identifier, parent)
{
}

KAVNestPackaging::~KAVNestPackaging() = default;

QString KAVNestPackaging::GetStrategy() const
{
    return m_strategy;
}

void KAVNestPackaging::SetStrategy(const QString &strategy)
{
    m_strategy = strategy;
}

KAVNestItem::KAVNestItem(const QString &identifier, QObject *parent)
    : KAVFeatObject(identifier, parent)
{
}

KAVNestItem::~KAVNestItem() = default;

KAVFeatObject *KAVNestItem::GetShape() const
{
    return m_shape;
}

void KAVNestItem::SetShape(KAVFeatObject *shape)
{
    m_shape = shape;
}

int KAVNestItem::GetQuantity() const
{
    return m_quantity;
}

void KAVNestItem::SetQuantity(int quantity)
{
    m_quantity = quantity;
}

KAVNestItem::Orientations KAVNestItem::GetOrientations() const
{
    return m_orientations;
}

void KAVNestItem::SetOrientations(Orientations orientations)
{
    m_orientations = orientations;
}

KAVNestReport::KAVNestReport(const QString &identifier, QObject *parent)
    : KAVFeatObject(identifier, parent)
{
}

KAVNestReport::~KAVNestReport() = default;

int KAVNestReport::GetSheetCount() const
{
    return m_sheetCount;
}

void KAVNestReport::SetSheetCount(int count)
{
    m_sheetCount = count;
}

double KAVNestReport::GetUtilization() const
{
    return m_utilization;
}

void KAVNestReport::SetUtilization(double utilization)
{
    m_utilization = utilization;
}

KAVSysValue::Unit KAVNestReport::GetLengthUnit() const
{
    return m_lengthUnit;
}

void KAVNestReport::SetLengthUnit(KAVSysValue::Unit unit)
{
    m_lengthUnit = unit;
}

KAVNestSheet::KAVNestSheet(const QString &identifier, QObject *parent)
    : KAVFeatObject(identifier, parent)
{
}

KAVNestSheet::~KAVNestSheet() = default;

KAVSysValue KAVNestSheet::GetWidth() const
{
    return m_width;
}

void KAVNestSheet::SetWidth(const KAVSysValue &width)
{
    m_width = width;
}

KAVSysValue KAVNestSheet::GetHeight() const
{
    return m_height;
}

void KAVNestSheet::SetHeight(const KAVSysValue &height)
{
    m_height = height;
}

KAVNestSheetItem::KAVNestSheetItem(const QString &identifier, QObject *parent)
    : KAVFeatObject(identifier, parent)
{
}

KAVNestSheetItem::~KAVNestSheetItem() = default;

KAVFeatObject *KAVNestSheetItem::GetShape() const
{
    return m_shape;
}

void KAVNestSheetItem::SetShape(KAVFeatObject *shape)
{
    m_shape = shape;
}

int KAVNestSheetItem::GetSheetIndex() const
{
    return m_sheetIndex;
}

void KAVNestSheetItem::SetSheetIndex(int index)
{
    m_sheetIndex = index;
}

KAVSysValue KAVNestSheetItem::GetRotation() const
{
    return m_rotation;
}

void KAVNestSheetItem::SetRotation(const KAVSysValue &rotation)
{
    m_rotation = rotation;
}

KAVNestSource::KAVNestSource(const QString &identifier, QObject *parent)
    : KAVFeatObject(identifier, parent)
{
}

KAVNestSource::~KAVNestSource() = default;

QString KAVNestSource::GetSourceKey() const
{
    return m_sourceKey;
}

void KAVNestSource::SetSourceKey(const QString &key)
{
    m_sourceKey = key;
}

QString KAVNestSource::GetFile() const
{
    return m_file;
}

void KAVNestSource::SetFile(const QString &file)
{
    m_file = file;
}
