#ifndef HTMLREPORT_H
#define HTMLREPORT_H

#include <QtCore/QIODevice>
#include <QtCore/QJsonObject>

// A run's report.json as one page a person opens in a browser: no scripts, no files or network
// beside it. The verdict and the counts first, then each procedure with its actions; failed
// procedures are open, and a failed comparison shows its JSON path, expected and actual value.
// A failure shows where its script failed, with the lines around it, the host's output while
// it ran (folded) and its screenshot: inline when the report carries it "embedded", a link
// otherwise. A timeline per host shows where the time went. Written a procedure at a time;
// false when a write fell short.
bool HtmlReport(QIODevice &device, const QJsonObject &report);

// How much of the page inline screenshots may take, in bytes of their data URIs: the page
// stays under 20 MiB with room for the text.
constexpr qint64 HtmlImageBudget = 15 * 1024 * 1024;

#endif // HTMLREPORT_H
