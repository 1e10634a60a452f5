#include "kavatmjsoncomparison_p.h"
#include "kavatmlogging_p.h"

#include <QtCore/QJsonDocument>
#include <QtCore/QRandomGenerator>
#include <QtCore/QStringDecoder>
#include <QtCore/QStringList>

#include <simdjson.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <deque>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace dom = simdjson::dom;

namespace KAVAtmJsonComparison {
namespace {

// What the parser cannot hold, an integer past 64 bits or an escaped lone surrogate, is written
// into the text as a string or characters behind a marker: a NUL, "kav" and a random key made
// for the comparison, then "I" and the digits (a whole string) or "S" and four hex digits.
// Document text cannot know the key, so no string of its own reads as either.
thread_local std::string t_marker;
constexpr qint64 MaximumSafeInteger = (qint64(1) << 53) - 1;
constexpr size_t SurrogateMarkSize = 4;
constexpr double Tolerance = 0.0001;
constexpr int ShownLength = 200;

enum class Kind { Null, Array, Number, Object, String, Boolean };

const char *kindName(Kind kind)
{
    switch (kind) {
    case Kind::Null:
        return "null";
    case Kind::Array:
        return "array";
    case Kind::Number:
        return "number";
    case Kind::Object:
        return "object";
    case Kind::String:
        return "string";
    case Kind::Boolean:
        return "boolean";
    }
    return "undefined";
}

std::string_view bigPrefix()
{
    static thread_local std::string prefix;
    prefix = t_marker + 'I';
    return prefix;
}

bool isBigString(dom::element value)
{
    std::string_view text;
    return !t_marker.empty() && value.get(text) == simdjson::SUCCESS
        && text.substr(0, t_marker.size() + 1) == bigPrefix();
}

// A text of the parsed document as the script sees it: marked surrogates back as they were,
// and a leading U+FEFF kept (the decoder would drop it as a byte order mark).
QString textOf(std::string_view utf8)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder(QByteArrayView(utf8.data(), qsizetype(utf8.size())));
    if (t_marker.empty() || utf8.find(t_marker) == std::string_view::npos)
        return text;
    const QString marker
        = QString::fromLatin1(t_marker.data(), qsizetype(t_marker.size())) + QLatin1Char('S');
    qsizetype at = 0;
    while ((at = text.indexOf(marker, at)) >= 0) {
        bool ok = false;
        const ushort unit
            = text.mid(at + marker.size(), qsizetype(SurrogateMarkSize)).toUShort(&ok, 16);
        if (!ok) {
            ++at;
            continue;
        }
        text.replace(at, marker.size() + qsizetype(SurrogateMarkSize), QChar(unit));
        ++at;
    }
    return text;
}

Kind kindOf(dom::element value)
{
    switch (value.type()) {
    case dom::element_type::ARRAY:
        return Kind::Array;
    case dom::element_type::OBJECT:
        return Kind::Object;
    case dom::element_type::INT64:
    case dom::element_type::UINT64:
    case dom::element_type::DOUBLE:
        return Kind::Number;
    case dom::element_type::STRING:
        return isBigString(value) ? Kind::Number : Kind::String;
    case dom::element_type::BOOL:
        return Kind::Boolean;
    case dom::element_type::NULL_VALUE:
        break;
    }
    return Kind::Null;
}

// The digits of an integer past what a double holds exactly; empty for any other value.
std::string bigText(dom::element value)
{
    if (value.is_int64()) {
        const int64_t v = value.get_int64().value_unsafe();
        return v > MaximumSafeInteger || v < -MaximumSafeInteger ? std::to_string(v)
                                                                 : std::string();
    }
    if (value.is_uint64() && value.type() == dom::element_type::UINT64)
        return std::to_string(value.get_uint64().value_unsafe());
    if (isBigString(value))
        return std::string(value.get_string().value_unsafe().substr(t_marker.size() + 1));
    return std::string();
}

double numberOf(dom::element value)
{
    switch (value.type()) {
    case dom::element_type::INT64:
        return double(value.get_int64().value_unsafe());
    case dom::element_type::UINT64:
        return double(value.get_uint64().value_unsafe());
    case dom::element_type::DOUBLE:
        return value.get_double().value_unsafe();
    default:
        return std::strtod(bigText(value).c_str(), nullptr);
    }
}

// A number as a script writes it: the shortest digits that read back as the same double, in
// positional notation from 1e-6 up to 1e21, in exponent notation beyond.
QString numberText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    if (value == 0)
        return QStringLiteral("0");
    if (value < 0)
        return QLatin1Char('-') + numberText(-value);
    char buffer[64];
    const auto written
        = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const std::string_view scientific(buffer, size_t(written.ptr - buffer));
    const size_t e = scientific.find('e');
    std::string digits;
    for (char c : scientific.substr(0, e)) {
        if (c != '.')
            digits += c;
    }
    const int k = int(digits.size());
    // The exponent as written ("e+21", "e-7"): the buffer holds no terminating NUL.
    std::string_view exponent = scientific.substr(e + 1);
    const bool negative = exponent.front() == '-';
    if (exponent.front() == '+' || exponent.front() == '-')
        exponent.remove_prefix(1);
    int magnitude = 0;
    std::from_chars(exponent.data(), exponent.data() + exponent.size(), magnitude);
    const int n = (negative ? -magnitude : magnitude) + 1;
    std::string text;
    if (k <= n && n <= 21) {
        text = digits + std::string(size_t(n - k), '0');
    } else if (0 < n && n <= 21) {
        text = digits.substr(0, size_t(n)) + '.' + digits.substr(size_t(n));
    } else if (-6 < n && n <= 0) {
        text = "0." + std::string(size_t(-n), '0') + digits;
    } else {
        text = digits.substr(0, 1);
        if (k > 1)
            text += '.' + digits.substr(1);
        text += 'e';
        text += n - 1 < 0 ? '-' : '+';
        text += std::to_string(std::abs(n - 1));
    }
    return QString::fromLatin1(text);
}

