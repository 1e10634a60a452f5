// KAVAutomationOrchestrator: runs test procedures on a host application it launches.

#include "commandline.h"
#include "procedurecheck.h"
#include "reportmerge.h"
#include "runner.h"
#include "signalwatcher.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QLoggingCategory>
#include <QtCore/QTimer>

#include <cstdio>

namespace {

int usageError(const QString &message)
{
    std::fprintf(stderr, "KAVAutomationOrchestrator: %s\nTry --help.\n", qPrintable(message));
    return ExitSetupError;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("KAVAutomationOrchestrator"));
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));

    const CommandLine line = ParseCommandLine(app.arguments());
    switch (line.action) {
    case CommandLine::Help:
        std::fputs(qPrintable(line.help), stdout);
        return ExitPassed;
    case CommandLine::Error:
        return usageError(line.error);
    case CommandLine::Merge:
        return MergeReports(line.mergeInto, line.mergeFrom);
    case CommandLine::Schema:
        std::fputs(ProcedureSchema().constData(), stdout);
        return ExitPassed;
    case CommandLine::Run:
        break;
    }
    const RunnerOptions &options = line.options;
    SignalWatcher signalWatcher;
    Runner runner(options);
    QObject::connect(&signalWatcher, &SignalWatcher::Received, &runner, &Runner::Interrupt);
    QObject::connect(&runner, &Runner::Finished, &app, [](int code) {
        QTimer::singleShot(0, qApp, [code] { QCoreApplication::exit(code); });
    });
    if (!runner.Start())
        return ExitSetupError;
    return app.exec();
}
