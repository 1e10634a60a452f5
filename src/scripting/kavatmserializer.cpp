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

#include <QtCore/QCborValue>
#include <QtCore/QCoreApplication>
#include <QtCore/QHash>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QMetaProperty>
#include <QtCore/QSet>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// Object to key, as long as the object lives: a new object at a freed address must not inherit
// a key and be written as a reference to an object that is gone.
class KeyTable : public QObject {
public:
    QString Get(const QObject *object) const { return m_keys.value(object); }
    bool Has(const QObject *object) const { return m_keys.contains(object); }
    const QString *Find(const QObject *object) const
    {
        const auto found = m_keys.constFind(object);
        return found == m_keys.constEnd() ? nullptr : &*found;
    }
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

// JSON text as QJsonDocument::toJson(Indented) writes it, byte for byte, written straight from
// the objects: baselines captured before keep their text, and no document is built first.
class Writer {
public:
    void Reserve(qsizetype size)
    {
        if (size > m_text.size()) {
            m_text.resize(size);
            m_data = m_text.data();
        }
    }

    // The text written; the writer is empty after.
    QByteArray Take()
    {
        // Spare room after the text: a parser that reads in blocks can read it without a copy.
        Room(64);
        m_text.resize(m_used);
        m_used = 0;
        m_data = nullptr;
        return std::exchange(m_text, QByteArray());
    }

    qsizetype Size() const { return m_used; }
    char *Data() { return m_data; }
    void Truncate(qsizetype size) { m_used = size; }

    void Put(char c) { *Room(1) = c, ++m_used; }
    void Put(const char *bytes, qsizetype size)
    {
        std::memcpy(Room(size), bytes, size_t(size));
        m_used += size;
    }
    void Put(const char *bytes) { Put(bytes, qsizetype(std::strlen(bytes))); }
    void Put(const QByteArray &bytes) { Put(bytes.constData(), bytes.size()); }

    void Indent(int level)
    {
        std::memset(Room(4 * level), ' ', size_t(4 * level));
        m_used += 4 * level;
    }

    void Integer(qint64 value)
    {
        char *at = Room(24);
        m_used += std::to_chars(at, at + 24, value).ptr - at;
    }

    void Double(double value)
    {
        if (qIsFinite(value))
            Put(QByteArray::number(value, 'g', QLocale::FloatingPointShortest));
        else
            Put("null");
    }

    // UTF-8, with what JSON must escape escaped, and a lone surrogate as its \u escape.
    void String(QStringView string)
    {
        static const char Hex[] = "0123456789abcdef";
        // At most six bytes for each UTF-16 unit, and the quotes.
        char *out = Room(6 * string.size() + 2);
        char *const start = out;
        *out++ = '"';
        const char16_t *const end = string.utf16() + string.size();
        for (const char16_t *at = string.utf16(); at != end; ++at) {
            const char16_t u = *at;
            if (u >= 0x20 && u < 0x80 && u != '"' && u != '\\') {
                *out++ = char(u);
            } else if (u < 0x80) {
                *out++ = '\\';
                switch (u) {
                case '"':
                    *out++ = '"';
                    break;
                case '\\':
                    *out++ = '\\';
                    break;
                case '\b':
                    *out++ = 'b';
                    break;
                case '\f':
                    *out++ = 'f';
                    break;
                case '\n':
                    *out++ = 'n';
                    break;
                case '\r':
                    *out++ = 'r';
                    break;
                case '\t':
                    *out++ = 't';
                    break;
                default:
                    *out++ = 'u';
                    *out++ = '0';
                    *out++ = '0';
                    *out++ = Hex[u >> 4];
                    *out++ = Hex[u & 0xf];
                }
            } else if (u < 0x800) {
                *out++ = char(0xc0 | (u >> 6));
                *out++ = char(0x80 | (u & 0x3f));
            } else if (!QChar::isSurrogate(u)) {
                *out++ = char(0xe0 | (u >> 12));
                *out++ = char(0x80 | ((u >> 6) & 0x3f));
                *out++ = char(0x80 | (u & 0x3f));
            } else if (QChar::isHighSurrogate(u) && at + 1 != end && QChar::isLowSurrogate(at[1])) {
                const char32_t c = QChar::surrogateToUcs4(u, at[1]);
                ++at;
                *out++ = char(0xf0 | (c >> 18));
                *out++ = char(0x80 | ((c >> 12) & 0x3f));
                *out++ = char(0x80 | ((c >> 6) & 0x3f));
                *out++ = char(0x80 | (c & 0x3f));
            } else {
                *out++ = '\\';
                *out++ = 'u';
                for (int shift = 12; shift >= 0; shift -= 4)
                    *out++ = Hex[(u >> shift) & 0xf];
            }
        }
        *out++ = '"';
        m_used += out - start;
    }