bool isIndexKey(std::string_view key)
{
    if (key.empty() || key.size() > 10 || (key.size() > 1 && key.front() == '0'))
        return false;
    uint64_t value = 0;
    for (char c : key) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + uint64_t(c - '0');
    }
    return value < 4294967295u;
}

struct Field {
    std::string_view key;
    dom::element value;
};

// The fields in the order scripts see them: index-like keys ascending first, then the others
// as written; a repeated key keeps its first place and its last value.
void orderedFields(dom::object object, std::vector<Field> &fields)
{
    fields.clear();
    bool indexKeys = false;
    std::unordered_map<std::string_view, size_t> seen;
    const bool large = object.size() > 16;
    for (dom::key_value_pair field : object) {
        size_t found = fields.size();
        if (large) {
            const auto [it, added] = seen.emplace(field.key, fields.size());
            if (!added)
                found = it->second;
        } else {
            for (size_t i = 0; i < fields.size(); ++i) {
                if (fields[i].key == field.key)
                    found = i;
            }
        }
        if (found < fields.size()) {
            fields[found].value = field.value;
            continue;
        }
        indexKeys = indexKeys || isIndexKey(field.key);
        fields.push_back({field.key, field.value});
    }
    if (indexKeys) {
        std::stable_partition(fields.begin(), fields.end(),
                              [](const Field &f) { return isIndexKey(f.key); });
        const auto end = std::find_if(fields.begin(), fields.end(),
                                      [](const Field &f) { return !isIndexKey(f.key); });
        std::sort(fields.begin(), end, [](const Field &a, const Field &b) {
            return a.key.size() != b.key.size() ? a.key.size() < b.key.size() : a.key < b.key;
        });
    }
}

std::vector<Field> orderedFields(dom::object object)
{
    std::vector<Field> fields;
    orderedFields(object, fields);
    return fields;
}

void appendQuoted(QString &out, std::string_view utf8)
{
    out += QLatin1Char('"');
    const QString text = textOf(utf8);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case u'"':
            out += QLatin1String("\\\"");
            break;
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        case u'\b':
            out += QLatin1String("\\b");
            break;
        case u'\f':
            out += QLatin1String("\\f");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        case u'\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (u < 0x20)
                out += QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
}

