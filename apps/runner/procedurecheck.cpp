#include "procedurecheck.h"

#include "kavatmactionkeys.h"
#include "kavatmjsengine.h"
#include "kavatmreadfile.h"
#include "kavatmtestactiondef.h"
#include "kavatmtestproceduredef.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QHash>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QRegularExpression>
#include <QtCore/QStringDecoder>
#include <QtQml/QJSEngine>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>
#include <tuple>

namespace {

// What the host's engine reads; it refuses larger files.
constexpr qint64 LargestScript = KAVAtmJsEngine::MaximumScriptSize;

// Where each member and element of a valid JSON text begins, by its path ("/actions/3/timeout"),
// down to the keys of the actions.
class Positions {
public:
    explicit Positions(const QByteArray &text) : m_text(text)
    {
        // The parser takes a byte order mark, and an editor shows none.
        if (m_text.startsWith("\xef\xbb\xbf"))
            m_i = m_start = 3;
        Value(QString(), 0);
    }

    // Where the path begins, or its closest parent known.
    qsizetype At(QString path) const
    {
        while (!m_at.contains(path) && !path.isEmpty())
            path.truncate(path.lastIndexOf(QLatin1Char('/')));
        return m_at.value(path, 0);
    }

    // The line and column (from 1, in characters) of each offset, in one pass over the text.
    QList<std::pair<int, int>> LinesAndColumns(const QList<qsizetype> &offsets) const
    {
        QList<qsizetype> order(offsets.size());
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(),
                  [&](qsizetype a, qsizetype b) { return offsets.at(a) < offsets.at(b); });
        QList<std::pair<int, int>> found(offsets.size());
        qsizetype i = m_start;
        int line = 1, column = 1;
        for (const qsizetype index : std::as_const(order)) {
            for (; i < offsets.at(index) && i < m_text.size(); ++i) {
                const char c = m_text.at(i);
                if (c == '\n') {
                    ++line;
                    column = 1;
                } else if ((c & 0xc0) != 0x80) {
                    ++column;
                }
            }
            found[index] = {line, column};
        }
        return found;
    }

private:
    void Space()
    {
        while (m_i < m_text.size() && QByteArrayView(" \t\r\n").contains(m_text.at(m_i)))
            ++m_i;
    }
    QString String()
    {
        const qsizetype start = m_i++;
        while (m_i < m_text.size() && m_text.at(m_i) != '"')
            m_i += m_text.at(m_i) == '\\' ? 2 : 1;
        ++m_i;
        const QByteArray token = m_text.mid(start, m_i - start);
        if (!token.contains('\\'))
            return QString::fromUtf8(token.mid(1, token.size() - 2));
        return QJsonDocument::fromJson("[" + token + "]").array().at(0).toString();
    }
    void Value(const QString &path, int depth)
    {
        Space();
        if (!m_at.contains(path))
            m_at.insert(path, m_i);
        if (m_i >= m_text.size())
            return;
        const char c = m_text.at(m_i);
        if (c == '{' || c == '[') {
            const char close = c == '{' ? '}' : ']';
            ++m_i;
            for (int index = 0;; ++index) {
                Space();
                if (m_i >= m_text.size() || m_text.at(m_i) == close) {
                    ++m_i;
                    return;
                }
                if (m_text.at(m_i) == ',') {
                    ++m_i;
                    Space();
                }
                QString child = path + QLatin1Char('/');
                if (c == '{') {
                    const qsizetype keyAt = m_i;
                    child += String();
                    if (depth < 3)
                        m_at.insert(child, keyAt);
                    Space();
                    ++m_i; // ':'
                } else {
                    child += QString::number(index);
                }
                Value(depth < 3 ? child : path, depth + 1);
            }
        }
        if (c == '"') {
            String();
            return;
        }
        while (m_i < m_text.size() && !QByteArrayView(",]} \t\r\n").contains(m_text.at(m_i)))
            ++m_i;
    }

