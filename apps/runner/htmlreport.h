#ifndef HTMLREPORT_H
#define HTMLREPORT_H

#include <QtCore/QByteArray>
#include <QtCore/QJsonObject>

// A run's report.json as one page a person opens in a browser: no scripts, no files or network
// beside it. The verdict and the counts first, then each procedure with its actions; failed
// procedures are open, and a failed comparison shows its JSON path, expected and actual value.
QByteArray HtmlReport(const QJsonObject &report);

#endif // HTMLREPORT_H