// The value as JSON.stringify writes it, stopped once past limit characters.
void stringify(dom::element value, QString &out, qsizetype limit)
{
    if (out.size() > limit)
        return;
    // Before the strings: a marked one is a number, and its marker is the comparison's own.
    if (const std::string big = bigText(value); !big.empty()) {
        out += QLatin1String(big);
        return;
    }
    switch (value.type()) {
    case dom::element_type::NULL_VALUE:
        out += QLatin1String("null");
        return;
    case dom::element_type::BOOL:
        out += value.get_bool().value_unsafe() ? QLatin1String("true") : QLatin1String("false");
        return;
    case dom::element_type::STRING:
        appendQuoted(out, value.get_string().value_unsafe());
        return;
    case dom::element_type::ARRAY: {
        out += QLatin1Char('[');
        bool first = true;
        const dom::array array = value.get_array().value_unsafe();
        for (dom::element item : array) {
            if (!first)
                out += QLatin1Char(',');
            first = false;
            stringify(item, out, limit);
            if (out.size() > limit)
                return;
        }
        out += QLatin1Char(']');
        return;
    }
    case dom::element_type::OBJECT: {
        out += QLatin1Char('{');
        bool first = true;
        const dom::object object = value.get_object().value_unsafe();
        for (const Field &field : orderedFields(object)) {
            if (!first)
                out += QLatin1Char(',');
            first = false;
            appendQuoted(out, field.key);
            out += QLatin1Char(':');
            stringify(field.value, out, limit);
            if (out.size() > limit)
                return;
        }
        out += QLatin1Char('}');
        return;
    }
    default: {
        const std::string big = bigText(value);
        if (!big.empty()) {
            out += QLatin1String(big);
            return;
        }
        const double number = numberOf(value);
        out += std::isfinite(number) ? numberText(number) : QStringLiteral("null");
    }
    }
}

QString show(dom::element value)
{
    const std::string big = bigText(value);
    if (!big.empty())
        return QString::fromLatin1(big);
    switch (value.type()) {
    case dom::element_type::ARRAY:
    case dom::element_type::OBJECT: {
        QString text;
        stringify(value, text, ShownLength);
        return text.size() > ShownLength ? text.left(ShownLength) + QLatin1String("...") : text;
    }
    case dom::element_type::STRING:
        return textOf(value.get_string().value_unsafe());
    case dom::element_type::BOOL:
        return value.get_bool().value_unsafe() ? QStringLiteral("true") : QStringLiteral("false");
    case dom::element_type::NULL_VALUE:
        return QStringLiteral("null");
    default:
        return numberText(numberOf(value));
    }
}

bool numbersEqual(dom::element expected, dom::element actual)
{
    const std::string expectedBig = bigText(expected);
    const std::string actualBig = bigText(actual);
    if (!expectedBig.empty() && !actualBig.empty())
        return expectedBig == actualBig;
    const double e = numberOf(expected);
    const double a = numberOf(actual);
    return e == a || std::fabs(e - a) <= Tolerance;
}

// The parser counts the elements of an array up to 0xFFFFFF only; past that they are counted.
size_t exactSize(dom::array array)
{
    size_t size = array.size();
    if (size < 0xFFFFFF)
        return size;
    size = 0;
    for (dom::element item : array) {
        Q_UNUSED(item);
        ++size;
    }
    return size;
}

class Walker {
public:
    explicit Walker(bool strict) : m_strict(strict) { }

    QString message;