    const QByteArray m_text;
    qsizetype m_start = 0;
    qsizetype m_i = 0;
    QHash<QString, qsizetype> m_at;
};

// Edits (with swaps of neighbours) from one name to the other, in any letter case.
int distance(const QString &a, const QString &b)
{
    const QString x = a.toLower(), y = b.toLower();
    QList<QList<int>> d(x.size() + 1, QList<int>(y.size() + 1));
    for (qsizetype i = 0; i <= x.size(); ++i)
        d[i][0] = int(i);
    for (qsizetype j = 0; j <= y.size(); ++j)
        d[0][j] = int(j);
    for (qsizetype i = 1; i <= x.size(); ++i) {
        for (qsizetype j = 1; j <= y.size(); ++j) {
            const int cost = x.at(i - 1) == y.at(j - 1) ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && x.at(i - 1) == y.at(j - 2) && x.at(i - 2) == y.at(j - 1))
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[x.size()][y.size()];
}

// ": did you mean "X"?" for the nearest of the names, when one is close.
QString suggestion(const QString &given, const QStringList &names)
{
    // A name this long is no slip of the keyboard.
    if (given.size() > 64)
        return QString();
    QString best;
    int bestDistance = 3;
    for (const QString &name : names) {
        const int edits = distance(given, name);
        if (edits < bestDistance) {
            best = name;
            bestDistance = edits;
        }
    }
    return best.isEmpty() ? QString() : QStringLiteral(": did you mean \"%1\"?").arg(best);
}

bool hasType(const QJsonValue &value, KAVAtmActionKey::Type type)
{
    switch (type) {
    case KAVAtmActionKey::Type::String:
        return value.isString();
    case KAVAtmActionKey::Type::Integer:
        return value.isDouble() && std::floor(value.toDouble()) == value.toDouble();
    case KAVAtmActionKey::Type::Number:
        return value.isDouble();
    case KAVAtmActionKey::Type::Boolean:
        return value.isBool();
    case KAVAtmActionKey::Type::Object:
        return value.isObject();
    case KAVAtmActionKey::Type::Array:
        return value.isArray();
    }
    return false;
}

QString jsonTypeOf(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return QStringLiteral("a string");
    case QJsonValue::Double:
        return std::floor(value.toDouble()) == value.toDouble() ? QStringLiteral("an integer")
                                                                : QStringLiteral("a number");
    case QJsonValue::Bool:
        return QStringLiteral("a boolean");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    default:
        return QStringLiteral("null");
    }
}

// What a key of the wrong type, or a value clamped, reads as.
QString readsAs(const KAVAtmActionKey &key, const QJsonValue &value)
{
    if (value.isUndefined()) {
        switch (key.type) {
        case KAVAtmActionKey::Type::String:
            return QStringLiteral("\"\"");
        case KAVAtmActionKey::Type::Array:
            return QStringLiteral("[]");
        case KAVAtmActionKey::Type::Object:
            return QStringLiteral("{}");
        default:
            return QStringLiteral("nothing");
        }
    }
    if (value.isString())
        return QLatin1Char('"') + value.toString() + QLatin1Char('"');
    if (value.isBool())
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    return QString::fromUtf8(QJsonDocument(QJsonArray {value}).toJson(QJsonDocument::Compact))
        .mid(1)
        .chopped(1);
}

class Checker {
public:
    Checker(const QString &path, bool compile, bool missingBaselineWarns)
        : m_path(path), m_compile(compile), m_missingBaselineWarns(missingBaselineWarns)
    {
    }

