#ifndef PROCEDURECHECK_H
#define PROCEDURECHECK_H

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QString>

// What a run of a procedure file would stumble on, found before anything starts.
struct CheckProblem {
    // An error: the run would fail, or could not start the action. A warning: the run goes on
    // with something the author probably did not mean. A note: worth knowing, nothing more.
    enum Severity { Error, Warning, Note };
    Severity severity = Error;
    QString file;
    int line = 0; // from 1; 0: the file as a whole
    int column = 0;
    QString message;

    // "file:line:column: error: message", as compilers write it.
    QString Text() const;
};

// Reads the file as a run reads it and checks every action against the keys its type reads:
// JSON syntax, action types, unknown keys, keys of the wrong JSON type, values the run clamps,
// required keys, the files actions name (resolved as a run resolves them) and whether scripts
// compile (compiled, not run; unless compileScripts is false). In the order of the file. A
// baseline that does not exist is a note, or a warning with missingBaselineWarns (a run that
// writes no baselines fails on it).
QList<CheckProblem> CheckProcedureFile(const QString &path, bool compileScripts = true,
                                       bool missingBaselineWarns = false);

// The line (from 1) each action of a procedure file's text begins on; empty when it is no JSON.
QList<int> ActionLines(const QByteArray &text);

// The JSON Schema (draft 2020-12) of a procedure file, one branch per action type.
QByteArray ProcedureSchema();

// The keys of an action type as a Markdown table (key, type, default, what it is), for the
// action reference.
QString ActionKeysMarkdown(const QString &type);

// Where a procedure file names the schema: "$schema" holds this.
constexpr char ProcedureSchemaFile[] = "kavautomation-procedure.schema.json";

#endif // PROCEDURECHECK_H
