#include "commandline.h"

#include "kavatmorchestratorconfiguration.h"

#include <QtCore/QCommandLineParser>
#include <QtCore/QProcessEnvironment>

namespace {

bool parseMode(const QString &text, KAVAtmEnums::PlatformMode *mode)
{
    const QString lower = text.toLower();
    if (lower == QLatin1String("batch"))
        *mode = KAVAtmEnums::Batch;
    else if (lower == QLatin1String("uibatch"))
        *mode = KAVAtmEnums::UiBatch;
    else if (lower == QLatin1String("recording"))
        *mode = KAVAtmEnums::Recording;
    else if (lower == QLatin1String("externalbatch"))
        *mode = KAVAtmEnums::ExternalBatch;
    else
        return false;
    return true;
}

} // namespace

bool ShardFromEnvironment(const QProcessEnvironment &environment, int *index, int *count,
                          QString *source, QString *error)
{
    struct Scheme {
        const char *index;
        const char *count;
        int first; // the index of the first shard
    };
    static const Scheme schemes[] = {
        {"CI_NODE_INDEX", "CI_NODE_TOTAL", 1},
        {"CIRCLE_NODE_INDEX", "CIRCLE_NODE_TOTAL", 0},
        {"BUILDKITE_PARALLEL_JOB", "BUILDKITE_PARALLEL_JOB_COUNT", 0},
        {"JOB_COMPLETION_INDEX", "KAV_SHARD_TOTAL", 0},
    };
    for (const Scheme &scheme : schemes) {
        const QString indexName = QString::fromLatin1(scheme.index);
        const QString countName = QString::fromLatin1(scheme.count);
        if (!environment.contains(indexName))
            continue;
        bool indexOk = false, countOk = false;
        const QString indexText = environment.value(indexName);
        const QString countText = environment.value(countName);
        const int given = indexText.toInt(&indexOk);
        *count = countText.toInt(&countOk);
        if (!environment.contains(countName)) {
            *error = QStringLiteral("--shard auto: %1 is set but %2 is not.")
                         .arg(indexName, countName);
            return false;
        }
        if (!countOk || *count < 1) {
            *error = QStringLiteral("--shard auto: %1=%2 is not a number of shards.")
                         .arg(countName, countText);
            return false;
        }
        *index = given - scheme.first + 1;
        if (!indexOk || *index < 1 || *index > *count) {
            *error = QStringLiteral("--shard auto: %1=%2 is not a shard of %3=%4.")
                         .arg(indexName, indexText, countName, countText);
            return false;
        }
        *source = QStringLiteral("%1=%2, %3=%4").arg(indexName, indexText, countName, countText);
        return true;
    }
    *error = QStringLiteral("--shard auto: none of CI_NODE_INDEX, CIRCLE_NODE_INDEX, "
                            "BUILDKITE_PARALLEL_JOB or JOB_COMPLETION_INDEX is set.");
    return false;
}