    QList<CheckProblem> Run()
    {
        QByteArray content;
        QString reason;
        if (KAVAtmReadFile::Read(m_path, KAVAtmTestProcedureDef::MaximumFileSize, &content, &reason)
            != KAVAtmReadFile::Outcome::Read) {
            Add(CheckProblem::Error, m_path, 0, 0, reason);
            return m_problems;
        }
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(content, &error);
        if (error.error != QJsonParseError::NoError) {
            // The parser stops where the text stopped making sense.
            const QByteArray before = content.left(error.offset);
            const int line = int(before.count('\n')) + 1;
            const QByteArray last = before.mid(before.lastIndexOf('\n') + 1);
            const int column = int(std::count_if(last.cbegin(), last.cend(),
                                                 [](char c) { return (c & 0xc0) != 0x80; }));
            Add(CheckProblem::Error, m_path, line, column + 1,
                QStringLiteral("not JSON: %1").arg(error.errorString()));
            return m_problems;
        }
        if (!document.isObject()) {
            Add(CheckProblem::Error, m_path, 1, 1, QStringLiteral("not a JSON object"));
            return m_problems;
        }
        m_positions = std::make_unique<Positions>(content);
        CheckRoot(document.object());
        QList<qsizetype> offsets;
        for (const qsizetype offset : std::as_const(m_offsets))
            offsets.append(std::max<qsizetype>(offset, 0));
        const QList<std::pair<int, int>> places = m_positions->LinesAndColumns(offsets);
        for (qsizetype i = 0; i < m_problems.size(); ++i) {
            if (m_offsets.at(i) >= 0)
                std::tie(m_problems[i].line, m_problems[i].column) = places.at(i);
        }
        return m_problems;
    }

private:
    void Add(CheckProblem::Severity severity, const QString &file, int line, int column,
             const QString &message)
    {
        m_problems.append({severity, file, line, column, message});
        m_order.append(m_at);
        m_offsets.append(-1);
    }
    // A problem at the path in the procedure file: its line and column are found at the end.
    void At(CheckProblem::Severity severity, const QString &path, const QString &message)
    {
        m_at = m_positions->At(path);
        Add(severity, m_path, 0, 0, message);
        m_offsets.last() = m_at;
    }

    void CheckRoot(const QJsonObject &root)
    {
        bool version = false;
        const QString schema = root.value(QLatin1String("schema")).toString();
        const QString schemaId = KAVAtmTestProcedureDef::SchemaId;
        if (schema.startsWith(schemaId + QLatin1Char(':')))
            schema.mid(schemaId.size() + 1).toInt(&version, 10);
        if (!version)
            At(CheckProblem::Error, QStringLiteral("/schema"),
               QStringLiteral("\"schema\" must be \"%1:1\": the run refuses the file")
                   .arg(schemaId));
        if (root.value(QLatin1String("label")).toString().isEmpty())
            At(CheckProblem::Error, QStringLiteral("/label"),
               QStringLiteral("no \"label\": the run refuses the file"));
        const QStringList known {QStringLiteral("$schema"), QStringLiteral("schema"),
                                 QStringLiteral("name"), QStringLiteral("label"),
                                 QStringLiteral("actions")};
        for (auto it = root.begin(); it != root.end(); ++it) {
            if (!known.contains(it.key()))
                At(CheckProblem::Warning, QLatin1Char('/') + it.key(),
                   QStringLiteral("unknown key \"%1\"%2")
                       .arg(it.key(), suggestion(it.key(), known)));
        }
        const QJsonArray actions = root.value(QLatin1String("actions")).toArray();
        if (actions.isEmpty())
            At(CheckProblem::Error, QStringLiteral("/actions"),
               QStringLiteral("no actions: the run refuses the file"));
        for (qsizetype i = 0; i < actions.size(); ++i) {
            const qsizetype first = m_problems.size();
            CheckAction(actions.at(i), QStringLiteral("/actions/%1").arg(i));
            // In the order of the file: a script's problems where the action names it.
            QList<int> order(m_problems.size() - first);
            std::iota(order.begin(), order.end(), int(first));
            std::stable_sort(order.begin(), order.end(),
                             [this](int a, int b) { return m_order.at(a) < m_order.at(b); });
            QList<CheckProblem> sorted;
            QList<qsizetype> offsets;
            for (int index : std::as_const(order)) {
                sorted.append(m_problems.at(index));
                offsets.append(m_offsets.at(index));
            }
            std::copy(sorted.cbegin(), sorted.cend(), m_problems.begin() + first);
            std::copy(offsets.cbegin(), offsets.cend(), m_offsets.begin() + first);
        }
    }

