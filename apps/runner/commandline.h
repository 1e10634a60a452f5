#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include "runner.h"

#include <QtCore/QProcessEnvironment>
#include <QtCore/QStringList>

// The runner's command line, read and checked in one place: what to do, with the options of a
// run, or why it cannot be done (the text after "KAVAutomationOrchestrator: ").
struct CommandLine {
    enum Action { Run, Merge, Schema, Help, Error };
    Action action = Error;
    RunnerOptions options;
    QString mergeInto;
    QStringList mergeFrom;
    QString help;
    QString error;
};

// arguments as QCoreApplication::arguments() gives them, the program first.
CommandLine ParseCommandLine(const QStringList &arguments);

// The shard a CI job is, from the variables its CI sets for a parallel job; false, naming the
// variable, when none is set or one is not a number in range. source says what was read.
bool ShardFromEnvironment(const QProcessEnvironment &environment, int *index, int *count,
                          QString *source, QString *error);

#endif // COMMANDLINE_H