CommandLine ParseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs test procedures on a host application: launches the client named in the "
        "configuration, runs the procedures on it, prints a line per finished action and a "
        "summary, and writes report.json and the result files into the output folder.\n"
        "\n"
        "Exit codes:\n"
        "  0  every action completed with Pass or Warning (recording: the recording was "
        "written whole)\n"
        "  1  an action failed or did not run (a client that exited, fell silent or ran "
        "past the time-out fails what it did not complete; an invalid procedure file does "
        "not run), a client crashed or exited with a non-zero code, or (with "
        "--fail-on-flaky) a procedure passed only on a retry\n"
        "  2  usage or set-up error (no clients, no valid procedure, listening failed, "
        "the client could not be started), or the report could not be written\n"
        "  128+N  interrupted by signal N (SIGINT, SIGTERM, SIGHUP): the client was stopped, "
        "what it did not complete failed as interrupted, and the report was written"));
    parser.addHelpOption();
    const QCommandLineOption config(QStringLiteral("config"),
                                    QStringLiteral("The client configuration (default: %1).")
                                        .arg(KAVAtmOrchestratorConfiguration::GetDefaultFilePath()),
                                    QStringLiteral("file"));
    const QCommandLineOption client(QStringLiteral("client"),
                                    QStringLiteral("Display name of the client to launch (default: "
                                                   "the first one)."),
                                    QStringLiteral("name"));
    const QCommandLineOption mode(QStringLiteral("mode"),
                                  QStringLiteral("batch, uibatch, recording or externalbatch "
                                                 "(default: batch)."),
                                  QStringLiteral("mode"), QStringLiteral("batch"));
    const QCommandLineOption output(QStringLiteral("output"),
                                    QStringLiteral("Folder for the report and result files, "
                                                   "created when missing (default: ./results)."),
                                    QStringLiteral("dir"), QStringLiteral("results"));
    const QCommandLineOption timeout(QStringLiteral("timeout"),
                                     QStringLiteral("Overall time-out of the run, 0 for none "
                                                    "(default: 0)."),
                                     QStringLiteral("seconds"), QStringLiteral("0"));
    const QCommandLineOption connectTimeout(
        QStringLiteral("connect-timeout"),
        QStringLiteral("Time for the launched client to connect (default: 60)."),
        QStringLiteral("seconds"), QStringLiteral("60"));
    const QCommandLineOption grace(QStringLiteral("grace"),
                                   QStringLiteral("Time past an action's own time-out before a "
                                                  "silent client is stopped (default: 30)."),
                                   QStringLiteral("seconds"), QStringLiteral("30"));
    const QCommandLineOption quiet(QStringLiteral("quiet-client"),
                                   QStringLiteral("Drop the client's own output instead of "
                                                  "passing it to standard error."));
    const QCommandLineOption builtInKey(
        QStringLiteral("accept-builtin-key"),
        QStringLiteral("Also accept clients that prove the built-in key instead of the secret "
                       "they were launched with (hosts that ignore KAVAtmClientSecret). Any "
                       "local program can prove that key: off by default."));
    const QCommandLineOption record(
        QStringLiteral("record"),
        QStringLiteral("Recording mode (implied): record what is done in the client until it "
                       "exits or recording stops, and write it as a procedure file "
                       "(default: <output>/recording.json). Procedure files are optional "
                       "and run first, while recording."),
        QStringLiteral("file"));
    const QCommandLineOption force(
        QStringLiteral("force"),
        QStringLiteral("Let --record replace an existing file that is not a procedure file."));
    const QCommandLineOption grep(
        QStringLiteral("grep"),
        QStringLiteral("Run only the procedures whose name or label contains the text (any "
                       "letter case)."),
        QStringLiteral("text"));
    const QCommandLineOption list(QStringLiteral("list"),
                                  QStringLiteral("Print the procedures and actions that would run, "
                                                 "with their types, and exit; launches nothing."));
    const QCommandLineOption junit(QStringLiteral("junit"),
                                   QStringLiteral("Also write the results as JUnit XML: a "
                                                  "testsuite per procedure, a testcase per "
                                                  "action."),
                                   QStringLiteral("file"));
    const QCommandLineOption shard(
        QStringLiteral("shard"),
        QStringLiteral("Run only shard I of N of the procedure files (a split by file name, the "
                       "same whatever the order of the arguments), for N CI machines; auto "
                       "reads I and N from the CI's variables (GitLab CI_NODE_INDEX/"
                       "CI_NODE_TOTAL, CircleCI CIRCLE_NODE_INDEX/CIRCLE_NODE_TOTAL, Buildkite "
                       "BUILDKITE_PARALLEL_JOB/BUILDKITE_PARALLEL_JOB_COUNT, a Kubernetes "
                       "Indexed Job's JOB_COMPLETION_INDEX with KAV_SHARD_TOTAL)."),
        QStringLiteral("I/N"));
    const QCommandLineOption durations(
        QStringLiteral("durations"),
        QStringLiteral("With --shard: deal the files by the procedure durations of an earlier "
                       "report.json (a run's or a merge's), so that the shards take about as "
                       "long; a file it does not list counts as the median."),
        QStringLiteral("report"));
    const QCommandLineOption retries(
        QStringLiteral("retries"),
        QStringLiteral("Run a failing procedure again on a fresh client, up to N times; one "
                       "that passes on a retry counts as passed and is reported flaky "
                       "(default: 0)."),
        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption jobs(
        QStringLiteral("jobs"),
        QStringLiteral("Run up to N clients at once; each procedure runs whole on the next free "
                       "one, and a client that dies takes only its own procedure down "
                       "(default: 1)."),
        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption isolation(
        QStringLiteral("isolation"),
        QStringLiteral("client (default): a host runs procedure after procedure, each beginning "
                       "with the host's reset; procedure: each procedure on a fresh host, "
                       "nothing left from another (with --jobs as given)."),
        QStringLiteral("level"), QStringLiteral("client"));
    const QCommandLineOption html(QStringLiteral("html"),
                                  QStringLiteral("Also write the results as one self-contained "
                                                 "HTML page."),
                                  QStringLiteral("file"));
    const QCommandLineOption merge(
        QStringLiteral("merge"),
        QStringLiteral("Instead of running: combine the report.json of each folder given (the "
                       "output folders of shards) into report.json, junit.xml and report.html "
                       "in the folder named; exits with the worst of their codes."),
        QStringLiteral("dir"));
    const QCommandLineOption updateBaselines(
        QStringLiteral("update-baselines"),
        QStringLiteral("Which baselines script and assertion actions write from their data: "
                       "none (nothing is written, and a baseline that does not exist fails its "
                       "action), missing (those that do not exist yet), changed (also those an "
                       "action failed against) or all (default: none when the CI environment "
                       "variable is set, else missing). A failed comparison whose baseline is "
                       "kept writes its actual data beside it, as <baseline>.actual.json."),
        QStringLiteral("which"), QStringLiteral("missing"));
    const QCommandLineOption screenshots(
        QStringLiteral("screenshots"),
        QStringLiteral("When the host's windows are kept as a PNG beside the results and shown "
                       "in the reports: failures (after each failed action), all (after every "
                       "action) or off (default: failures)."),
        QStringLiteral("when"), QStringLiteral("failures"));
    const QCommandLineOption failOnFlaky(
        QStringLiteral("fail-on-flaky"),
        QStringLiteral("With --retries: a procedure that passed only on a retry fails the run "
                       "(exit 1), for teams that quarantine flaky procedures."));
    const QCommandLineOption lastFailed(
        QStringLiteral("last-failed"),
        QStringLiteral("Run only the procedure files that failed or did not run in an earlier "
                       "report.json (matched by path, else by file name); none: nothing runs, "
                       "and the run passes."),
        QStringLiteral("report"));
    const QCommandLineOption repeatEach(
        QStringLiteral("repeat-each"),
        QStringLiteral("Run each procedure N times, each on a fresh client, to hunt "
                       "flakiness; it passes only when every run passed, and the summary says "
                       "how many did (default: 1)."),
        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption trace(
        QStringLiteral("trace"),
        QStringLiteral("Keep a step trace of each procedure attempt in its folder, as "
                       "trace/trace.ndjson with a screenshot and the widgets of every step, "
                       "shown by trace/trace.html: on, retain-on-failure (only attempts that "
                       "failed keep theirs) or off (default)."),
        QStringLiteral("when"), QStringLiteral("off"));
    const QCommandLineOption check(
        QStringLiteral("check"),
        QStringLiteral("Instead of running: read the procedures as a run would (after --grep "
                       "and --shard) and report every problem with file:line:column; launches "
                       "nothing. Exits 1 when there are errors."));
    const QCommandLineOption strict(
        QStringLiteral("strict"),
        QStringLiteral("Warnings of the procedure check fail it too: with --check, exit 1; "
                       "before a run, nothing runs (exit 2). A baseline that does not exist "
                       "is a warning then."));
    const QCommandLineOption schema(
        QStringLiteral("schema"),
        QStringLiteral("Print the JSON Schema of procedure files and exit."));
    parser.addOptions({config,    client,          mode,        output, timeout, connectTimeout,
                       grace,     quiet,           builtInKey,  record, force,   grep,
                       list,      junit,           html,        shard,  retries, jobs,
                       merge,     updateBaselines, screenshots, check,  strict,  schema,
                       isolation, durations,      trace,       failOnFlaky,
                       lastFailed, repeatEach});
    parser.addPositionalArgument(QStringLiteral("procedures"),
                                 QStringLiteral("Procedure files to run, in order."),
                                 QStringLiteral("procedure.json..."));
    CommandLine line;
    const auto error = [&line](const QString &message) {
        line.action = CommandLine::Error;
        line.error = message;
        return line;
    };
    if (!parser.parse(arguments))
        return error(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        line.action = CommandLine::Help;
        line.help = parser.helpText();
        return line;
    }

    if (parser.isSet(schema)) {
        line.action = CommandLine::Schema;
        return line;
    }

    if (parser.isSet(merge)) {
        if (parser.value(merge).isEmpty() || parser.positionalArguments().isEmpty())
            return error(QStringLiteral("--merge takes an output folder and the report "
                                        "folders to merge."));
        line.action = CommandLine::Merge;
        line.mergeInto = parser.value(merge);
        line.mergeFrom = parser.positionalArguments();
        return line;
    }

    RunnerOptions &options = line.options;
    options.configFile = parser.isSet(config)
        ? parser.value(config)
        : KAVAtmOrchestratorConfiguration::GetDefaultFilePath();
    options.clientName = parser.value(client);
    if (!parseMode(parser.value(mode), &options.mode))
        return error(QStringLiteral("unknown mode \"%1\".").arg(parser.value(mode)));
    if (parser.isSet(record)) {
        if (parser.isSet(mode) && options.mode != KAVAtmEnums::Recording)
            return error(QStringLiteral("--record needs --mode recording."));
        options.mode = KAVAtmEnums::Recording;
        options.recordFile = parser.value(record);
        if (options.recordFile.isEmpty())
            return error(QStringLiteral("--record takes a file name."));
    }
    options.outputDir = parser.value(output);
    bool ok = true;
    for (const auto &[option, target] :
         {std::pair {&retries, &options.retries}, std::pair {&jobs, &options.jobs},
          std::pair {&timeout, &options.overallTimeout},
          std::pair {&connectTimeout, &options.connectTimeout},
          std::pair {&grace, &options.grace}}) {
        *target = parser.value(*option).toInt(&ok);
        if (!ok || *target < 0)
            return error(QStringLiteral("--%1 takes a whole number, 0 or more.")
                             .arg(option->names().first()));
    }
    if (options.jobs == 0)
        return error(QStringLiteral("--jobs takes at least 1."));
    const QString level = parser.value(isolation).toLower();
    if (level != QLatin1String("client") && level != QLatin1String("procedure"))
        return error(QStringLiteral("--isolation takes client or procedure."));
    options.isolateProcedures = level == QLatin1String("procedure");
    if (options.isolateProcedures && options.mode == KAVAtmEnums::Recording)
        return error(QStringLiteral("a recording runs on one client: --isolation must be client."));
    if (options.jobs > 1 && options.mode == KAVAtmEnums::Recording)
        return error(QStringLiteral("a recording runs on one client: --jobs must be 1."));
    // No time at all to connect would fail every run before it began.
    if (options.connectTimeout == 0)
        return error(QStringLiteral("--connect-timeout takes at least 1 second."));
    options.forwardClientOutput = !parser.isSet(quiet);
    options.acceptBuiltInKey = parser.isSet(builtInKey);
    options.force = parser.isSet(force);
    options.procedureFiles = parser.positionalArguments();
    options.grep = parser.value(grep);
    options.list = parser.isSet(list);
    options.check = parser.isSet(check);
    options.strict = parser.isSet(strict);
    options.junitFile = parser.value(junit);
    options.htmlFile = parser.value(html);
    const QString update = parser.value(updateBaselines).toLower();
    // A fresh CI checkout would capture every missing baseline anew, and pass for ever.
    if (!parser.isSet(updateBaselines) && !qEnvironmentVariableIsEmpty("CI")) {
        options.baselineUpdate = KAVAtmExecutorBase::BaselineUpdate::None;
        options.baselineUpdateFromCi = true;
    } else if (update == QLatin1String("none"))
        options.baselineUpdate = KAVAtmExecutorBase::BaselineUpdate::None;
    else if (update == QLatin1String("changed"))
        options.baselineUpdate = KAVAtmExecutorBase::BaselineUpdate::Changed;
    else if (update == QLatin1String("all"))
        options.baselineUpdate = KAVAtmExecutorBase::BaselineUpdate::All;
    else if (update != QLatin1String("missing"))
        return error(QStringLiteral("--update-baselines takes none, missing, changed or all."));
    options.screenshots = parser.value(screenshots).toLower();
    if (!QStringList {QStringLiteral("failures"), QStringLiteral("all"), QStringLiteral("off")}
             .contains(options.screenshots))
        return error(QStringLiteral("--screenshots takes failures, all or off."));
    options.failOnFlaky = parser.isSet(failOnFlaky);
    options.lastFailedFile = parser.value(lastFailed);
    if (parser.isSet(lastFailed) && options.lastFailedFile.isEmpty())
        return error(QStringLiteral("--last-failed takes a report.json."));
    options.repeatEach = parser.value(repeatEach).toInt(&ok);
    if (!ok || options.repeatEach < 1)
        return error(QStringLiteral("--repeat-each takes a whole number, 1 or more."));
    if (options.repeatEach > 1) {
        // A retry would hide the very failures the repeats are there to count.
        if (options.retries > 0)
            return error(QStringLiteral("--repeat-each cannot be combined with --retries."));
        if (options.mode == KAVAtmEnums::Recording)
            return error(QStringLiteral("--repeat-each cannot be combined with a recording."));
        options.isolateProcedures = true;
    }
    options.trace = parser.value(trace).toLower();
    if (!QStringList {QStringLiteral("on"), QStringLiteral("retain-on-failure"),
                      QStringLiteral("off")}
             .contains(options.trace))
        return error(QStringLiteral("--trace takes on, retain-on-failure or off."));
    // A retry would compare against the baseline its first attempt has just rewritten, and pass.
    if (options.retries > 0
        && (options.baselineUpdate == KAVAtmExecutorBase::BaselineUpdate::Changed
            || options.baselineUpdate == KAVAtmExecutorBase::BaselineUpdate::All))
        return error(QStringLiteral("--update-baselines %1 cannot be combined with "
                                    "--retries.")
                         .arg(update));
    for (const QCommandLineOption *option : {&junit, &html}) {
        if (parser.isSet(*option) && parser.value(*option).isEmpty())
            return error(QStringLiteral("--%1 takes a file name.").arg(option->names().first()));
    }
    if (parser.isSet(shard)
        && parser.value(shard).compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0) {
        QString why;
        if (!ShardFromEnvironment(QProcessEnvironment::systemEnvironment(), &options.shardIndex,
                                  &options.shardCount, &options.shardSource, &why))
            return error(why);
    } else if (parser.isSet(shard)) {
        const QStringList parts = parser.value(shard).split(QLatin1Char('/'));
        bool indexOk = false, countOk = false;
        options.shardIndex = parts.value(0).toInt(&indexOk);
        options.shardCount = parts.value(1).toInt(&countOk);
        if (parts.size() != 2 || !indexOk || !countOk || options.shardCount < 1
            || options.shardIndex < 1 || options.shardIndex > options.shardCount)
            return error(QStringLiteral("--shard takes I/N with 1 <= I <= N."));
    }
    options.durationsFile = parser.value(durations);
    if (parser.isSet(durations) && (options.durationsFile.isEmpty() || !parser.isSet(shard)))
        return error(QStringLiteral("--durations takes a report.json, with --shard."));
    if (options.procedureFiles.isEmpty() && options.mode != KAVAtmEnums::Recording)
        return error(QStringLiteral("no procedure files given."));
    line.action = CommandLine::Run;
    return line;
}
