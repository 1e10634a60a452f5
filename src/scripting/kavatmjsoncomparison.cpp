#include "kavatmjsoncomparison_p.h"
#include "kavatmlogging_p.h"

#include <simdjson.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

namespace dom = simdjson::dom;

namespace KAVAtmJsonComparison {
namespace {

// An integer written with more digits than a double holds exactly travels through the script
// parser as a string with this prefix; such a string is a number wherever it comes from.
constexpr std::string_view BigPrefix {"\0kavInteger:", 12};
constexpr qint64 MaximumSafeInteger = (qint64(1) << 53) - 1;
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

bool isBigString(dom::element value)
{
    std::string_view text;
    return value.get(text) == simdjson::SUCCESS && text.substr(0, BigPrefix.size()) == BigPrefix;
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
        return std::string(value.get_string().value_unsafe().substr(BigPrefix.size()));
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
    const QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
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
            // A script holds it as its prefixed string.
            out += QLatin1String("\"\\u0000kavInteger:") + QLatin1String(big) + QLatin1Char('"');
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
    case dom::element_type::STRING: {
        const std::string_view text = value.get_string().value_unsafe();
        return QString::fromUtf8(text.data(), qsizetype(text.size()));
    }
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

class Walker {
public:
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
            if (e.size() != a.size()) {
                message = QStringLiteral("The array length for actual:[%1] is different than "
                                         "expected:[%2]. Path: %3")
                              .arg(QString::number(a.size()), QString::number(e.size()), Path());
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
                missing.append(
                    QString::fromUtf8(fields[i].key.data(), qsizetype(fields[i].key.size())));
        }
        if (!missing.isEmpty()) {
            message = QStringLiteral("The actual object (Path: %1) has properties missing "
                                     "according to the baseline: %2")
                          .arg(Path(), missing.join(QLatin1Char(',')));
            return false;
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
        return step.index ? QString::number(step.position)
                          : QString::fromUtf8(step.key.data(), qsizetype(step.key.size()));
    }

    // Written out only for a message: most values are compared without a path being built.
    QString Path() const
    {
        QString path = QStringLiteral("$");
        for (const Step &step : m_steps) {
            if (step.index)
                path += QLatin1Char('[') + QString::number(step.position) + QLatin1Char(']');
            else
                path += QLatin1Char('/')
                    + QString::fromUtf8(step.key.data(), qsizetype(step.key.size()));
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
};

// Integer tokens past 64 bits, which the parser refuses, written as the prefixed strings a
// script reads them as. Every integer past what a double holds exactly is rewritten, so that
// all of them in a document read alike.
std::string withBigIntegersAsStrings(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 64);
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"') {
            size_t end = i + 1;
            while (end < text.size() && text[end] != '"')
                end += text[end] == '\\' ? 2 : 1;
            end = std::min(end + 1, text.size());
            out.append(text.substr(i, end - i));
            i = end;
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
            if (integer && !safe) {
                out += "\"\\u0000kavInteger:";
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

bool parse(dom::parser &parser, const QByteArray &text, dom::element &element)
{
    // The parser reads whole blocks: a text with room enough after it is read where it is.
    const bool padded = text.capacity() - text.size() >= qsizetype(simdjson::SIMDJSON_PADDING);
    simdjson::error_code error
        = parser.parse(text.constData(), size_t(text.size()), !padded).get(element);
    if (error == simdjson::NUMBER_ERROR) {
        const std::string rewritten
            = withBigIntegersAsStrings({text.constData(), size_t(text.size())});
        error = parser.parse(rewritten).get(element);
    }
    return error == simdjson::SUCCESS;
}

} // namespace

QString Compare(const QByteArray &expected, const QByteArray &actual)
{
    if (expected == actual)
        return QString();
    const QString parseError = QStringLiteral("JSON.parse: Parse error");
    dom::parser expectedParser;
    dom::parser actualParser;
    dom::element expectedRoot;
    dom::element actualRoot;
    if (!parse(expectedParser, expected, expectedRoot) || !parse(actualParser, actual, actualRoot))
        return parseError;
    Walker walker;
    walker.Walk(expectedRoot, actualRoot);
    return walker.message;
}

} // namespace KAVAtmJsonComparison
