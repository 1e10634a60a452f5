#ifndef JUNITREPORT_H
#define JUNITREPORT_H

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QPair>
#include <QtCore/QStringList>

class KAVAtmTestProcedureDef;
class KAVAtmTestProcedureResult;

// What a run did, in the JUnit XML that CI services read: a testsuite per procedure and a
// testcase per action. What kept the run from passing without being an action (an invalid
// file, a procedure never started, a client that crashed) is a failed testcase too, so the XML
// never reads as a pass when the exit code does not.
struct JUnitRun {
    QList<const KAVAtmTestProcedureResult *> procedures;
    QList<const KAVAtmTestProcedureDef *> notStarted;
    QList<QPair<QString, QString>> invalidFiles; // file, reason
    QStringList clientErrors;
    // Procedures that ran more than once: how often, and whether the last run passed (flaky).
    QHash<const KAVAtmTestProcedureResult *, QPair<int, bool>> attempts;
};

QByteArray JUnitReport(const JUnitRun &run);

#endif // JUNITREPORT_H
