#include "htmlreport.h"
#include "reportjson.h"

#include <QtCore/QJsonArray>
#include <QtCore/QRegularExpression>

using namespace ReportJson;

namespace {

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

const char *const Style = R"(
body { font: 14px/1.4 sans-serif; margin: 24px; color: #1b1b1b; }
h1 { font-size: 22px; margin: 0 0 12px; }
.verdict { display: inline-block; padding: 6px 14px; border-radius: 4px; color: #fff;
           font-weight: bold; font-size: 16px; }
.verdict.passed { background: #2e7d32; }
.verdict.failed { background: #c62828; }
table { border-collapse: collapse; margin: 8px 0 16px; }
th, td { border: 1px solid #d0d0d0; padding: 4px 8px; text-align: left; vertical-align: top; }
th { background: #f0f0f0; }
td.num { text-align: right; }
.badge { display: inline-block; min-width: 44px; padding: 1px 6px; border-radius: 3px;
         color: #fff; font-size: 12px; font-weight: bold; text-align: center; }
.badge.PASS { background: #2e7d32; } .badge.WARN { background: #ef6c00; }
.badge.FAIL { background: #c62828; } .badge.SKIP { background: #757575; }
.badge.flaky { background: #6a1b9a; }
tr.FAIL td { background: #fdecea; } tr.WARN td { background: #fff4e5; }
details { border: 1px solid #d0d0d0; border-radius: 4px; margin: 8px 0; padding: 4px 10px; }
summary { cursor: pointer; font-weight: bold; padding: 4px 0; }
pre { margin: 0; white-space: pre-wrap; word-break: break-word; font-size: 12px; }
.problems { border-left: 6px solid #c62828; background: #fdecea; padding: 6px 12px; }
dl.comparison { display: grid; grid-template-columns: max-content auto; gap: 2px 12px;
                margin: 6px 0 0; padding: 6px 10px; background: #fff3cd;
                border: 1px solid #e0c36c; }
dl.comparison dt { font-weight: bold; }
dl.comparison dd { margin: 0; font-family: monospace; white-space: pre-wrap; }
)";

QString tag(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass:
        return QStringLiteral("PASS");
    case Verdict::Warning:
        return QStringLiteral("WARN");
    case Verdict::Fail:
        return QStringLiteral("FAIL");
    case Verdict::NotRun:
        break;
    }
    return QStringLiteral("SKIP");
}

QString badge(const QString &cssClass, const QString &text)
{
    return QStringLiteral("<span class=\"badge %1\">%2</span>").arg(cssClass, escaped(text));
}

// The path, expected and actual value a failed comparison names in its message.
QString comparison(const QString &details)
{
    static const QRegularExpression values(
        QStringLiteral(R"(Expected: \[(.*)\]( \(\w+\))?\. Actual: \[(.*)\]( \(\w+\))?\. Path: (\S+))"),
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression lengths(
        QStringLiteral(R"(actual:\[(\d+)\] is different than expected:\[(\d+)\]\. Path: (\S+))"));
    QString path, expected, actual;
    if (const QRegularExpressionMatch match = values.match(details); match.hasMatch()) {
        // A value of another JSON type comes with its type: "[2] (number)".
        expected = match.captured(1) + match.captured(2);
        actual = match.captured(3) + match.captured(4);
        path = match.captured(5);
    } else if (const QRegularExpressionMatch match = lengths.match(details); match.hasMatch()) {
        actual = QStringLiteral("%1 elements").arg(match.captured(1));
        expected = QStringLiteral("%1 elements").arg(match.captured(2));
        path = match.captured(3);
    } else {
        return QString();
    }
    return QStringLiteral("<dl class=\"comparison\"><dt>JSON path</dt><dd>%1</dd>"
                          "<dt>Expected</dt><dd>%2</dd><dt>Actual</dt><dd>%3</dd></dl>")
        .arg(escaped(path), escaped(expected), escaped(actual));
}

QString procedureSection(const QJsonObject &procedure)
{
    const QJsonArray actions = procedure.value(QLatin1String("actionResults")).toArray();
    const bool passed = ProcedurePassed(procedure);
    const QString label = procedure.value(QLatin1String("label")).toString();
    QString html = QStringLiteral("<details%1><summary>%2 %3")
                       .arg(passed ? QString() : QStringLiteral(" open"),
                            badge(passed ? QStringLiteral("PASS") : QStringLiteral("FAIL"),
                                  passed ? QStringLiteral("PASS") : QStringLiteral("FAIL")),
                            escaped(label.isEmpty() ? ProcedureName(procedure) : label));
    if (procedure.value(QLatin1String("flaky")).toBool()) {
        html += QLatin1Char(' ')
            + badge(QStringLiteral("flaky"),
                    QStringLiteral("flaky: passed on attempt %1")
                        .arg(procedure.value(QLatin1String("attempts")).toInt()));
    }
    html += QStringLiteral(" <small>(%1, %2 s)</small></summary>\n")
                .arg(escaped(procedure.value(QLatin1String("file")).toString()),
                     QString::number(Seconds(procedure), 'f', 3));
    html += QStringLiteral("<table><tr><th>#</th><th>Action</th><th>Result</th><th>Time (s)</th>"
                           "<th>Details</th></tr>\n");
    for (int i = 0; i < actions.size(); ++i) {
        const QJsonObject action = actions.at(i).toObject();
        const Verdict verdict = ActionVerdict(action);
        const QString details = action.value(QLatin1String("details")).toString();
        QString cell
            = details.isEmpty() ? QString() : QStringLiteral("<pre>%1</pre>").arg(escaped(details));
        if (verdict == Verdict::Fail)
            cell += comparison(details);
        html += QStringLiteral("<tr class=\"%1\"><td class=\"num\">%2</td><td>%3</td><td>%4</td>"
                               "<td class=\"num\">%5</td><td>%6</td></tr>\n")
                    .arg(tag(verdict), QString::number(i + 1), escaped(ActionTitle(action)),
                         badge(tag(verdict), tag(verdict)),
                         QString::number(Seconds(action), 'f', 3), cell);
    }
    return html + QStringLiteral("</table></details>\n");
}

} // namespace

bool HtmlReport(QIODevice &device, const QJsonObject &given)
{
    const QJsonObject report = Printable(given);
    const Counts counts = CountActions(report);
    QStringList flaky;
    const QJsonArray results = report.value(QLatin1String("procedures")).toArray();
    for (const QJsonValue &procedure : results) {
        if (procedure[QLatin1String("flaky")].toBool())
            flaky.append(escaped(ProcedureName(procedure.toObject())));
    }
    QStringList problems;
    for (const QJsonValue &file : report.value(QLatin1String("invalidProcedures")).toArray()) {
        problems.append(QStringLiteral("Not run (invalid procedure file): %1: %2")
                            .arg(escaped(file[QLatin1String("file")].toString()),
                                 escaped(file[QLatin1String("reason")].toString())));
    }
    for (const QJsonValue &procedure : report.value(QLatin1String("notStarted")).toArray()) {
        problems.append(QStringLiteral("Not run (never started): %1")
                            .arg(escaped(ProcedureName(procedure.toObject()))));
    }
    for (const QJsonValue &error : report.value(QLatin1String("clientErrors")).toArray())
        problems.append(QStringLiteral("Client failure: %1").arg(escaped(error.toString())));
    for (const QJsonValue &error : report.value(QLatin1String("reportErrors")).toArray())
        problems.append(QStringLiteral("Report missing: %1").arg(escaped(error.toString())));

    const int exitCode = report.value(QLatin1String("exitCode")).toInt(-1);
    const bool passed = exitCode == 0;
    QString verdict = passed ? QStringLiteral("PASSED") : QStringLiteral("FAILED");
    if (exitCode < 0)
        verdict += QStringLiteral(" (the run did not finish)");
    else if (!passed)
        verdict += QStringLiteral(" (exit code %1)").arg(exitCode);

    QString html
        = QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                         "<title>KAVAutomation report: %1</title><style>%2</style>"
                         "</head><body>\n")
              .arg(verdict, QString::fromLatin1(Style));
    html += QStringLiteral("<h1>KAVAutomation report</h1>\n<p><span class=\"verdict %1\">%2</span>"
                           "</p>\n")
                .arg(passed ? QStringLiteral("passed") : QStringLiteral("failed"), verdict);
    html += QStringLiteral("<table class=\"summary\">"
                           "<tr><th>Client</th><td>%1 (%2)</td></tr>"
                           "<tr><th>Started</th><td>%3 UTC</td></tr>"
                           "<tr><th>Procedures</th><td>%4</td></tr>"
                           "<tr><th>Actions</th><td>%5 passed, %6 with warnings, %7 failed, "
                           "%8 not run</td></tr>")
                .arg(escaped(report.value(QLatin1String("client")).toString()),
                     escaped(report.value(QLatin1String("mode")).toString()),
                     escaped(report.value(QLatin1String("startTime")).toString()),
                     QString::number(results.size()), QString::number(counts.passed),
                     QString::number(counts.warnings), QString::number(counts.failed),
                     QString::number(counts.notRun));
    if (!flaky.isEmpty())
        html += QStringLiteral("<tr><th>Flaky</th><td>%1</td></tr>").arg(flaky.join(", "));
    const QJsonArray baselines = report.value(QLatin1String("baselinesWritten")).toArray();
    if (!baselines.isEmpty()) {
        QStringList paths;
        for (const QJsonValue &path : baselines)
            paths.append(escaped(path.toString()));
        html += QStringLiteral("<tr><th>Baselines written</th><td>%1</td></tr>")
                    .arg(paths.join(QStringLiteral("<br>")));
    }
    html += QStringLiteral("</table>\n");
    if (!problems.isEmpty()) {
        html += QStringLiteral("<div class=\"problems\"><p>%1</p></div>\n")
                    .arg(problems.join(QStringLiteral("</p><p>")));
    }
    // The procedures a section at a time: the page of a large merge is tens of megabytes.
    const auto write = [&device](const QString &text) {
        const QByteArray bytes = text.toUtf8();
        return device.write(bytes) == bytes.size();
    };
    bool written = write(html);
    for (qsizetype i = 0; i < results.size() && written; ++i)
        written = write(procedureSection(results.at(i).toObject()));
    return written && write(QStringLiteral("</body></html>\n"));
}
