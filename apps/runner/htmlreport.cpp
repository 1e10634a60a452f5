#include "htmlreport.h"
#include "kavatmtestactionresult.h"
#include "reportjson.h"

#include <QtCore/QJsonArray>
#include <QtCore/QMap>
#include <QtCore/QRegularExpression>
#include <QtCore/QUrl>

#include <algorithm>

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
.checks { border-left: 6px solid #ef6c00; background: #fff4e5; padding: 6px 12px; }
dl.comparison { display: grid; grid-template-columns: max-content auto; gap: 2px 12px;
                margin: 6px 0 0; padding: 6px 10px; background: #fff3cd;
                border: 1px solid #e0c36c; }
dl.comparison dt { font-weight: bold; }
dl.comparison dd { margin: 0; font-family: monospace; white-space: pre-wrap; }
.where { margin: 6px 0 2px; font-family: monospace; font-weight: bold; }
table.source { margin: 0 0 6px; font: 12px monospace; }
table.source td { border: none; padding: 0 6px; white-space: pre; }
table.source td.num { color: #757575; }
table.source tr.at td { background: #fdd; font-weight: bold; }
details.more { border: none; margin: 2px 0; padding: 0; }
details.more summary { font-weight: normal; color: #1565c0; }
.shot { display: inline-block; margin: 6px 6px 0 0; }
.shot input { display: none; }
.shot img { max-width: 240px; max-height: 160px; border: 1px solid #999; cursor: zoom-in; }
.shot input:checked + img { position: fixed; inset: 0; margin: auto; max-width: 96vw;
                            max-height: 96vh; z-index: 10; cursor: zoom-out;
                            box-shadow: 0 0 0 100vmax rgba(0, 0, 0, 0.75); }
.note { color: #616161; font-style: italic; margin: 4px 0; }
.visual { display: flex; flex-wrap: wrap; gap: 8px; margin: 6px 0; }
.visual figure { margin: 0; }
.visual figcaption { font-size: 0.85em; color: #616161; }
.visual img { max-width: 360px; max-height: 240px; border: 1px solid #999; }
.flip { display: block; cursor: pointer; }
.flip input, .flip .a, .flip input:checked ~ .e { display: none; }
.flip input:checked ~ .a { display: block; }
.flip img { max-width: 720px; max-height: 480px; }
.timeline { margin: 8px 0 16px; }
.lane { display: flex; align-items: center; margin: 2px 0; }
.lane .host { width: 120px; font: 12px monospace; }
.lane .track { position: relative; flex: 1; height: 22px; background: #f5f5f5;
               border: 1px solid #e0e0e0; }
.bar { position: absolute; top: 2px; bottom: 2px; min-width: 2px; overflow: hidden;
       border: 1px solid #546e7a; background: #cfd8dc; font-size: 10px; white-space: nowrap; }
.bar span { position: absolute; top: 0; bottom: 0; min-width: 1px; }
.bar span.PASS { background: #81c784; } .bar span.WARN { background: #ffb74d; }
.bar span.FAIL { background: #e57373; } .bar span.SKIP { background: #bdbdbd; }
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
        QStringLiteral(
            R"(Expected: \[(.*)\]( \(\w+\))?\. Actual: \[(.*)\]( \(\w+\))?\. Path: (\S+))"),
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

// Where the script failed, the screenshots and the host's output of one action.
QString evidence(const QJsonObject &action)
{
    QString html;
    const QJsonObject location = action.value(QLatin1String("location")).toObject();
    if (!location.isEmpty()) {
        const int line = location.value(QLatin1String("line")).toInt();
        html += QStringLiteral("<div class=\"where\">%1:%2</div>")
                    .arg(escaped(location.value(QLatin1String("file")).toString()),
                         QString::number(line));
        const QJsonObject context = location.value(QLatin1String("context")).toObject();
        const QJsonArray lines = context.value(QLatin1String("lines")).toArray();
        const int first = context.value(QLatin1String("first")).toInt();
        if (!lines.isEmpty() && first > 0) {
            html += QStringLiteral("<table class=\"source\">");
            for (int i = 0; i < lines.size(); ++i) {
                html += QStringLiteral("<tr%1><td class=\"num\">%2</td><td>%3</td></tr>")
                            .arg(first + i == line ? QStringLiteral(" class=\"at\"") : QString(),
                                 QString::number(first + i), escaped(lines.at(i).toString()));
            }
            html += QStringLiteral("</table>");
        }
    }
    const QString stack = action.value(QLatin1String("stack")).toString();
    if (!stack.isEmpty())
        html += QStringLiteral("<details class=\"more\"><summary>Script stack</summary>"
                               "<pre>%1</pre></details>")
                    .arg(escaped(stack));
    QMap<QString, QString> visual;
    for (const QJsonValue &value : action.value(QLatin1String("attachments")).toArray()) {
        const QJsonObject attachment = value.toObject();
        const QString path = attachment.value(QLatin1String("path")).toString();
        const QString embedded = attachment.value(QLatin1String("embedded")).toString();
        const QString kind = attachment.value(QLatin1String("kind")).toString();
        if (KAVAtmTestActionResult::ImageKinds.contains(kind) && !visual.contains(kind)) {
            visual.insert(kind, embedded.startsWith(QLatin1String("data:image/png;base64,"))
                              ? embedded
                              : QString::fromLatin1(QUrl::toPercentEncoding(path, "/")));
            continue;
        }
        if (!embedded.startsWith(QLatin1String("data:image/png;base64,"))) {
            // A file name is no markup and no URL syntax: "#" or "%" in it would lead elsewhere.
            html += QStringLiteral("<div><a href=\"%1\">%2</a></div>")
                        .arg(escaped(QString::fromLatin1(QUrl::toPercentEncoding(path, "/"))),
                             escaped(attachment.value(QLatin1String("kind")).toString()
                                     + QStringLiteral(": ") + path));
            continue;
        }
        // Clicked, the thumbnail shows at full size, and a second click puts it back.
        html += QStringLiteral("<label class=\"shot\" title=\"%1\"><input type=\"checkbox\">"
                               "<img alt=\"%1\" src=\"%2\"></label>")
                    .arg(escaped(path), escaped(embedded));
    }
    if (!visual.isEmpty()) {
        // Side by side, and expected and actual in one place, flipped by a click: the eye
        // finds a small change in a flip that it misses between two pictures.
        html += QStringLiteral("<div class=\"visual\">");
        for (const QString &kind : KAVAtmTestActionResult::ImageKinds) {
            if (visual.contains(kind))
                html += QStringLiteral("<figure><figcaption>%1</figcaption><img alt=\"%1\" "
                                       "src=\"%2\"></figure>")
                            .arg(escaped(kind), escaped(visual.value(kind)));
        }
        html += QStringLiteral("</div>");
        if (visual.contains(QStringLiteral("expected")) && visual.contains(QStringLiteral("actual")))
            html += QStringLiteral("<label class=\"flip\" title=\"Click to flip between expected "
                                   "and actual\"><input type=\"checkbox\"><span class=\"e\">"
                                   "expected (click for actual)</span><span class=\"a\">actual "
                                   "(click for expected)</span><img class=\"e\" alt=\"expected\" "
                                   "src=\"%1\"><img class=\"a\" alt=\"actual\" src=\"%2\">"
                                   "</label>")
                        .arg(escaped(visual.value(QStringLiteral("expected"))),
                             escaped(visual.value(QStringLiteral("actual"))));
    }
    const QString missing = action.value(QLatin1String("screenshotMissing")).toString();
    if (!missing.isEmpty())
        html += QStringLiteral("<p class=\"note\">No screenshot: %1</p>").arg(escaped(missing));
    const QJsonArray log = action.value(QLatin1String("log")).toArray();
    if (!log.isEmpty()) {
        QStringList lines;
        for (const QJsonValue &line : log)
            lines.append(escaped(line.toString()));
        html += QStringLiteral("<details class=\"more\"><summary>Host output while it ran "
                               "(%1)</summary><pre>%2</pre></details>")
                    .arg(lines.size() == 1 ? QStringLiteral("1 line")
                                           : QStringLiteral("%1 lines").arg(lines.size()),
                         lines.join(QLatin1Char('\n')));
    }
    return html;
}

// A timeline with more actions than this shows its procedures only: the page stays small.
constexpr qsizetype TimelineActions = 20000;

// Each host's procedures as bars over the time of the run, their actions inside them coloured
// by verdict: where the time went, and what ran side by side.
QString timeline(const QJsonArray &procedures)
{
    QDateTime begin, end;
    QMap<QString, QList<QJsonObject>> lanes;
    for (const QJsonValue &value : procedures) {
        const QJsonObject procedure = value.toObject();
        const QDateTime start = Time(procedure.value(QLatin1String("startTime")));
        const QDateTime finish = Time(procedure.value(QLatin1String("endTime")));
        if (!start.isValid() || !finish.isValid())
            continue;
        begin = begin.isValid() ? std::min(begin, start) : start;
        end = end.isValid() ? std::max(end, finish) : finish;
        lanes[procedure.value(QLatin1String("host")).toVariant().toString()].append(procedure);
    }
    const qint64 span = begin.isValid() ? begin.msecsTo(end) : 0;
    if (lanes.isEmpty() || span <= 0)
        return QString();
    // The page of a large merge shows its procedures, not each of its actions.
    qsizetype actions = 0;
    for (const QList<QJsonObject> &lane : std::as_const(lanes)) {
        for (const QJsonObject &procedure : lane)
            actions += procedure.value(QLatin1String("actionResults")).toArray().size();
    }
    const bool showActions = actions <= TimelineActions;
    const auto percent = [&](const QDateTime &from, const QDateTime &to, qint64 whole) {
        return QString::number(100.0 * from.msecsTo(to) / whole, 'f', 3) + QLatin1Char('%');
    };
    QString html = QStringLiteral("<details open class=\"timeline\"><summary>Timeline (%1 s)"
                                  "</summary>\n")
                       .arg(QString::number(span / 1000.0, 'f', 1));
    for (auto lane = lanes.cbegin(); lane != lanes.cend(); ++lane) {
        html += QStringLiteral("<div class=\"lane\"><div class=\"host\">host %1</div>"
                               "<div class=\"track\">")
                    .arg(escaped(lane.key().isEmpty() ? QStringLiteral("?") : lane.key()));
        for (const QJsonObject &procedure : lane.value()) {
            const QDateTime start = Time(procedure.value(QLatin1String("startTime")));
            const QDateTime finish = Time(procedure.value(QLatin1String("endTime")));
            const qint64 length = std::max<qint64>(1, start.msecsTo(finish));
            const QString title = ProcedureName(procedure);
            html += QStringLiteral("<div class=\"bar\" style=\"left:%1;width:%2\" title=\"%3 "
                                   "(%4 s)\">")
                        .arg(percent(begin, start, span),
                             QString::number(100.0 * length / span, 'f', 3) + QLatin1Char('%'),
                             escaped(title), QString::number(length / 1000.0, 'f', 3));
            const QJsonArray shown = showActions
                ? procedure.value(QLatin1String("actionResults")).toArray()
                : QJsonArray();
            for (const QJsonValue &value : shown) {
                const QJsonObject action = value.toObject();
                const QDateTime from = Time(action.value(QLatin1String("startTime")));
                const QDateTime to = Time(action.value(QLatin1String("endTime")));
                if (!from.isValid() || !to.isValid())
                    continue;
                html += QStringLiteral("<span class=\"%1\" style=\"left:%2;width:%3\" "
                                       "title=\"%4 (%5 s)\"></span>")
                            .arg(tag(ActionVerdict(action)), percent(start, from, length),
                                 percent(from, to, length), escaped(ActionTitle(action)),
                                 QString::number(from.msecsTo(to) / 1000.0, 'f', 3));
            }
            html += QStringLiteral("</div>");
        }
        html += QStringLiteral("</div></div>\n");
    }
    return html + QStringLiteral("</details>\n");
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
    const auto link = [](const QString &path, const QString &text) {
        return QStringLiteral("<a href=\"%1\">%2</a>")
            .arg(escaped(QString::fromLatin1(QUrl::toPercentEncoding(path, "/"))), text);
    };
    const QString trace = procedure.value(QLatin1String("trace")).toString();
    if (!trace.isEmpty())
        html += QStringLiteral("<p class=\"trace\">%1</p>\n")
                    .arg(link(trace, QStringLiteral("Step trace")));
    // Every attempt with its evidence: a flaky pass keeps what its failures showed.
    const QJsonArray attempts = procedure.value(QLatin1String("attemptResults")).toArray();
    if (!attempts.isEmpty()) {
        html += QStringLiteral("<ul class=\"attempts\">");
        for (const QJsonValue &value : attempts) {
            const QJsonObject attempt = value.toObject();
            QStringList parts;
            for (const QJsonValue &failure : attempt.value(QLatin1String("failures")).toArray())
                parts.append(escaped(ActionTitle(failure.toObject()) + QStringLiteral(": ")
                                     + failure[QLatin1String("details")].toString().section(
                                         QLatin1Char('\n'), 0, 0)));
            if (attempt.contains(QLatin1String("folder")))
                parts.append(link(attempt.value(QLatin1String("folder")).toString(),
                                  QStringLiteral("files")));
            if (attempt.contains(QLatin1String("trace")))
                parts.append(link(attempt.value(QLatin1String("trace")).toString(),
                                  QStringLiteral("trace")));
            html += QStringLiteral("<li>Attempt %1: %2%3</li>")
                        .arg(attempt.value(QLatin1String("attempt")).toInt())
                        .arg(attempt.value(QLatin1String("passed")).toBool()
                                 ? QStringLiteral("passed")
                                 : QStringLiteral("failed"),
                             parts.isEmpty() ? QString()
                                             : QStringLiteral(" — ") + parts.join(QStringLiteral("; ")));
        }
        html += QStringLiteral("</ul>\n");
    }
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
        cell += evidence(action);
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
    const QJsonArray checks = report.value(QLatin1String("checkWarnings")).toArray();
    if (!checks.isEmpty()) {
        QStringList lines;
        for (const QJsonValue &warning : checks)
            lines.append(escaped(warning[QLatin1String("text")].toString()));
        html += QStringLiteral("<div class=\"checks\"><p>Procedure check: %1 warning(s)</p>"
                               "<pre>%2</pre></div>\n")
                    .arg(QString::number(checks.size()), lines.join(QLatin1Char('\n')));
    }
    html += timeline(results);
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
