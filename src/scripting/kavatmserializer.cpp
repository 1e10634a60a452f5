#include "kavatmserializer_p.h"

#include "kavfeatcontainer.h"
#include "kavfeatenvironment.h"
#include "kavfeatenvironmentmanager.h"
#include "kavfeatobject.h"
#include "kavmatmaterial.h"
#include "kavnestfeature.h"
#include "kavnestitem.h"
#include "kavnestpackaging.h"
#include "kavnestreport.h"
#include "kavnestsheet.h"
#include "kavnestsheetitem.h"
#include "kavnestsource.h"
#include "kavsysvalue.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QHash>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QMetaProperty>
#include <QtCore/QSet>

#include <algorithm>

namespace {

// Object to key, as long as the object lives: a new object at a freed address must not inherit
// a key and be written as a reference to an object that is gone.
class KeyTable : public QObject {
public:
    QString Get(const QObject *object) const { return m_keys.value(object); }
    bool Has(const QObject *object) const { return m_keys.contains(object); }
    void Set(const QObject *object, const QString &key)
    {
        if (!m_keys.contains(object)) {
            connect(object, &QObject::destroyed, this, [this, object] { m_keys.remove(object); });
        }
        m_keys.insert(object, key);
    }

private:
    QHash<const QObject *, QString> m_keys;
};

KeyTable &keys()
{
    // Goes with the application object, like the objects it refers to.
    static KeyTable *table = [] {
        auto *created = new KeyTable;
        created->setParent(QCoreApplication::instance());
        return created;
    }();
    return *table;
}

QString identifier(const QObject *object)
{
    if (const auto *feature = qobject_cast<const KAVFeatObject *>(object))
        return feature->GetIdentifier();
    return object ? object->objectName() : QString();
}

QString keyOf(const QObject *object)
{
    if (const auto *material = qobject_cast<const KAVMatMaterial *>(object))
        return material->GetMaterialType() + QString::number(material->GetThickness(), 'g', 6);
    if (const auto *source = qobject_cast<const KAVNestSource *>(object))
        return source->GetSourceKey();
    if (qobject_cast<const KAVNestPackaging *>(object))
        return QStringLiteral("1_NestPackaging_%1").arg(identifier(object));
    if (const auto *item = qobject_cast<const KAVNestItem *>(object))
        return QStringLiteral("2_NestItem_") + keys().Get(item->GetShape());
    if (qobject_cast<const KAVNestReport *>(object))
        return QStringLiteral("3_NestReport");
    if (const auto *sheet = qobject_cast<const KAVNestSheet *>(object)) {
        int items = 0;
        QString first;
        bool found = false;
        for (const QObject *child : sheet->children()) {
            const auto *sheetItem = qobject_cast<const KAVNestSheetItem *>(child);
            if (!sheetItem)
                continue;
            ++items;
            if (!found && sheetItem->GetSheetIndex() == 1) {
                found = true;
                first = keys().Get(sheetItem->GetShape());
            }
        }
        return QStringLiteral("4_NestSheet_") + QString::number(100000 - items) + QLatin1Char('_')
            + first;
    }
    if (const auto *sheetItem = qobject_cast<const KAVNestSheetItem *>(object)) {
        // Concatenated: a shape name holding "%1" must stay as it is.
        return QStringLiteral("NestSheetItem_") + keys().Get(sheetItem->GetShape())
            + QLatin1Char('_')
            + QStringLiteral("%1").arg(sheetItem->GetSheetIndex(), 5, 10, QLatin1Char('0'));
    }
    if (const auto *feature = qobject_cast<const KAVNestFeature *>(object))
        return QStringLiteral("NestFeature_") + keys().Get(feature->GetMaterial());
    return identifier(object);
}

class Serializer {
public:
    explicit Serializer(const QString &configJson)
    {
        const QJsonObject config = QJsonDocument::fromJson(configJson.toUtf8()).object();
        for (const QJsonValue &name : config.value(QLatin1String("ignoreProps")).toArray())
            m_ignored.insert(name.toString());
        for (const QJsonValue &entry : config.value(QLatin1String("ignoreClassProps")).toArray()) {
            const QJsonObject byClass = entry.toObject();
            QSet<QString> &names
                = m_ignoredByClass[byClass.value(QLatin1String("className")).toString()];
            for (const QJsonValue &name : byClass.value(QLatin1String("ignoreProps")).toArray())
                names.insert(name.toString());
        }
    }

    QJsonObject Object(const QObject *object)
    {
        QJsonObject json;
        if (!object)
            return json;
        const ClassPlan &plan = Plan(object->metaObject());
        m_open.insert(object);
        for (const PropertyPlan &property : plan.properties) {
            if (property.kind == PropertyPlan::ClassName) {
                json.insert(property.name, plan.className);
                continue;
            }
            QVariant value = property.property.read(object);
            if (property.kind == PropertyPlan::Flags)
                value = value.toInt();
            else if (property.kind == PropertyPlan::Unit)
                value = KAVSysValue::GetUnitString(value.value<KAVSysValue::Unit>());
            json.insert(property.name, Value(value));
        }
        m_open.remove(object);
        return json;
    }

private:
    // What is written of each class, worked out once per class: the properties not ignored, in
    // index order, and how each value is normalised.
    struct PropertyPlan {
        enum Kind { Plain, Flags, Unit, ClassName };
        QMetaProperty property;
        QString name;
        Kind kind = Plain;
    };
    struct ClassPlan {
        QString className;
        QList<PropertyPlan> properties;
    };

