#ifndef CIOUTPUTS_H
#define CIOUTPUTS_H

#include <QtCore/QJsonObject>
#include <QtCore/QString>
#include <QtCore/QStringList>

// What CI systems read natively, beside the reports: GitHub Actions' workflow commands and its
// job summary.
namespace CiOutputs {

// Whether the run is a GitHub Actions step ("GITHUB_ACTIONS" is "true").
bool OnGitHub();

// "::error file=F,line=L,title=T::message", escaped as workflow commands are: a message cannot
// end the command early or start another on a line of its own.
QString GitHubError(const QString &file, int line, const QString &title, const QString &message);

// The run as Markdown for $GITHUB_STEP_SUMMARY: the verdict, the counts, each failed action and
// where the reports are.
QString GitHubSummary(const QJsonObject &report, const QStringList &reportFiles);

} // namespace CiOutputs

#endif // CIOUTPUTS_H
