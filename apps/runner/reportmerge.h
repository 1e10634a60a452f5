#ifndef REPORTMERGE_H
#define REPORTMERGE_H

#include <QtCore/QStringList>

// The report.json files of several runs (the shards of one suite) as one: "report.json",
// "junit.xml" and "report.html" in outDir. Procedures are ordered as the shards split them
// (by file name, then path). Returns the exit code: the worst of the runs' own; a report that
// is missing, unreadable or from a run that did not finish fails the merge, so a lost shard
// never reads as a pass.
int MergeReports(const QString &outDir, const QStringList &reportDirs);

#endif // REPORTMERGE_H
