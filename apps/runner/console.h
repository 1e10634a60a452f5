#ifndef CONSOLE_H
#define CONSOLE_H

#include <QtCore/QString>

#include <cstdio>

// The runner's lines: progress and results to standard output, problems to standard error,
// each flushed at once so that a CI log shows them as they happen.
namespace Console {

// What a name or a message holds is shown, never obeyed: control characters and escape
// sequences are written escaped (a name cannot move the cursor over a FAIL line, a NUL cannot
// cut the line short), and a lone UTF-16 surrogate becomes U+FFFD.
inline QByteArray printable(const QString &line)
{
    QString shown;
    shown.reserve(line.size());
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < line.size() && line.at(i + 1).isLowSurrogate()) {
            shown += c;
            shown += line.at(++i);
        } else if (c.isSurrogate()) {
            shown += QChar::ReplacementCharacter;
        } else if ((u < 0x20 && u != '\n' && u != '\t') || (u >= 0x7f && u < 0xa0)) {
            shown += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        } else {
            shown += c;
        }
    }
    return shown.toLocal8Bit();
}

// A name on one line: a line break in it cannot start a line of its own ("Summary: ...").
inline QString oneLine(QString text)
{
    return text.replace(QLatin1Char('\n'), QLatin1String("\\n"))
        .replace(QLatin1Char('\r'), QLatin1String("\\r"));
}

inline void out(const QString &line)
{
    std::fputs(printable(line + QLatin1Char('\n')).constData(), stdout);
    std::fflush(stdout);
}

inline void err(const QString &line)
{
    std::fputs(printable(QStringLiteral("KAVAutomationOrchestrator: ") + line + QLatin1Char('\n'))
                   .constData(),
               stderr);
    std::fflush(stderr);
}

} // namespace Console

#endif // CONSOLE_H