    void CheckAction(const QJsonValue &value, const QString &path)
    {
        if (!value.isObject()) {
            At(CheckProblem::Error, path, QStringLiteral("an action must be a JSON object"));
            return;
        }
        const QJsonObject action = value.toObject();
        const QString given = action.value(QLatin1String("action")).toString();
        const QString type = KAVAtmActionKeys::Find(given);
        if (type.isEmpty()) {
            At(CheckProblem::Error, path + QStringLiteral("/action"),
               given.isEmpty() ? QStringLiteral("the action has no type (\"action\")")
                               : QStringLiteral("unknown action type \"%1\"%2")
                                     .arg(given, suggestion(given, KAVAtmActionKeys::Types())));
            return;
        }
        const QList<KAVAtmActionKey> keys = KAVAtmActionKeys::Keys(type);
        QStringList names;
        for (const KAVAtmActionKey &key : keys)
            names.append(key.name);
        for (auto it = action.begin(); it != action.end(); ++it) {
            if (!names.contains(it.key()))
                At(CheckProblem::Warning, path + QLatin1Char('/') + it.key(),
                   QStringLiteral("%1 does not read \"%2\"%3")
                       .arg(type, it.key(), suggestion(it.key(), names)));
        }
        for (const KAVAtmActionKey &key : keys)
            CheckKey(type, key, action, path);
        // Kept by a recording for reference: a reader would take it for the dialog's values.
        if (type == QLatin1String("LaunchCommand")
            && action.contains(QLatin1String("actionData"))) {
            m_at = m_positions->At(path + QStringLiteral("/actionData"));
            At(CheckProblem::Note, path + QStringLiteral("/actionData"),
               QStringLiteral("\"actionData\" is not used when the action runs: a "
                              "SetAutomationData after it gives the dialog its values"));
        }
    }

    void CheckKey(const QString &type, const KAVAtmActionKey &key, const QJsonObject &action,
                  const QString &path)
    {
        const QString at = path + QLatin1Char('/') + key.name;
        m_at = m_positions->At(at);
        if (!action.contains(key.name)) {
            if (key.required)
                At(CheckProblem::Error, path,
                   QStringLiteral("%1 without \"%2\"").arg(type, key.name));
            else if (key.expected)
                At(CheckProblem::Warning, path,
                   QStringLiteral("%1 without \"%2\": it checks nothing and passes")
                       .arg(type, key.name));
            return;
        }
        const QJsonValue value = action.value(key.name);
        if (key.required
            && (!hasType(value, key.type) || value.toString(QStringLiteral("x")).isEmpty())) {
            At(CheckProblem::Error, at,
               QStringLiteral("\"%1\" of %2 must be a text that is not empty").arg(key.name, type));
            return;
        }
        if (!hasType(value, key.type)) {
            // A text key of another type reads as "", which a key that clamps takes for none
            // of its values; a yes-or-no key of another type reads as no, whatever its default.
            const bool clamps = key.type == KAVAtmActionKey::Type::String && !key.values.isEmpty()
                && !key.otherValueFails && !key.clampedTo.isUndefined();
            const QJsonValue read = key.type == KAVAtmActionKey::Type::Boolean ? QJsonValue(false)
                : clamps                                                   ? key.clampedTo
                                                                           : key.defaultValue;
            At(CheckProblem::Warning, at,
               QStringLiteral("\"%1\" is %2, not %3: it reads as %4")
                   .arg(key.name, jsonTypeOf(value),
                        KAVAtmActionKeys::TypeName(key.type) == QLatin1String("integer")
                            ? QStringLiteral("an integer")
                            : QStringLiteral("a ") + KAVAtmActionKeys::TypeName(key.type),
                        readsAs(key, read)));
            return;
        }
        if (!std::isnan(key.minimum)) {
            const double number = value.toDouble();
            if (number < key.minimum || (key.exclusiveMinimum && number == key.minimum))
                At(CheckProblem::Warning, at,
                   QStringLiteral("\"%1\" is %2, out of range (%3 %4): it reads as %5")
                       .arg(key.name, readsAs(key, value),
                            key.exclusiveMinimum ? QStringLiteral(">") : QStringLiteral(">="),
                            QString::number(key.minimum), readsAs(key, key.clampedTo)));
        }
        if (!key.values.isEmpty() && !key.values.contains(value.toString(), Qt::CaseInsensitive))
            At(key.otherValueFails ? CheckProblem::Error : CheckProblem::Warning, at,
               QStringLiteral("\"%1\" is \"%2\", not one of %3%4%5")
                   .arg(key.name, value.toString(), key.values.join(QStringLiteral(", ")),
                        key.otherValueFails
                            ? QStringLiteral(": the action fails")
                            : QStringLiteral(": it reads as ") + readsAs(key, key.clampedTo),
                        suggestion(value.toString(), key.values)));
        if (key.names != KAVAtmActionKey::Names::Nothing && !value.toString().isEmpty())
            CheckFile(key, value.toString(), at);
        if (key.name == QLatin1String("importModules"))
            CheckModules(value.toArray(), at);
    }

