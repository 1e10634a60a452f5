#include "reportjson.h"

#include "kavatmenums.h"
#include "kavatmreadfile.h"
#include "kavatmtestactionresult.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QIODevice>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>

namespace ReportJson {

Verdict ActionVerdict(const QJsonObject &action)
{
    if (action.value(QLatin1String("status")).toInt() != KAVAtmEnums::Completed)
        return Verdict::NotRun;
    switch (action.value(QLatin1String("result")).toInt()) {
    case KAVAtmEnums::Pass:
        return Verdict::Pass;
    case KAVAtmEnums::Warning:
        return Verdict::Warning;
    case KAVAtmEnums::Fail:
        return Verdict::Fail;
    default:
        return Verdict::NotRun;
    }
}

bool ProcedurePassed(const QJsonObject &procedure)
{
    const QJsonArray actions = procedure.value(QLatin1String("actionResults")).toArray();
    return std::all_of(actions.begin(), actions.end(), [](const QJsonValue &action) {
        const Verdict verdict = ActionVerdict(action.toObject());
        return verdict == Verdict::Pass || verdict == Verdict::Warning;
    });
}

int ContentExitCode(const QJsonObject &report)
{
    const bool failOnFlaky = report.value(QLatin1String("failOnFlaky")).toBool();
    for (const QJsonValue &procedure : report.value(QLatin1String("procedures")).toArray()) {
        if (!ProcedurePassed(procedure.toObject())
            || (failOnFlaky && procedure[QLatin1String("flaky")].toBool()))
            return 1;
    }
    for (const char *key : {"notStarted", "invalidProcedures", "clientErrors", "reportErrors"}) {
        if (!report.value(QLatin1String(key)).toArray().isEmpty())
            return 1;
    }
    return report.value(QLatin1String("finished")).toBool() ? 0 : 1;
}

namespace {

// The report with each attachment of each action replaced by what change makes of it.
template<typename Change> QJsonObject changeAttachments(QJsonObject report, Change change)
{
    QJsonArray procedures = report.value(QLatin1String("procedures")).toArray();
    for (qsizetype p = 0; p < procedures.size(); ++p) {
        QJsonObject procedure = procedures.at(p).toObject();
        QJsonArray actions = procedure.value(QLatin1String("actionResults")).toArray();
        bool changed = false;
        // The trace's page and each attempt's files go where its procedure's files go.
        const auto changePath = [&change](QJsonObject &object, const char *key) {
            if (!object.contains(QLatin1String(key)))
                return;
            const QJsonObject changedPath = change(QJsonObject {
                {QStringLiteral("kind"), QLatin1String(key)},
                {QStringLiteral("path"), object.value(QLatin1String(key)).toString()}});
            if (changedPath.isEmpty())
                object.remove(QLatin1String(key));
            else
                object.insert(QLatin1String(key), changedPath.value(QLatin1String("path")));
        };
        changePath(procedure, "trace");
        QJsonArray attempts = procedure.value(QLatin1String("attemptResults")).toArray();
        for (qsizetype a = 0; a < attempts.size(); ++a) {
            QJsonObject attempt = attempts.at(a).toObject();
            changePath(attempt, "trace");
            changePath(attempt, "folder");
            QJsonArray failures = attempt.value(QLatin1String("failures")).toArray();
            for (qsizetype f = 0; f < failures.size(); ++f) {
                QJsonObject failure = failures.at(f).toObject();
                QJsonArray kept;
                for (const QJsonValue &attachment :
                     failure.value(QLatin1String("attachments")).toArray()) {
                    QJsonObject given = attachment.toObject();
                    given.remove(QStringLiteral("embedded"));
                    const QJsonObject changedAttachment = change(given);
                    if (!changedAttachment.isEmpty())
                        kept.append(changedAttachment);
                }
                if (failure.contains(QLatin1String("attachments")))
                    failure.insert(QStringLiteral("attachments"), kept);
                failures[f] = failure;
            }
            if (!failures.isEmpty())
                attempt.insert(QStringLiteral("failures"), failures);
            attempts[a] = attempt;
        }
        if (!attempts.isEmpty())
            procedure.insert(QStringLiteral("attemptResults"), attempts);
        changed = true;
        for (qsizetype a = 0; a < actions.size(); ++a) {
            QJsonObject action = actions.at(a).toObject();
            QJsonArray attachments = action.value(QLatin1String("attachments")).toArray();
            if (attachments.isEmpty())
                continue;
            QJsonArray kept;
            for (const QJsonValue &attachment : std::as_const(attachments)) {
                // Only data URIs made here: one read from a report is no image of the run's.
                QJsonObject given = attachment.toObject();
                given.remove(QStringLiteral("embedded"));
                const QJsonObject changedAttachment = change(given);
                if (!changedAttachment.isEmpty())
                    kept.append(changedAttachment);
            }
            if (kept.isEmpty())
                action.remove(QStringLiteral("attachments"));
            else
                action.insert(QStringLiteral("attachments"), kept);
            actions[a] = action;
            changed = true;
        }
        if (!changed)
            continue;
        procedure.insert(QStringLiteral("actionResults"), actions);
        procedures[p] = procedure;
    }
    report.insert(QStringLiteral("procedures"), procedures);
    return report;
}

} // namespace

QJsonObject RebaseAttachments(const QJsonObject &report, const QString &from, const QString &to)
{
    const QDir source(QFileInfo(from).absoluteFilePath());
    const QDir target(QFileInfo(to).absoluteFilePath());
    const QString canonicalSource = QFileInfo(source.path()).canonicalFilePath();
    return changeAttachments(report, [&](QJsonObject attachment) {
        // A file outside the report's folder is no file of its run: a CI server that collects
        // attachments would publish whatever a report named.
        const QString path
            = source.absoluteFilePath(attachment.value(QLatin1String("path")).toString());
        const QString canonical = QFileInfo(path).canonicalFilePath();
        const bool inside = canonical.isEmpty()
            ? QDir::cleanPath(path).startsWith(source.path() + QLatin1Char('/'))
            : !canonicalSource.isEmpty()
                && canonical.startsWith(canonicalSource + QLatin1Char('/'));
        if (!inside)
            return QJsonObject();
        attachment.insert(QStringLiteral("path"), target.relativeFilePath(path));
        return attachment;
    });
}

QJsonObject EmbedScreenshots(const QJsonObject &report, const QString &folder,
                             const QStringList &roots, qint64 budget)
{
    QStringList inside;
    for (const QString &root : roots) {
        const QString canonical = QFileInfo(root).canonicalFilePath();
        if (!canonical.isEmpty())
            inside.append(canonical + QLatin1Char('/'));
    }
    const QDir base(QFileInfo(folder).absoluteFilePath());
    qint64 left = budget;
    return changeAttachments(report, [&](QJsonObject attachment) {
        const QString kind = attachment.value(QLatin1String("kind")).toString();
        if (kind != QLatin1String("screenshot") && !KAVAtmTestActionResult::ImageKinds.contains(kind))
            return attachment;
        // Only the runs' own files: a report names what it likes.
        const QString path
            = QFileInfo(base.absoluteFilePath(attachment.value(QLatin1String("path")).toString()))
                  .canonicalFilePath();
        if (path.isEmpty()
            || std::none_of(inside.cbegin(), inside.cend(),
                            [&](const QString &root) { return path.startsWith(root); }))
            return attachment;
        QByteArray png;
        const qint64 room = left * 3 / 4;
        if (room <= 0 || KAVAtmReadFile::Read(path, room, &png) != KAVAtmReadFile::Outcome::Read
            || !png.startsWith("\x89PNG\r\n\x1a\n"))
            return attachment;
        const QByteArray uri = "data:image/png;base64," + png.toBase64();
        left -= uri.size();
        attachment.insert(QStringLiteral("embedded"), QString::fromLatin1(uri));
        return attachment;
    });
}

namespace {

// The position of the next character that XML cannot hold (a lone surrogate, a control
// character other than tab and line breaks, a non-character), or -1.
qsizetype nextUnfit(const QString &text, qsizetype from)
{
    for (qsizetype i = from; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        const char16_t u = c.unicode();
        if (c.isSurrogate() || (u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0xFFFE
            || u == 0xFFFF)
            return i;
    }
    return -1;
}

bool unfit(const QString &text)
{
    return nextUnfit(text, 0) >= 0;
}

// Copies only what changes: a large report of fit text is shared, not duplicated.
bool printableValue(QJsonValue &value)
{
    if (value.isString()) {
        const QString text = value.toString();
        if (!unfit(text))
            return false;
        value = PrintableText(text);
        return true;
    }
    if (value.isArray()) {
        QJsonArray array = value.toArray();
        bool changed = false;
        for (qsizetype i = 0; i < array.size(); ++i) {
            QJsonValue element = array.at(i);
            if (printableValue(element)) {
                array.replace(i, element);
                changed = true;
            }
        }
        if (changed)
            value = array;
        return changed;
    }
    if (value.isObject()) {
        QJsonObject object = value.toObject();
        bool changed = false;
        for (const QString &key : object.keys()) {
            QJsonValue member = object.value(key);
            const bool renamed = unfit(key);
            if (printableValue(member) || renamed) {
                if (renamed)
                    object.remove(key);
                object.insert(renamed ? PrintableText(key) : key, member);
                changed = true;
            }
        }
        if (changed)
            value = object;
        return changed;
    }
    return false;
}

} // namespace

QString PrintableText(const QString &text)
{
    QString printable = text;
    for (qsizetype i = nextUnfit(printable, 0); i >= 0; i = nextUnfit(printable, i + 1))
        printable[i] = QChar::ReplacementCharacter;
    return printable;
}

QJsonObject Printable(const QJsonObject &report)
{
    QJsonValue value(report);
    printableValue(value);
    return value.toObject();
}

Counts CountActions(const QJsonObject &report)
{
    Counts counts;
    for (const QJsonValue &procedure : report.value(QLatin1String("procedures")).toArray()) {
        for (const QJsonValue &action : procedure[QLatin1String("actionResults")].toArray()) {
            const Verdict verdict = ActionVerdict(action.toObject());
            counts.passed += verdict == Verdict::Pass;
            counts.warnings += verdict == Verdict::Warning;
            counts.failed += verdict == Verdict::Fail;
            counts.notRun += verdict == Verdict::NotRun;
        }
    }
    return counts;
}

QString ProcedureTitle(const QString &name, const QString &label)
{
    if (!name.isEmpty())
        return name;
    return label.isEmpty() ? QStringLiteral("(no procedure)") : label;
}

QString ProcedureName(const QJsonObject &procedure)
{
    return ProcedureTitle(procedure.value(QLatin1String("name")).toString(),
                          procedure.value(QLatin1String("label")).toString());
}

QString ActionTitle(const QString &name, const QString &type)
{
    return name.isEmpty() ? type : QStringLiteral("%1 (%2)").arg(name, type);
}

QString ActionTitle(const QJsonObject &action)
{
    return ActionTitle(action.value(QLatin1String("name")).toString(),
                       action.value(QLatin1String("actionType")).toString());
}

QDateTime Time(const QJsonValue &text)
{
    // Read as UTC from the start: a parse in local time asks the system's time zone (a stat of
    // its file) for every time of a report that may hold a million.
    const QString value = text.toString();
    const qsizetype space = value.indexOf(QLatin1Char(' '));
    if (space < 0)
        return QDateTime();
    const QDate date = QDate::fromString(value.left(space), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(value.mid(space + 1), QStringLiteral("HH:mm:ss.zzz"));
    return date.isValid() && time.isValid() ? QDateTime(date, time, Qt::UTC) : QDateTime();
}

double Seconds(const QJsonObject &item)
{
    const QDateTime start = Time(item.value(QLatin1String("startTime")));
    const QDateTime end = Time(item.value(QLatin1String("endTime")));
    return start.isValid() && end.isValid() ? qMax<qint64>(0, start.msecsTo(end)) / 1000.0 : 0.0;
}

bool ShardOrder(const QString &fileA, const QString &fileB)
{
    const QFileInfo a(fileA), b(fileB);
    return a.fileName() != b.fileName() ? a.fileName() < b.fileName()
                                        : a.absoluteFilePath() < b.absoluteFilePath();
}

namespace {

// The lines of a one-member wrapper's text, its brackets cut off, indented one level more: what
// the member reads as inside an object that is itself inside the report.
QByteArray inner(const QByteArray &wrapped, int indent)
{
    const qsizetype begin = wrapped.indexOf('\n') + 1;
    const qsizetype end = wrapped.lastIndexOf('\n', wrapped.size() - 2) + 1;
    QByteArray text;
    const QByteArray pad(indent, ' ');
    for (qsizetype line = begin; line < end;) {
        const qsizetype next = wrapped.indexOf('\n', line) + 1;
        text += pad;
        text += QByteArrayView(wrapped).sliced(line, next - line);
        line = next;
    }
    return text;
}

// Without its line break, a comma after it unless it is the last.
QByteArray item(QByteArray text, bool last)
{
    text.chop(1);
    return text + (last ? "\n" : ",\n");
}

} // namespace

bool WriteJson(QIODevice &device, const QJsonObject &report)
{
    bool written = device.write("{\n") == 2;
    const auto write = [&device, &written](const QByteArray &text) {
        written = written && device.write(text) == text.size();
    };
    for (auto member = report.begin(); member != report.end() && written; ++member) {
        const bool last = std::next(member) == report.end();
        const QJsonArray array = member->toArray();
        if (array.isEmpty()) {
            const QJsonObject alone {{member.key(), *member}};
            write(item(inner(QJsonDocument(alone).toJson(), 0), last));
            continue;
        }
        // A long list a member at a time: the report is never printed whole.
        const QByteArray opening
            = inner(QJsonDocument(QJsonObject {{member.key(), 0}}).toJson(), 0);
        write(opening.left(opening.lastIndexOf(':') + 2) + "[\n");
        for (qsizetype i = 0; i < array.size() && written; ++i)
            write(item(inner(QJsonDocument(QJsonArray {array.at(i)}).toJson(), 4),
                       i + 1 == array.size()));
        write(last ? "    ]\n" : "    ],\n");
    }
    write("}\n");
    return written;
}

} // namespace ReportJson
