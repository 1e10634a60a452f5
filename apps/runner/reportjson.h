#ifndef REPORTJSON_H
#define REPORTJSON_H

#include <QtCore/QDateTime>
#include <QtCore/QJsonObject>
#include <QtCore/QString>
#include <QtCore/QStringList>

class QIODevice;

// Reading the procedures and actions of a report.json, for the reports made from it.
namespace ReportJson {

enum class Verdict { Pass, Warning, Fail, NotRun };

Verdict ActionVerdict(const QJsonObject &action);
// A procedure passes when every action completed with Pass or Warning.
bool ProcedurePassed(const QJsonObject &procedure);
// 1 when what the report holds fails the run (a failed or not run action, a procedure never
// started, an invalid procedure file, a client error, a run that did not finish, a flaky
// procedure in a run with "failOnFlaky"), else 0.
int ContentExitCode(const QJsonObject &report);
// The report with every text made fit for XML and HTML: a lone UTF-16 surrogate or a control
// character other than tab and line breaks becomes U+FFFD.
QJsonObject Printable(const QJsonObject &report);
QString PrintableText(const QString &text);
// Actions of every procedure of the report by verdict.
struct Counts {
    int passed = 0, warnings = 0, failed = 0, notRun = 0;
    int Total() const { return passed + warnings + failed + notRun; }
};
Counts CountActions(const QJsonObject &report);
// A procedure's title wherever it is shown: its name, or its label when it has none.
QString ProcedureTitle(const QString &name, const QString &label);
QString ProcedureName(const QJsonObject &procedure);
// An action's: "name (type)", or the type alone.
QString ActionTitle(const QString &name, const QString &type);
QString ActionTitle(const QJsonObject &action);
QDateTime Time(const QJsonValue &text);
// Seconds between the start and end times, 0 when either is missing.
double Seconds(const QJsonObject &item);
// The order the shards deal procedure files in: by file name, then by path.
bool ShardOrder(const QString &fileA, const QString &fileB);
// An action's "attachments" name files by paths relative to the folder of the report. The
// report with each of them made relative to the folder to instead (a page written elsewhere, a
// merge of shards); one that is not inside from is left out, and no "embedded" is kept.
QJsonObject RebaseAttachments(const QJsonObject &report, const QString &from, const QString &to);
// Each screenshot that is a PNG file (its path relative to folder) inside one of the folders
// roots, as a data URI under the attachment's "embedded", as long as their total stays within
// budget bytes; the others stay links.
QJsonObject EmbedScreenshots(const QJsonObject &report, const QString &folder,
                             const QStringList &roots, qint64 budget);
// Writes the report as QJsonDocument::toJson would, one list member at a time: a merge of
// large reports never holds their text whole. False when a write fell short.
bool WriteJson(QIODevice &device, const QJsonObject &report);

} // namespace ReportJson

#endif // REPORTJSON_H
