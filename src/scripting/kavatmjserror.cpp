#include "kavatmjserror_p.h"
#include "kavatmreadfile.h"
#include "kavatmtestactionresult.h"

#include <QtCore/QJsonArray>
#include <QtCore/QRegularExpression>
#include <QtCore/QStringDecoder>
#include <QtCore/QUrl>
#include <QtQml/QJSValue>

namespace KAVAtmJsError {
namespace {

// A script larger than this shows no context: the report is not the place for it.
constexpr qint64 LargestContextFile = 16 * 1024 * 1024;

QString localPath(const QString &url)
{
    const QUrl parsed(url);
    return parsed.isLocalFile() ? parsed.toLocalFile() : url;
}

// The lines around line of the file, when it is a regular file that reads as text: an error
// names whatever file it likes.
QJsonObject context(const QString &path, int line)
{
    QByteArray content;
    if (KAVAtmReadFile::Read(path, LargestContextFile, &content) != KAVAtmReadFile::Outcome::Read)
        return QJsonObject();
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(content);
    if (decoder.hasError())
        return QJsonObject();
    const QStringList lines = text.split(QLatin1Char('\n'));
    if (line > lines.size())
        return QJsonObject();
    const int first = qMax(1, line - ContextLines);
    const int last = qMin(int(lines.size()), line + ContextLines);
    QJsonArray shown;
    for (int i = first; i <= last; ++i) {
        QString shownLine = lines.at(i - 1);
        if (shownLine.endsWith(QLatin1Char('\r')))
            shownLine.chop(1);
        shown.append(shownLine);
    }
    return QJsonObject {{QStringLiteral("first"), first}, {QStringLiteral("lines"), shown}};
}

} // namespace

QJsonObject Location(const QJSValue &error)
{
    if (!error.isObject())
        return QJsonObject();
    QString file;
    int line = 0;
    // "function@url:line", innermost first.
    static const QRegularExpression frame(QStringLiteral("^[^@]*@(.+):(\\d+)$"));
    const QStringList frames = error.property(QStringLiteral("stack")).toString().split(
        QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &text : frames) {
        const QRegularExpressionMatch match = frame.match(text.trimmed());
        if (!match.hasMatch() || match.captured(1).startsWith(QLatin1String("qrc:")))
            continue;
        file = localPath(match.captured(1));
        line = match.captured(2).toInt();
        break;
    }
    if (file.isEmpty()) {
        // A syntax error has no frame in the script it is in.
        file = localPath(error.property(QStringLiteral("fileName")).toString());
        line = error.property(QStringLiteral("lineNumber")).toInt();
        if (file.startsWith(QLatin1String("qrc:")) || file == QLatin1String("undefined"))
            return QJsonObject();
    }
    if (file.isEmpty() || line <= 0)
        return QJsonObject();
    QJsonObject location {{QStringLiteral("file"), file}, {QStringLiteral("line"), line}};
    const QJsonObject around = context(file, line);
    if (!around.isEmpty())
        location.insert(QStringLiteral("context"), around);
    return location;
}

void AddTo(const QJSValue &error, KAVAtmTestActionResult *result)
{
    if (!result || !error.isObject())
        return;
    result->SetLocation(Location(error));
    const QJSValue stack = error.property(QStringLiteral("stack"));
    if (stack.isString()) {
        QStringList frames = stack.toString().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (QString &text : frames) {
            // As a person reads a path.
            const qsizetype at = text.indexOf(QLatin1Char('@'));
            const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
            if (at >= 0 && colon > at)
                text = text.left(at + 1) + localPath(text.mid(at + 1, colon - at - 1))
                    + text.mid(colon);
        }
        result->SetStack(frames.join(QLatin1Char('\n')));
    }
}

} // namespace KAVAtmJsError