    QString Resolve(const QString &file) const
    {
        return QDir::isAbsolutePath(file) ? file : QFileInfo(m_path).absoluteDir().filePath(file);
    }

    void CheckFile(const KAVAtmActionKey &key, const QString &file, const QString &at)
    {
        const QString path = Resolve(file);
        QByteArray content;
        QString reason;
        const qint64 limit = key.names == KAVAtmActionKey::Names::Script ? LargestScript : 0;
        switch (KAVAtmReadFile::Read(path, limit, &content, &reason)) {
        case KAVAtmReadFile::Outcome::Missing:
            if (key.names == KAVAtmActionKey::Names::Baseline && m_missingBaselineWarns)
                At(CheckProblem::Warning, at,
                   QStringLiteral("the baseline %1 does not exist: a run that writes no "
                                  "baselines fails here")
                       .arg(path));
            else if (key.names == KAVAtmActionKey::Names::Baseline)
                At(CheckProblem::Note, at,
                   QStringLiteral("the baseline %1 does not exist yet: the first run writes it")
                       .arg(path));
            else
                At(CheckProblem::Error, at, QStringLiteral("no such file: %1").arg(path));
            return;
        case KAVAtmReadFile::Outcome::NotRegular:
        case KAVAtmReadFile::Outcome::Unreadable:
            At(CheckProblem::Error, at, QStringLiteral("%1: %2").arg(path, reason));
            return;
        case KAVAtmReadFile::Outcome::TooLarge:
            if (key.names == KAVAtmActionKey::Names::Script)
                At(CheckProblem::Error, at, QStringLiteral("%1: %2").arg(path, reason));
            else if (key.names == KAVAtmActionKey::Names::Baseline
                     && QFileInfo(path).size() > KAVAtmTestActionDef::MaximumBaselineSize)
                At(CheckProblem::Error, at,
                   QStringLiteral("the baseline %1 is larger than %2 MiB")
                       .arg(path, QString::number(KAVAtmTestActionDef::MaximumBaselineSize >> 20)));
            return;
        case KAVAtmReadFile::Outcome::Read:
            break;
        }
        if (key.names == KAVAtmActionKey::Names::Baseline && content.isEmpty())
            At(CheckProblem::Error, at, QStringLiteral("the baseline %1 is empty").arg(path));
        if (key.names == KAVAtmActionKey::Names::Script && m_compile)
            Compile(path, content, true);
    }