    const ClassPlan &Plan(const QMetaObject *meta)
    {
        const auto found = m_plans.constFind(meta);
        if (found != m_plans.constEnd())
            return *found;
        ClassPlan plan;
        plan.className = QString::fromLatin1(meta->className());
        const auto byClass = m_ignoredByClass.constFind(plan.className);
        for (int i = 0; i < meta->propertyCount(); ++i) {
            const QMetaProperty property = meta->property(i);
            const QString name = QString::fromLatin1(property.name());
            if (m_ignored.contains(name)
                || (byClass != m_ignoredByClass.constEnd() && byClass->contains(name)))
                continue;
            const QByteArray type = property.metaType().name();
            PropertyPlan::Kind kind = PropertyPlan::Plain;
            if (type.startsWith("QFlags<"))
                kind = PropertyPlan::Flags;
            else if (type == "KAVSysValue::Unit")
                kind = PropertyPlan::Unit;
            plan.properties.append({property, name, kind});
        }
        // A property of that name takes its place.
        if (std::none_of(
                plan.properties.cbegin(), plan.properties.cend(),
                [](const PropertyPlan &p) { return p.name == QLatin1String("className"); }))
            plan.properties.append(
                {QMetaProperty(), QStringLiteral("className"), PropertyPlan::ClassName});
        // In the order a JSON object keeps its members: each insertion then goes at the end.
        std::sort(plan.properties.begin(), plan.properties.end(),
                  [](const PropertyPlan &a, const PropertyPlan &b) { return a.name < b.name; });
        return *m_plans.insert(meta, plan);
    }

    static KAVFeatObject *Feature(const QVariant &value)
    {
        if (!(value.metaType().flags() & QMetaType::PointerToQObject))
            return nullptr;
        return qobject_cast<KAVFeatObject *>(value.value<QObject *>());
    }

    QJsonValue Value(const QVariant &value)
    {
        if (value.metaType().id() == QMetaType::QVariantList) {
            QList<KAVFeatObject *> objects;
            for (const QVariant &element : value.toList()) {
                if (KAVFeatObject *object = Feature(element))
                    objects.append(object);
            }
            if (!objects.isEmpty()) {
                QList<std::pair<QString, KAVFeatObject *>> keyed;
                keyed.reserve(objects.size());
                for (KAVFeatObject *object : std::as_const(objects)) {
                    const QString key = keyOf(object);
                    keys().Set(object, key);
                    keyed.append({key, object});
                }
                // Stable: objects with equal keys keep their order, run after run.
                std::stable_sort(keyed.begin(), keyed.end(),
                                 [](const auto &a, const auto &b) { return a.first < b.first; });
                QJsonArray array;
                for (const auto &entry : std::as_const(keyed))
                    array.append(Single(entry.second));
                return array;
            }
        } else if (value.metaType().id() >= QMetaType::User) {
            if (KAVFeatObject *object = Feature(value)) {
                if (keys().Has(object))
                    return keys().Get(object);
                return Single(object);
            }
            if (value.metaType().id() > QMetaType::User
                && (value.metaType() == QMetaType::fromType<KAVSysValue>()
                    || value.canConvert<KAVSysValue>()))
                return value.value<KAVSysValue>().ToJsonObject();
        }
        const QJsonValue json = QJsonValue::fromVariant(value);
        return json.isUndefined() ? QJsonValue(value.toString()) : json;
    }

    // One object in full, unless it is being written higher up (a back-pointer): then it is
    // written as its key, or its identifying text.
    QJsonValue Single(KAVFeatObject *object)
    {
        if (m_open.contains(object))
            return keys().Has(object) ? keys().Get(object) : identifier(object);
        return Object(object);
    }

    QSet<QString> m_ignored;
    QHash<QString, QSet<QString>> m_ignoredByClass;
    QHash<const QMetaObject *, ClassPlan> m_plans;
    QSet<const QObject *> m_open;
};

} // namespace

namespace KAVAtmSerializer {

QByteArray SerializeContainer(const QString &configJson)
{
    const KAVFeatEnvironment *environment
        = KAVFeatEnvironmentManager::GetManager()->GetCurrentEnvironment();
    if (!environment)
        return QByteArray();
    QList<KAVFeatObject *> roots;
    if (const KAVFeatContainer *container = environment->GetContainer())
        roots = container->GetFeatureRoots();
    Serializer serializer(configJson);
    QJsonObject json;
    for (const KAVFeatObject *root : std::as_const(roots))
        json.insert(root->GetIdentifier(), serializer.Object(root));
    return QJsonDocument(json).toJson(QJsonDocument::Indented);
}

QString GetKey(const QObject *object)
{
    return keys().Get(object);
}

} // namespace KAVAtmSerializer