    void Value(const QJsonValue &value, int indent)
    {
        switch (value.type()) {
        case QJsonValue::Bool:
            Put(value.toBool() ? "true" : "false");
            break;
        case QJsonValue::Double: {
            // A JSON number is kept as an integer or as a double, and each is written its own way.
            const QCborValue number = QCborValue::fromJsonValue(value);
            if (number.isInteger())
                Integer(number.toInteger());
            else
                Double(number.toDouble());
            break;
        }
        case QJsonValue::String:
            String(value.toString());
            break;
        case QJsonValue::Array: {
            const QJsonArray array = value.toArray();
            Put("[\n");
            for (qsizetype i = 0; i < array.size(); ++i) {
                Indent(indent + 1);
                Value(array.at(i), indent + 1);
                Put(i + 1 < array.size() ? ",\n" : "\n");
            }
            Indent(indent);
            Put(']');
            break;
        }
        case QJsonValue::Object:
            Object(value.toObject(), indent);
            break;
        default:
            Put("null");
        }
    }

    void Object(const QJsonObject &object, int indent)
    {
        Put("{\n");
        for (auto member = object.constBegin(); member != object.constEnd();) {
            Indent(indent + 1);
            String(member.key());
            Put(": ");
            Value(member.value(), indent + 1);
            Put(++member != object.constEnd() ? ",\n" : "\n");
        }
        Indent(indent);
        Put('}');
    }

private:
    // Room for size more bytes; the text grows as a list does, without being filled first.
    char *Room(qsizetype size)
    {
        if (m_used + size > m_text.size()) {
            m_text.resize(std::max<qsizetype>(m_used + size, 2 * m_text.size() + 4096));
            m_data = m_text.data();
        }
        return m_data + m_used;
    }

    QByteArray m_text;
    char *m_data = nullptr;
    qsizetype m_used = 0;
};

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

    Writer &Out() { return m_out; }