    bool Walk(dom::element expected, dom::element actual)
    {
        if (m_debug)
            qCDebug(lcScripting).noquote() << "Comparing property: [" + PropName() + "]";
        const Kind kind = kindOf(expected);
        if (kind != kindOf(actual)) {
            message = QStringLiteral("The values of property [%1] in expected and actual are not "
                                     "of the same type.\nExpected: [%2] (%3). Actual: [%4] (%5). "
                                     "Path: %6")
                          .arg(PropName(), show(expected), QLatin1String(kindName(kind)),
                               show(actual), QLatin1String(kindName(kindOf(actual))), Path());
            return false;
        }
        if (kind == Kind::Array) {
            const dom::array e = expected.get_array().value_unsafe();
            const dom::array a = actual.get_array().value_unsafe();
            const size_t expectedSize = exactSize(e);
            const size_t actualSize = exactSize(a);
            if (expectedSize != actualSize) {
                message
                    = QStringLiteral("The array length for actual:[%1] is different than "
                                     "expected:[%2]. Path: %3")
                          .arg(QString::number(actualSize), QString::number(expectedSize), Path());
                return false;
            }
            auto actualItem = a.begin();
            size_t index = 0;
            for (dom::element item : e) {
                m_steps.push_back({true, index, {}});
                if (!Walk(item, *actualItem))
                    return false;
                m_steps.pop_back();
                ++actualItem;
                ++index;
            }
            return true;
        }
        if (kind == Kind::Object)
            return WalkObject(expected.get_object().value_unsafe(),
                              actual.get_object().value_unsafe());
        const bool equal = kind == Kind::Number ? numbersEqual(expected, actual)
            : kind == Kind::String
            ? expected.get_string().value_unsafe() == actual.get_string().value_unsafe()
            : kind == Kind::Boolean
            ? expected.get_bool().value_unsafe() == actual.get_bool().value_unsafe()
            : true;
        if (equal)
            return true;
        message = QStringLiteral("The values of property [%1] in expected and actual are not "
                                 "equal.\nExpected: [%2]. Actual: [%3]. Path: %4")
                      .arg(PropName(), show(expected), show(actual), Path());
        return false;
    }

private:
    struct Step {
        bool index;
        size_t position;
        std::string_view key;
    };

    bool WalkObject(dom::object expected, dom::object actual)
    {
        // One set of lists per depth, kept: most objects are small, and there are many.
        while (m_buffers.size() <= m_steps.size())
            m_buffers.emplace_back();
        Buffers &buffers = m_buffers[m_steps.size()];
        std::vector<Field> &fields = buffers.fields;
        orderedFields(expected, fields);
        // The actual value of each key, its last if repeated.
        std::vector<dom::element> &found = buffers.found;
        std::vector<bool> &present = buffers.present;
        found.assign(fields.size(), dom::element());
        present.assign(fields.size(), false);
        if (actual.size() > 16) {
            std::unordered_map<std::string_view, dom::element> byKey;
            byKey.reserve(actual.size());
            for (dom::key_value_pair field : actual)
                byKey[field.key] = field.value;
            for (size_t i = 0; i < fields.size(); ++i) {
                const auto it = byKey.find(fields[i].key);
                if (it != byKey.end()) {
                    found[i] = it->second;
                    present[i] = true;
                }
            }
        } else {
            for (dom::key_value_pair field : actual) {
                for (size_t i = 0; i < fields.size(); ++i) {
                    if (fields[i].key == field.key) {
                        found[i] = field.value;
                        present[i] = true;
                    }
                }
            }
        }
        QStringList missing;
        for (size_t i = 0; i < fields.size(); ++i) {
            if (!present[i])
                missing.append(textOf(fields[i].key));
        }
        if (!missing.isEmpty()) {
            message = QStringLiteral("The actual object (Path: %1) has properties missing "
                                     "according to the baseline: %2")
                          .arg(Path(), missing.join(QLatin1Char(',')));
            return false;
        }
        if (m_strict) {
            std::unordered_set<std::string_view> known;
            for (const Field &field : fields)
                known.insert(field.key);
            QStringList extra;
            for (const Field &field : orderedFields(actual)) {
                if (!known.count(field.key))
                    extra.append(textOf(field.key));
            }
            if (!extra.isEmpty()) {
                message = QStringLiteral("The actual object (Path: %1) has properties the "
                                         "baseline does not have: %2")
                              .arg(Path(), extra.join(QLatin1Char(',')));
                return false;
            }
        }
        for (size_t i = 0; i < fields.size(); ++i) {
            m_steps.push_back({false, 0, fields[i].key});
            if (!Walk(fields[i].value, found[i]))
                return false;
            m_steps.pop_back();
        }
        return true;
    }

    // The name of the value compared: its key, its index, or "Unknown" for the document.
    QString PropName() const
    {
        if (m_steps.empty())
            return QStringLiteral("Unknown");
        const Step &step = m_steps.back();
        return step.index ? QString::number(step.position) : textOf(step.key);
    }

    // Written out only for a message: most values are compared without a path being built.
    QString Path() const
    {
        QString path = QStringLiteral("$");
        for (const Step &step : m_steps) {
            if (step.index)
                path += QLatin1Char('[') + QString::number(step.position) + QLatin1Char(']');
            else
                path += QLatin1Char('/') + textOf(step.key);
        }
        return path;
    }

