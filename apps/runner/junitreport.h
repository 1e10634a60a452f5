#ifndef JUNITREPORT_H
#define JUNITREPORT_H

#include <QtCore/QIODevice>
#include <QtCore/QJsonObject>
#include <QtCore/QString>

// A run's report.json as the JUnit XML that CI services read: a testsuite per procedure and a
// testcase per action. What kept the run from passing without being an action (an invalid
// file, a procedure never started, a client that crashed) is a failed testcase too, so the XML
// never reads as a pass when the exit code does not.
// False when a write fell short.
bool JUnitReport(QIODevice &device, const QJsonObject &report);

// The text with every "[[ATTACHMENT|" marker made visibly harmless: CI servers publish the
// file such a line names, and only the runner's own lines may name one.
QString NoAttachments(const QString &text);

#endif // JUNITREPORT_H