    void Object(const QObject *object, int indent)
    {
        if (!object) {
            m_out.Put("{\n");
            m_out.Indent(indent);
            m_out.Put('}');
            return;
        }
        const ClassPlan &plan = Plan(object->metaObject());
        m_open.push_back(object);
        m_out.Put("{\n");
        for (qsizetype i = 0; i < plan.properties.size(); ++i) {
            const PropertyPlan &property = plan.properties.at(i);
            m_out.Indent(indent + 1);
            m_out.Put(property.member);
            if (property.kind == PropertyPlan::ClassName) {
                m_out.String(plan.className);
            } else if (property.kind == PropertyPlan::Flags) {
                m_out.Integer(property.property.read(object).toInt());
            } else if (property.kind == PropertyPlan::Unit) {
                m_out.String(KAVSysValue::GetUnitString(
                    property.property.read(object).value<KAVSysValue::Unit>()));
            } else {
                Value(property.property.read(object), indent + 1);
            }
            m_out.Put(i + 1 < plan.properties.size() ? ",\n" : "\n");
        }
        m_out.Indent(indent);
        m_out.Put('}');
        m_open.pop_back();
    }

private:
    // What is written of each class, worked out once per class: the properties not ignored, in
    // the order a JSON object keeps its members, and how each value is normalised.
    struct PropertyPlan {
        enum Kind { Plain, Flags, Unit, ClassName };
        QMetaProperty property;
        QString name;
        Kind kind = Plain;
        QByteArray member; // the name as written, with its colon
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
            plan.properties.append({property, name, kind, {}});
        }
        // A property of that name takes its place.
        if (std::none_of(
                plan.properties.cbegin(), plan.properties.cend(),
                [](const PropertyPlan &p) { return p.name == QLatin1String("className"); }))
            plan.properties.append(
                {QMetaProperty(), QStringLiteral("className"), PropertyPlan::ClassName, {}});
        // By name; a class's own property of a name its base has too is the one written.
        std::stable_sort(
            plan.properties.begin(), plan.properties.end(),
            [](const PropertyPlan &a, const PropertyPlan &b) { return a.name < b.name; });
        for (qsizetype i = plan.properties.size() - 1; i > 0; --i) {
            if (plan.properties.at(i - 1).name == plan.properties.at(i).name)
                plan.properties.removeAt(i - 1);
        }
        for (PropertyPlan &property : plan.properties) {
            Writer member;
            member.String(property.name);
            member.Put(": ");
            property.member = member.Take();
        }
        return *m_plans.insert(meta, plan);
    }

    static KAVFeatObject *Feature(const QVariant &value)
    {
        if (!(value.metaType().flags() & QMetaType::PointerToQObject))
            return nullptr;
        return qobject_cast<KAVFeatObject *>(value.value<QObject *>());
    }

    void Value(const QVariant &value, int indent)
    {
        switch (value.metaType().id()) {
        case QMetaType::Bool:
            m_out.Put(value.toBool() ? "true" : "false");
            return;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
            m_out.Integer(value.toLongLong());
            return;
        case QMetaType::QString:
            m_out.String(value.toString());
            return;
        case QMetaType::QVariantList: {
            const QVariantList list = value.toList();
            if (list.isEmpty()) {
                m_out.Put("[\n");
                m_out.Indent(indent);
                m_out.Put(']');
                return;
            }
            if (FeatureList(list, indent))
                return;
            break;
        }
        default:
            if (value.metaType().id() < QMetaType::User)
                break;
            if (KAVFeatObject *object = Feature(value)) {
                if (const QString *key = keys().Find(object))
                    m_out.String(*key);
                else
                    Single(object, indent);
                return;
            }
            if (value.metaType().id() > QMetaType::User
                && (value.metaType() == QMetaType::fromType<KAVSysValue>()
                    || value.canConvert<KAVSysValue>())) {
                m_out.Object(value.value<KAVSysValue>().ToJsonObject(), indent);
                return;
            }
        }
        const QJsonValue json = QJsonValue::fromVariant(value);
        m_out.Value(json.isUndefined() ? QJsonValue(value.toString()) : json, indent);
    }

    // A list holding feature objects: those objects, sorted by their keys. False when it holds
    // none, and it is written as any other list.
    bool FeatureList(const QVariantList &list, int indent)
    {
        QList<std::pair<QString, KAVFeatObject *>> keyed;
        for (const QVariant &element : list) {
            if (KAVFeatObject *object = Feature(element)) {
                QString key = keyOf(object);
                keys().Set(object, key);
                keyed.append({std::move(key), object});
            }
        }
        if (keyed.isEmpty())
            return false;
        // Stable: objects with equal keys keep their order, run after run.
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto &a, const auto &b) { return a.first < b.first; });
        m_out.Put("[\n");
        for (qsizetype i = 0; i < keyed.size(); ++i) {
            m_out.Indent(indent + 1);
            Single(keyed.at(i).second, indent + 1);
            m_out.Put(i + 1 < keyed.size() ? ",\n" : "\n");
        }
        m_out.Indent(indent);
        m_out.Put(']');
        return true;
    }

    // One object in full, unless it is being written higher up (a back-pointer): then it is
    // written as its key, or its identifying text.
    void Single(KAVFeatObject *object, int indent)
    {
        if (std::find(m_open.cbegin(), m_open.cend(), object) != m_open.cend())
            m_out.String(keys().Has(object) ? keys().Get(object) : identifier(object));
        else
            Object(object, indent);
    }

    Writer m_out;
    QSet<QString> m_ignored;
    QHash<QString, QSet<QString>> m_ignoredByClass;
    QHash<const QMetaObject *, ClassPlan> m_plans;
    // The objects being written, outermost first.
    std::vector<const QObject *> m_open;
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
    // Written in the model's order, as keys given on the way show in what follows; then put in
    // the order of their identifiers, the last root of an identifier standing for it. Each member
    // is written whole with a comma and a line end; the last loses its comma.
    Serializer serializer(configJson);
    Writer &out = serializer.Out();
    // Documents change little from one assertion to the next: room for the last one, and a bit,
    // saves growing the text again and again.
    static std::atomic<qsizetype> lastSize {0};
    out.Reserve(lastSize + lastSize / 16);
    struct Member {
        QString identifier;
        qsizetype begin;
        qsizetype size;
    };
    QList<Member> members;
    out.Put("{\n");
    for (const KAVFeatObject *root : std::as_const(roots)) {
        const qsizetype begin = out.Size();
        out.Indent(1);
        out.String(root->GetIdentifier());
        out.Put(": ");
        serializer.Object(root, 1);
        out.Put(",\n");
        members.append({root->GetIdentifier(), begin, out.Size() - begin});
    }
    QList<Member> ordered;
    for (qsizetype i = members.size() - 1; i >= 0; --i) {
        if (std::none_of(ordered.cbegin(), ordered.cend(),
                         [&](const Member &m) { return m.identifier == members.at(i).identifier; }))
            ordered.append(members.at(i));
    }
    std::sort(ordered.begin(), ordered.end(),
              [](const Member &a, const Member &b) { return a.identifier < b.identifier; });
    // In place: the largest member moves once, the others go through a copy.
    qsizetype size = 2;
    if (!ordered.isEmpty()) {
        const auto largest
            = std::max_element(ordered.cbegin(), ordered.cend(),
                               [](const Member &a, const Member &b) { return a.size < b.size; });
        QByteArray others;
        for (auto member = ordered.cbegin(); member != ordered.cend(); ++member) {
            if (member != largest)
                others.append(out.Data() + member->begin, member->size);
        }
        qsizetype largestAt = 2;
        for (auto member = ordered.cbegin(); member != largest; ++member)
            largestAt += member->size;
        std::memmove(out.Data() + largestAt, out.Data() + largest->begin, size_t(largest->size));
        qsizetype from = 0;
        for (auto member = ordered.cbegin(); member != ordered.cend(); ++member) {
            if (member != largest) {
                std::memcpy(out.Data() + size, others.constData() + from, size_t(member->size));
                from += member->size;
            }
            size += member->size;
        }
        --size; // the last comma
        out.Data()[size - 1] = '\n';
    }
    out.Truncate(size);
    out.Put("}\n");
    lastSize = out.Size();
    return out.Take();
}

QString GetKey(const QObject *object)
{
    return keys().Get(object);
}

} // namespace KAVAtmSerializer