    void CheckModules(const QJsonArray &modules, const QString &at)
    {
        KAVAtmActionKey file;
        file.names = KAVAtmActionKey::Names::File;
        for (qsizetype i = 0; i < modules.size(); ++i) {
            const QJsonObject module = modules.at(i).toObject();
            const QString name = module.value(QLatin1String("file")).toString();
            if (name.isEmpty())
                continue;
            // The host reads a relative name from its own working folder, unknown here.
            if (QDir::isRelativePath(name)) {
                At(CheckProblem::Note, at + QStringLiteral("/%1").arg(i),
                   QStringLiteral("the module %1 is found from the host's working folder: not "
                                  "checked")
                       .arg(name));
                continue;
            }
            const qsizetype before = m_problems.size();
            CheckFile(file, name, at + QStringLiteral("/%1").arg(i));
            // Evaluated files compile as scripts; modules only load by running.
            if (m_problems.size() == before && m_compile
                && module.value(QLatin1String("loadType")).toString(QStringLiteral("evaluate"))
                    != QLatin1String("import")) {
                QByteArray content;
                if (KAVAtmReadFile::Read(Resolve(name), LargestScript, &content)
                    == KAVAtmReadFile::Outcome::Read)
                    Compile(Resolve(name), content, false);
            }
        }
    }

    // Compiled, never run: the program throws before its first statement, and a parse error
    // still says its line. Wrapped as the host wraps it, so that both read the same text.
    void Compile(const QString &path, const QByteArray &content, bool expression)
    {
        QStringDecoder decoder(
            QStringConverter::encodingForData(content).value_or(QStringConverter::Utf8));
        const QString text = decoder.decode(content);
        if (decoder.hasError()) {
            Add(CheckProblem::Error, path, 0, 0, QStringLiteral("not UTF-8 or UTF-16 text"));
            return;
        }
        if (!m_engine)
            m_engine = std::make_unique<QJSEngine>();
        const QString never = QStringLiteral("throw 0; ");
        const QJSValue result
            = m_engine->evaluate(never + (expression ? KAVAtmJsEngine::WrapScript(text) : text),
                                 path, expression ? 0 : 1);
        if (result.isError()) {
            Add(CheckProblem::Error, path, result.property(QStringLiteral("lineNumber")).toInt(), 0,
                QStringLiteral("the script does not compile: %1").arg(result.toString()));
            return;
        }
        // "1); for (;;) {} (1" reads as an expression and then statements that the host runs
        // the moment it reads the file; inside a list, only expressions parse.
        if (expression
            && m_engine
                   ->evaluate(never + QStringLiteral("[") + KAVAtmJsEngine::WrapScript(text)
                              + QStringLiteral("]"))
                   .isError())
            Add(CheckProblem::Error, path, 0, 0,
                QStringLiteral("the script is not one function expression: what follows it "
                               "would run when the host reads the file"));
    }

    const QString m_path;
    const bool m_compile;
    const bool m_missingBaselineWarns;
    QList<CheckProblem> m_problems;
    std::unique_ptr<Positions> m_positions;
    std::unique_ptr<QJSEngine> m_engine;
    // Where in the procedure file each problem comes from, to put them in its order.
    qsizetype m_at = 0;
    QList<qsizetype> m_order;
    // Where in the file each problem is, -1 for one that has its own line (a script's).
    QList<qsizetype> m_offsets;
};

} // namespace

QString CheckProblem::Text() const
{
    static const char *const kinds[] = {"error", "warning", "note"};
    QString where = file;
    if (line > 0)
        where += QStringLiteral(":%1").arg(line);
    if (line > 0 && column > 0)
        where += QStringLiteral(":%1").arg(column);
    return QStringLiteral("%1: %2: %3").arg(where, QLatin1String(kinds[severity]), message);
}

