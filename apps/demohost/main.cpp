// CorvidApp: a small host application built on the host interface layer, integrating the
// automation library the way a host team would. Launched by the runner it connects back to
// it (KAVAtmOrchestratorPort) and runs what it is sent; launched by hand it is a plain viewer.

#include "corviddocument.h"
#include "corvidmainwindow.h"
#include "corvidplatform.h"

#include "kavatmtestactionresult.h"
#include "kavatmwaitprocessoractionbase.h"
#include "kavatmwaitupdateaction.h"
#include "kavsysinitcontext.h"

#include <QtCore/QCommandLineParser>
#include <QtCore/QFile>
#include <QtCore/QLoggingCategory>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>

#include <cstdlib>
#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("CorvidApp"));
    // The library's general debug lines are for debugging sessions, not for test runs.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Demo host application of KAVAutomation."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("documents"),
                                 QStringLiteral("Nesting documents (JSON) to open."));
    const QCommandLineOption noAutoNest(
        QStringLiteral("no-auto-nest"),
        QStringLiteral("Open documents without translating and nesting them."));
    // A test hook: the waits give up on work that never starts after two minutes (nesting,
    // translation) or thirty seconds (updates); tests shorten that.
    const QCommandLineOption startTimeout(
        QStringLiteral("wait-start-timeout"),
        QStringLiteral("Milliseconds the waits allow background work to start."),
        QStringLiteral("ms"));
    // A test hook: a host that fails after its last verdict, before the runner closes it.
    const QCommandLineOption quitAfter(
        QStringLiteral("quit-after-actions"),
        QStringLiteral("After N finished actions, exit with CODE, or crash when CODE is "
                       "\"crash\". With MARKER, only the first host to start does (it creates "
                       "the file): a flaky host."),
        QStringLiteral("N:CODE[:MARKER]"));
    parser.addOptions({noAutoNest, startTimeout, quitAfter});
    parser.process(app);
    if (parser.isSet(startTimeout)) {
        const int milliseconds = parser.value(startTimeout).toInt();
        KAVAtmWaitProcessorActionBase::SetStartTimeout(milliseconds);
        KAVAtmWaitUpdateAction::SetStartTimeout(milliseconds);
    }

    KAVSysInitContext init;

    CorvidPlatform platform;
    if (parser.isSet(noAutoNest))
        platform.SetDefaultUserSetting(QStringLiteral("autoNest"), false);
    platform.SetMode(KAVAtmEnums::PlatformMode(qEnvironmentVariableIntValue("KAVAtmPlatformMode")));
    const QStringList quitParts = parser.value(quitAfter).split(QLatin1Char(':'));
    const QString marker = quitParts.value(2);
    bool quits = parser.isSet(quitAfter);
    if (quits && !marker.isEmpty()) {
        QFile file(marker);
        quits = !file.exists() && file.open(QIODevice::WriteOnly);
    }
    if (quits) {
        const QStringList &parts = quitParts;
        const int count = parts.value(0).toInt();
        const QString code = parts.value(1, QStringLiteral("0"));
        auto finished = std::make_shared<int>(0);
        QObject::connect(&platform, &KAVAtmPlatform::ActionFinished, &platform, [=] {
            if (++*finished < count)
                return;
            QTimer::singleShot(0, [code] {
                // The last update goes out first.
                QCoreApplication::processEvents();
                QCoreApplication::processEvents();
                if (code == QLatin1String("crash"))
                    std::abort();
                std::_Exit(code.toInt());
            });
        });
    }
    CorvidMainWindow window(&platform);
    window.show();

    for (const QString &file : parser.positionalArguments()) {
        QString error;
        if (!platform.OpenDocument(file, &error))
            qWarning().noquote() << error;
    }
    if (!qEnvironmentVariableIsEmpty("KAVAtmOrchestratorPort"))
        QTimer::singleShot(0, &platform, &KAVAtmPlatform::OnTestEnvironmentReady);
    return app.exec();
}