    struct Buffers {
        std::vector<Field> fields;
        std::vector<dom::element> found;
        std::vector<bool> present;
    };

    std::vector<Step> m_steps;
    // A deque: the lists of the depths above stay where they are while deeper ones are added.
    std::deque<Buffers> m_buffers;
    const bool m_debug = lcScripting().isDebugEnabled();
    const bool m_strict;
};

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The UTF-16 unit of the escape "\\uXXXX" at text[at], or -1.
int escapedUnit(std::string_view text, size_t at)
{
    if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u')
        return -1;
    int unit = 0;
    for (size_t i = at + 2; i < at + 6; ++i) {
        if (!isHex(text[i]))
            return -1;
        const char c = text[i];
        unit = unit * 16 + (c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return unit;
}

// The text with what the parser refuses written behind the marker: integer tokens past what a
// double holds exactly as marked strings (all of them, so that all read alike), and escaped
// lone surrogates as marked characters.
std::string withMarks(std::string_view text)
{
    const std::string nul = "\\u0000" + t_marker.substr(1);
    std::string out;
    out.reserve(text.size() + 64);
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"') {
            out += c;
            size_t end = i + 1;
            while (end < text.size() && text[end] != '"') {
                if (text[end] != '\\') {
                    out += text[end++];
                    continue;
                }
                const int unit = escapedUnit(text, end);
                const bool high = unit >= 0xD800 && unit < 0xDC00;
                const bool low = unit >= 0xDC00 && unit < 0xE000;
                const int next = high ? escapedUnit(text, end + 6) : -1;
                if (high && next >= 0xDC00 && next < 0xE000) {
                    out.append(text.substr(end, 12));
                    end += 12;
                } else if (high || low) {
                    char hex[5];
                    std::snprintf(hex, sizeof hex, "%04x", unit);
                    out += nul + 'S' + hex;
                    end += 6;
                } else {
                    out.append(text.substr(end, std::min<size_t>(2, text.size() - end)));
                    end += 2;
                }
            }
            if (end < text.size())
                out += '"';
            i = end + 1;
            continue;
        }
        if (c == '-' || (c >= '0' && c <= '9')) {
            size_t end = i + (c == '-' ? 1 : 0);
            bool integer = true;
            while (end < text.size()) {
                const char d = text[end];
                if (d == '.' || d == 'e' || d == 'E' || d == '+'
                    || (d == '-' && (text[end - 1] == 'e' || text[end - 1] == 'E'))) {
                    integer = false;
                } else if (d < '0' || d > '9') {
                    break;
                }
                ++end;
            }
            const std::string_view token = text.substr(i, end - i);
            const size_t digits = token.size() - (c == '-' ? 1 : 0);
            const bool safe = digits < 16
                || (digits == 16 && token.substr(c == '-' ? 1 : 0) <= "9007199254740991");
            // A leading zero is no JSON number: left as written, it stays an error.
            const bool json = digits > 0 && (token[c == '-' ? 1 : 0] != '0' || digits == 1);
            if (integer && !safe && json) {
                out += '"' + nul + 'I';
                out.append(token);
                out += '"';
            } else {
                out.append(token);
            }
            i = end;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

// Deeper than a baseline can be written (the JSON writer stops at 1024), and few enough levels
// for the walk's recursion.
constexpr size_t MaximumDepth = 2048;

// How a text failed to parse, said for a person: what and where, from Qt's reader when it
// finds the fault too.
QString parseFailure(const QString &side, const QByteArray &text, simdjson::error_code error)
{
    if (text.trimmed().isEmpty())
        return QStringLiteral("%1 is empty: it is not JSON.").arg(side);
    if (error == simdjson::DEPTH_ERROR)
        return QStringLiteral("%1 is nested deeper than %2 levels: it is not compared.")
            .arg(side, QString::number(MaximumDepth));
    QJsonParseError qtError;
    QJsonDocument::fromJson(text, &qtError);
    if (qtError.error == QJsonParseError::NoError)
        return QStringLiteral("%1 is not JSON: %2.")
            .arg(side, QString::fromLatin1(simdjson::error_message(error)));
    // The reader stops just past what it could not read: that last character is the place.
    const QByteArray before = text.left(qtError.offset);
    const qsizetype lineStart = before.lastIndexOf('\n') + 1;
    const qsizetype column
        = std::max<qsizetype>(1, QString::fromUtf8(before.mid(lineStart)).size());
    return QStringLiteral("%1 is not JSON: %2 at line %3, column %4.")
        .arg(side, qtError.errorString(), QString::number(before.count('\n') + 1),
             QString::number(column));
}

simdjson::error_code parse(dom::parser &parser, const QByteArray &text, dom::element &element,
                           std::string &rewritten)
{
    if (parser.allocate(size_t(text.size()) + 1, MaximumDepth + 1) != simdjson::SUCCESS)
        return simdjson::MEMALLOC;
    // The parser reads whole blocks: a text with room enough after it is read where it is.
    const bool padded = text.capacity() - text.size() >= qsizetype(simdjson::SIMDJSON_PADDING);
    simdjson::error_code error
        = parser.parse(text.constData(), size_t(text.size()), !padded).get(element);
    if (error == simdjson::NUMBER_ERROR || error == simdjson::STRING_ERROR) {
        if (t_marker.empty()) {
            const quint64 key = QRandomGenerator::system()->generate64();
            t_marker = std::string("\0kav", 4) + QByteArray::number(key, 16).toStdString();
        }
        rewritten = withMarks({text.constData(), size_t(text.size())});
        error = parser.parse(rewritten).get(element);
    }
    return error;
}

} // namespace

QString Compare(const QByteArray &expected, const QByteArray &actual, const Options &options)
{
    // Marks are the comparison's own: made afresh, gone after.
    t_marker.clear();
    struct Reset {
        ~Reset() { t_marker.clear(); }
    } reset;
    dom::parser expectedParser;
    dom::parser actualParser;
    dom::element expectedRoot;
    dom::element actualRoot;
    std::string expectedRewritten, actualRewritten;
    // Both are read even when the texts are the same: "{" or "undefined" on both sides is no
    // JSON, not a match. The same text is read once.
    const bool same = expected == actual;
    simdjson::error_code error = parse(expectedParser, expected, expectedRoot, expectedRewritten);
    if (error != simdjson::SUCCESS)
        return parseFailure(options.expectedName, expected, error);
    if (!same) {
        error = parse(actualParser, actual, actualRoot, actualRewritten);
        if (error != simdjson::SUCCESS)
            return parseFailure(options.actualName, actual, error);
    }
    if (options.refuseEmptyExpected
        && (expectedRoot.type() == dom::element_type::OBJECT
                ? expectedRoot.get_object().value_unsafe().size() == 0
                : expectedRoot.type() == dom::element_type::ARRAY
                    && expectedRoot.get_array().value_unsafe().size() == 0))
        return QStringLiteral("%1 holds nothing to compare.").arg(options.expectedName);
    if (same)
        return QString();
    Walker walker(options.strict);
    walker.Walk(expectedRoot, actualRoot);
    return walker.message;
}

QString Compare(const QByteArray &expected, const QByteArray &actual)
{
    return Compare(expected, actual, Options());
}

QByteArray Utf8Text(const QString &text)
{
    // toUtf8() would make a lone surrogate "?", equal to a real one.
    const QChar *begin = text.constData();
    const qsizetype size = text.size();
    qsizetype i = 0;
    for (; i < size; ++i) {
        if (begin[i].isSurrogate())
            break;
    }
    if (i == size)
        return text.toUtf8();
    QByteArray out = text.left(i).toUtf8();
    out.reserve(text.size() * 3 / 2 + 64);
    qsizetype start = i;
    for (; i < size; ++i) {
        const QChar c = begin[i];
        if (!c.isSurrogate())
            continue;
        if (c.isHighSurrogate() && i + 1 < size && begin[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        out += QStringView(begin + start, i - start).toUtf8();
        out += "\\u" + QByteArray::number(c.unicode(), 16).rightJustified(4, '0');
        start = i + 1;
    }
    out += QStringView(begin + start, size - start).toUtf8();
    return out;
}

} // namespace KAVAtmJsonComparison