QList<CheckProblem> CheckProcedureFile(const QString &path, bool compileScripts,
                                       bool missingBaselineWarns)
{
    return Checker(path, compileScripts, missingBaselineWarns).Run();
}

QList<int> ActionLines(const QByteArray &text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        return {};
    const qsizetype count = document.object().value(QLatin1String("actions")).toArray().size();
    const Positions positions(text);
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < count; ++i)
        offsets.append(positions.At(QStringLiteral("/actions/%1").arg(i)));
    QList<int> lines;
    for (const auto &[line, column] : positions.LinesAndColumns(offsets))
        lines.append(line);
    return lines;
}

namespace {

// A pattern that matches the text in any letter case (JSON Schema patterns have no flags).
QString anyCase(const QString &text)
{
    QString pattern = QStringLiteral("^");
    for (const QChar c : text) {
        if (c.isLetter())
            pattern += QStringLiteral("[%1%2]").arg(c.toLower(), c.toUpper());
        else if (QStringLiteral("\\^$.|?*+()[]{}").contains(c))
            pattern += QLatin1Char('\\') + c;
        else
            pattern += c;
    }
    return pattern + QLatin1Char('$');
}

QJsonObject keySchema(const KAVAtmActionKey &key)
{
    QJsonObject schema {{QStringLiteral("type"), KAVAtmActionKeys::TypeName(key.type)},
                        {QStringLiteral("description"), key.description}};
    if (!key.defaultValue.isUndefined())
        schema.insert(QStringLiteral("default"), key.defaultValue);
    if (!std::isnan(key.minimum))
        schema.insert(key.exclusiveMinimum ? QStringLiteral("exclusiveMinimum")
                                           : QStringLiteral("minimum"),
                      key.minimum);
    if (!key.values.isEmpty()) {
        QStringList patterns;
        for (const QString &value : key.values)
            patterns.append(anyCase(value).mid(1).chopped(1));
        schema.insert(QStringLiteral("pattern"),
                      QStringLiteral("^(%1)$").arg(patterns.join(QLatin1Char('|'))));
        schema.insert(QStringLiteral("examples"), QJsonArray::fromStringList(key.values));
    }
    return schema;
}

} // namespace

