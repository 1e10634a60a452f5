#ifndef HTMLREPORT_H
#define HTMLREPORT_H

#include <QtCore/QIODevice>
#include <QtCore/QJsonObject>

// A run's report.json as one page a person opens in a browser: no scripts, no files or network
// beside it. The verdict and the counts first, then each procedure with its actions; failed
// procedures are open, and a failed comparison shows its JSON path, expected and actual value.
// Written a procedure at a time; false when a write fell short.
bool HtmlReport(QIODevice &device, const QJsonObject &report);

#endif // HTMLREPORT_H
