#ifndef CONSOLE_H
#define CONSOLE_H

#include <QtCore/QString>

#include <cstdio>

// The runner's lines: progress and results to standard output, problems to standard error,
// each flushed at once so that a CI log shows them as they happen.
namespace Console {

inline void out(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

inline void err(const QString &line)
{
    std::fputs(qPrintable(QStringLiteral("KAVAutomationOrchestrator: ") + line + QLatin1Char('\n')),
               stderr);
    std::fflush(stderr);
}

} // namespace Console

#endif // CONSOLE_H
