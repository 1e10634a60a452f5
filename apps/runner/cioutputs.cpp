#include "cioutputs.h"
#include "reportjson.h"

#include <QtCore/QJsonArray>

namespace CiOutputs {

bool OnGitHub()
{
    return qEnvironmentVariable("GITHUB_ACTIONS") == QLatin1String("true");
}

namespace {

QString escapedData(QString text)
{
    return text.replace(QLatin1Char('%'), QLatin1String("%25"))
        .replace(QLatin1Char('\r'), QLatin1String("%0D"))
        .replace(QLatin1Char('\n'), QLatin1String("%0A"));
}

QString escapedProperty(const QString &text)
{
    return escapedData(text)
        .replace(QLatin1Char(':'), QLatin1String("%3A"))
        .replace(QLatin1Char(','), QLatin1String("%2C"));
}

// Text in a Markdown table cell or list item: no markup of its own, one line.
QString cell(QString text)
{
    text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    QString escaped;
    for (const QChar c : std::as_const(text)) {
        if (QStringLiteral("\\`*_{}[]()#+-.!|<>&").contains(c))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    return escaped;
}

} // namespace

QString GitHubError(const QString &file, int line, const QString &title, const QString &message)
{
    QStringList properties;
    if (!file.isEmpty())
        properties.append(QStringLiteral("file=") + escapedProperty(file));
    if (line > 0)
        properties.append(QStringLiteral("line=%1").arg(line));
    if (!title.isEmpty())
        properties.append(QStringLiteral("title=") + escapedProperty(title));
    return QStringLiteral("::error %1::%2")
        .arg(properties.join(QLatin1Char(',')), escapedData(message));
}

QString GitHubSummary(const QJsonObject &report, const QStringList &reportFiles)
{
    const ReportJson::Counts counts = ReportJson::CountActions(report);
    const int code = report.value(QLatin1String("exitCode")).toInt();
    QString text = QStringLiteral("### KAVAutomation: %1 (exit code %2)\n\n")
                       .arg(code == 0 ? QStringLiteral("passed") : QStringLiteral("failed"))
                       .arg(code);
    text += QStringLiteral("| Procedures | Passed | Warnings | Failed | Not run |\n"
                           "|---|---|---|---|---|\n| %1 | %2 | %3 | %4 | %5 |\n\n")
                .arg(report.value(QLatin1String("procedures")).toArray().size())
                .arg(counts.passed)
                .arg(counts.warnings)
                .arg(counts.failed)
                .arg(counts.notRun);
    QStringList failed;
    QStringList flaky;
    for (const QJsonValue &value : report.value(QLatin1String("procedures")).toArray()) {
        const QJsonObject procedure = value.toObject();
        const QString name = ReportJson::ProcedureName(procedure);
        if (procedure.value(QLatin1String("flaky")).toBool())
            flaky.append(QStringLiteral("- %1 (passed on attempt %2)")
                             .arg(cell(name))
                             .arg(procedure.value(QLatin1String("attempts")).toInt()));
        for (const QJsonValue &action : procedure.value(QLatin1String("actionResults")).toArray()) {
            if (ReportJson::ActionVerdict(action.toObject()) != ReportJson::Verdict::Fail)
                continue;
            failed.append(QStringLiteral("- **%1 / %2**: %3")
                              .arg(cell(name), cell(ReportJson::ActionTitle(action.toObject())),
                                   cell(action[QLatin1String("details")].toString().section(
                                       QLatin1Char('\n'), 0, 0))));
        }
    }
    for (const char *key : {"notStarted", "invalidProcedures"}) {
        for (const QJsonValue &value : report.value(QLatin1String(key)).toArray())
            failed.append(QStringLiteral("- **%1**: %2")
                              .arg(cell(value[QLatin1String("file")].toString()),
                                   QLatin1String(key) == QLatin1String("notStarted")
                                       ? QStringLiteral("never started")
                                       : cell(value[QLatin1String("reason")].toString())));
    }
    for (const QJsonValue &value : report.value(QLatin1String("clientErrors")).toArray())
        failed.append(QStringLiteral("- client: %1").arg(cell(value.toString())));
    if (!failed.isEmpty())
        text += QStringLiteral("Failed:\n\n") + failed.join(QLatin1Char('\n')) + QStringLiteral("\n\n");
    if (!flaky.isEmpty())
        text += QStringLiteral("Flaky:\n\n") + flaky.join(QLatin1Char('\n')) + QStringLiteral("\n\n");
    if (!reportFiles.isEmpty()) {
        QStringList files;
        for (const QString &file : reportFiles)
            files.append(QStringLiteral("`%1`").arg(QString(file).remove(QLatin1Char('`'))));
        text += QStringLiteral("Reports: ") + files.join(QStringLiteral(", ")) + QStringLiteral("\n");
    }
    return text;
}

} // namespace CiOutputs