QByteArray ProcedureSchema()
{
    QJsonArray branches;
    QJsonArray types;
    for (const QString &type : KAVAtmActionKeys::Types()) {
        QJsonObject properties;
        QJsonArray required;
        for (const KAVAtmActionKey &key : KAVAtmActionKeys::Keys(type)) {
            QJsonObject schema = keySchema(key);
            if (key.name == QLatin1String("action")) {
                schema.insert(QStringLiteral("pattern"), anyCase(type));
                schema.insert(QStringLiteral("examples"), QJsonArray {type});
            }
            properties.insert(key.name, schema);
            if (key.required)
                required.append(key.name);
        }
        types.append(QJsonObject {{QStringLiteral("pattern"), anyCase(type)}});
        branches.append(QJsonObject {
            {QStringLiteral("if"),
             QJsonObject {
                 {QStringLiteral("properties"),
                  QJsonObject {{QStringLiteral("action"),
                                QJsonObject {{QStringLiteral("pattern"), anyCase(type)}}}}},
                 {QStringLiteral("required"), QJsonArray {QStringLiteral("action")}}}},
            {QStringLiteral("then"),
             QJsonObject {{QStringLiteral("description"), KAVAtmActionKeys::Description(type)},
                          {QStringLiteral("properties"), properties},
                          {QStringLiteral("required"), required},
                          {QStringLiteral("additionalProperties"), false}}}});
    }
    const QJsonObject action {
        {QStringLiteral("type"), QStringLiteral("object")},
        {QStringLiteral("required"), QJsonArray {QStringLiteral("action")}},
        {QStringLiteral("properties"),
         QJsonObject {{QStringLiteral("action"),
                       QJsonObject {{QStringLiteral("type"), QStringLiteral("string")},
                                    {QStringLiteral("description"),
                                     QStringLiteral("The action's type, in any letter case.")},
                                    {QStringLiteral("anyOf"), types},
                                    {QStringLiteral("examples"),
                                     QJsonArray::fromStringList(KAVAtmActionKeys::Types())}}}}},
        {QStringLiteral("allOf"), branches}};
    const QJsonObject schema {
        {QStringLiteral("$schema"), QStringLiteral("https://json-schema.org/draft/2020-12/schema")},
        {QStringLiteral("$id"), QString::fromLatin1(ProcedureSchemaFile)},
        {QStringLiteral("title"), QStringLiteral("KAVAutomation procedure")},
        {QStringLiteral("description"),
         QStringLiteral("A test procedure: actions the runner hands to the host one after the "
                        "other.")},
        {QStringLiteral("type"), QStringLiteral("object")},
        {QStringLiteral("required"),
         QJsonArray {QStringLiteral("schema"), QStringLiteral("label"), QStringLiteral("actions")}},
        {QStringLiteral("additionalProperties"), false},
        {QStringLiteral("properties"),
         QJsonObject {
             {QStringLiteral("$schema"),
              QJsonObject {{QStringLiteral("type"), QStringLiteral("string")},
                           {QStringLiteral("description"),
                            QStringLiteral("Where editors find this schema.")}}},
             {QStringLiteral("schema"),
              QJsonObject {{QStringLiteral("type"), QStringLiteral("string")},
                           {QStringLiteral("description"),
                            QStringLiteral("The file format and its version.")},
                           {QStringLiteral("pattern"),
                            QLatin1Char('^')
                                + QRegularExpression::escape(KAVAtmTestProcedureDef::SchemaId)
                                + QStringLiteral(":[0-9]+$")},
                           {QStringLiteral("default"),
                            KAVAtmTestProcedureDef::SchemaId + QStringLiteral(":1")}}},
             {QStringLiteral("name"),
              QJsonObject {{QStringLiteral("type"), QStringLiteral("string")},
                           {QStringLiteral("description"),
                            QStringLiteral("The procedure's name: reports and --grep use it.")}}},
             {QStringLiteral("label"),
              QJsonObject {{QStringLiteral("type"), QStringLiteral("string")},
                           {QStringLiteral("minLength"), 1},
                           {QStringLiteral("description"),
                            QStringLiteral("What the procedure does, for people.")}}},
             {QStringLiteral("actions"),
              QJsonObject {{QStringLiteral("type"), QStringLiteral("array")},
                           {QStringLiteral("minItems"), 1},
                           {QStringLiteral("items"), action}}}}}};
    return QJsonDocument(schema).toJson(QJsonDocument::Indented);
}

QString ActionKeysMarkdown(const QString &type)
{
    QString table = QStringLiteral("| Key | Type | Default | What it is |\n|---|---|---|---|\n");
    for (const KAVAtmActionKey &key : KAVAtmActionKeys::Keys(type)) {
        QString type = KAVAtmActionKeys::TypeName(key.type);
        if (!key.values.isEmpty())
            type += QStringLiteral(": ") + key.values.join(QStringLiteral(", "));
        QString fallback = key.required ? QStringLiteral("required")
            : key.defaultValue.isUndefined()
            ? QString()
            : QLatin1Char('`') + readsAs(key, key.defaultValue) + QLatin1Char('`');
        if (!std::isnan(key.minimum))
            type += QStringLiteral(", %1 %2").arg(key.exclusiveMinimum ? QStringLiteral(">")
                                                                       : QStringLiteral(">="),
                                                  QString::number(key.minimum));
        table
            += QStringLiteral("| `%1` | %2 | %3 | %4 |\n")
                   .arg(key.name, type, fallback,
                        QString(key.description).replace(QLatin1Char('|'), QStringLiteral("\\|")));
    }
    return table;
}
