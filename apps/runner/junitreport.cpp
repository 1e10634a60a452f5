#include "junitreport.h"
#include "reportjson.h"

#include <QtCore/QHash>
#include <QtCore/QJsonArray>
#include <QtCore/QRegularExpression>
#include <QtCore/QXmlStreamWriter>

using namespace ReportJson;

namespace {

QString seconds(double value)
{
    return QString::number(value, 'f', 3);
}

// Numbered: a procedure may run the same type, even the same name, twice.
QString testcaseName(const QJsonObject &action, int index)
{
    return QStringLiteral("%1 ").arg(index + 1, 2, 10, QLatin1Char('0')) + ActionTitle(action);
}

// Where a script failed and how it got there, under the failure's details.
QString where(const QJsonObject &action)
{
    QString text;
    const QJsonObject location = action.value(QLatin1String("location")).toObject();
    if (!location.isEmpty())
        text += QStringLiteral("\nat %1:%2")
                    .arg(location.value(QLatin1String("file")).toString(),
                         QString::number(location.value(QLatin1String("line")).toInt()));
    const QString stack = action.value(QLatin1String("stack")).toString();
    if (!stack.isEmpty())
        text += QStringLiteral("\nScript stack:\n") + stack;
    const QString missing = action.value(QLatin1String("screenshotMissing")).toString();
    if (!missing.isEmpty())
        text += QStringLiteral("\nNo screenshot: ") + missing;
    return text;
}

// One suite of testcases for what lies outside the actions: each a failure with its reason,
// or, when passed, a passing testcase with the text in its system-out.
void writeCases(QXmlStreamWriter &xml, const QString &suite,
                const QList<QPair<QString, QString>> &cases, bool failed)
{
    if (cases.isEmpty())
        return;
    xml.writeStartElement(QStringLiteral("testsuite"));
    xml.writeAttribute(QStringLiteral("name"), suite);
    xml.writeAttribute(QStringLiteral("tests"), QString::number(cases.size()));
    xml.writeAttribute(QStringLiteral("failures"), QString::number(failed ? cases.size() : 0));
    xml.writeAttribute(QStringLiteral("errors"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("skipped"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("time"), QStringLiteral("0.000"));
    for (const auto &[name, text] : cases) {
        xml.writeStartElement(QStringLiteral("testcase"));
        xml.writeAttribute(QStringLiteral("name"), name);
        xml.writeAttribute(QStringLiteral("classname"), suite);
        xml.writeAttribute(QStringLiteral("time"), QStringLiteral("0.000"));
        if (failed) {
            xml.writeStartElement(QStringLiteral("failure"));
            xml.writeAttribute(QStringLiteral("message"), NoAttachments(text));
            xml.writeCharacters(NoAttachments(text));
            xml.writeEndElement();
        } else {
            xml.writeTextElement(QStringLiteral("system-out"), NoAttachments(text));
        }
        xml.writeEndElement();
    }
    xml.writeEndElement();
}

void writeFailures(QXmlStreamWriter &xml, const QString &suite,
                   const QList<QPair<QString, QString>> &failures)
{
    writeCases(xml, suite, failures, true);
}

// The convention CI servers read to show a testcase's files, a line per file.
QStringList attachmentLines(const QJsonObject &action)
{
    QStringList files;
    for (const QJsonValue &attachment : action.value(QLatin1String("attachments")).toArray()) {
        const QString path = attachment[QLatin1String("path")].toString();
        // A path that could close the marker and open another is no file of ours.
        if (!path.isEmpty() && !path.contains(QLatin1String("]]"))
            && !path.contains(QLatin1Char('\n')) && !path.contains(QLatin1Char('\r')))
            files.append(QStringLiteral("[[ATTACHMENT|%1]]").arg(path));
    }
    return files;
}

// Returns how many of its testcases failed.
int writeProcedure(QXmlStreamWriter &xml, const QJsonObject &procedure)
{
    const QString suite = ProcedureName(procedure);
    const QJsonArray actions = procedure.value(QLatin1String("actionResults")).toArray();
    int failures = 0, skipped = 0;
    for (const QJsonValue &action : actions) {
        const Verdict verdict = ActionVerdict(action.toObject());
        failures += verdict == Verdict::Fail;
        skipped += verdict == Verdict::NotRun;
    }
    xml.writeStartElement(QStringLiteral("testsuite"));
    xml.writeAttribute(QStringLiteral("name"), suite);
    xml.writeAttribute(QStringLiteral("tests"), QString::number(actions.size()));
    xml.writeAttribute(QStringLiteral("failures"), QString::number(failures));
    xml.writeAttribute(QStringLiteral("errors"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("skipped"), QString::number(skipped));
    xml.writeAttribute(QStringLiteral("time"), seconds(Seconds(procedure)));
    const QDateTime start = Time(procedure.value(QLatin1String("startTime")));
    if (start.isValid())
        xml.writeAttribute(QStringLiteral("timestamp"), start.toString(Qt::ISODate));
    const int attempts = procedure.value(QLatin1String("attempts")).toInt(1);
    if (attempts > 1) {
        xml.writeStartElement(QStringLiteral("properties"));
        const bool flaky = procedure.value(QLatin1String("flaky")).toBool();
        for (const auto &[name, value] :
             {std::pair {QStringLiteral("attempts"), QString::number(attempts)},
              std::pair {QStringLiteral("flaky"),
                         flaky ? QStringLiteral("true") : QStringLiteral("false")}}) {
            xml.writeStartElement(QStringLiteral("property"));
            xml.writeAttribute(QStringLiteral("name"), name);
            xml.writeAttribute(QStringLiteral("value"), value);
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    // The other attempts' failures of each action, for the elements CI servers read reruns
    // from.
    QHash<int, QList<QJsonObject>> earlier;
    const int last = procedure.value(QLatin1String("attempt")).toInt(1);
    for (const QJsonValue &attempt : procedure.value(QLatin1String("attemptResults")).toArray()) {
        if (attempt[QLatin1String("attempt")].toInt() == last)
            continue;
        for (const QJsonValue &failure : attempt[QLatin1String("failures")].toArray())
            earlier[failure[QLatin1String("index")].toInt(-1)].append(failure.toObject());
    }
    for (int i = 0; i < actions.size(); ++i) {
        const QJsonObject action = actions.at(i).toObject();
        const QString details = action.value(QLatin1String("details")).toString();
        QString output;
        const QStringList files = attachmentLines(action);
        QString log;
        for (const QJsonValue &line : action.value(QLatin1String("log")).toArray())
            log += line.toString() + QLatin1Char('\n');
        log = NoAttachments(log);
        xml.writeStartElement(QStringLiteral("testcase"));
        xml.writeAttribute(QStringLiteral("name"), testcaseName(action, i));
        xml.writeAttribute(QStringLiteral("classname"), suite);
        xml.writeAttribute(QStringLiteral("time"), seconds(Seconds(action)));
        switch (ActionVerdict(action)) {
        case Verdict::NotRun:
            xml.writeStartElement(QStringLiteral("skipped"));
            xml.writeAttribute(QStringLiteral("message"),
                               details.isEmpty() ? QStringLiteral("The action did not run.")
                                                 : NoAttachments(details));
            xml.writeEndElement();
            break;
        case Verdict::Fail: {
            xml.writeStartElement(QStringLiteral("failure"));
            xml.writeAttribute(QStringLiteral("message"), NoAttachments(details));
            xml.writeAttribute(QStringLiteral("type"),
                               action.value(QLatin1String("actionType")).toString());
            xml.writeCharacters(NoAttachments(details + where(action)));
            xml.writeEndElement();
            output = action.value(QLatin1String("data")).toString();
            break;
        }
        case Verdict::Warning:
            // JUnit has no warning: it passes, and says so where a person looks.
            output = QStringLiteral("Warning: ") + details;
            break;
        case Verdict::Pass:
            break;
        }
        // Surefire's: a pass after failed attempts is flaky, a failure's other attempts reruns.
        const Verdict verdict = ActionVerdict(action);
        if (verdict != Verdict::NotRun) {
            for (const QJsonObject &failure : earlier.value(i)) {
                const QString text = failure.value(QLatin1String("details")).toString();
                xml.writeStartElement(verdict == Verdict::Fail ? QStringLiteral("rerunFailure")
                                                               : QStringLiteral("flakyFailure"));
                xml.writeAttribute(QStringLiteral("message"), NoAttachments(text));
                xml.writeAttribute(QStringLiteral("type"),
                                   failure.value(QLatin1String("actionType")).toString());
                xml.writeTextElement(QStringLiteral("stackTrace"),
                                     NoAttachments(text + where(failure)));
                const QStringList lines = attachmentLines(failure);
                if (!lines.isEmpty())
                    xml.writeTextElement(QStringLiteral("system-out"), lines.join(QLatin1Char('\n')));
                xml.writeEndElement();
            }
        }
        // Only the runner's own lines may name files for a CI server to publish.
        output = NoAttachments(output);
        if (!files.isEmpty())
            output += (output.isEmpty() ? QString() : QStringLiteral("\n"))
                + files.join(QLatin1Char('\n'));
        if (!output.isEmpty())
            xml.writeTextElement(QStringLiteral("system-out"), output);
        if (!log.isEmpty())
            xml.writeTextElement(QStringLiteral("system-err"), log);
        xml.writeEndElement();
    }
    xml.writeEndElement();
    return failures;
}

} // namespace

QString NoAttachments(const QString &text)
{
    static const QRegularExpression marker(QStringLiteral(R"(\[\[\s*ATTACHMENT\s*\|)"),
                                           QRegularExpression::CaseInsensitiveOption);
    if (!text.contains(QLatin1String("ATTACHMENT"), Qt::CaseInsensitive))
        return text;
    return QString(text).replace(marker, QStringLiteral("[[(not an attachment)|"));
}

bool JUnitReport(QIODevice &device, const QJsonObject &given)
{
    // One unpaired surrogate would make the whole file unreadable to a parser.
    const QJsonObject report = Printable(given);
    QXmlStreamWriter xml(&device);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("testsuites"));
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("KAVAutomation"));
    int failures = 0;
    for (const QJsonValue &procedure : report.value(QLatin1String("procedures")).toArray())
        failures += writeProcedure(xml, procedure.toObject());
    QList<QPair<QString, QString>> notRun, invalid, clients, reports;
    for (const QJsonValue &procedure : report.value(QLatin1String("notStarted")).toArray())
        notRun.append({ProcedureName(procedure.toObject()),
                       QStringLiteral("The procedure was never started.")});
    for (const QJsonValue &file : report.value(QLatin1String("invalidProcedures")).toArray())
        invalid.append(
            {file[QLatin1String("file")].toString(), file[QLatin1String("reason")].toString()});
    for (const QJsonValue &error : report.value(QLatin1String("clientErrors")).toArray())
        clients.append({QStringLiteral("client"), error.toString()});
    writeFailures(xml, QStringLiteral("(procedures not run)"), notRun);
    writeFailures(xml, QStringLiteral("(invalid procedure files)"), invalid);
    writeFailures(xml, QStringLiteral("(clients)"), clients);
    for (const QJsonValue &error : report.value(QLatin1String("reportErrors")).toArray())
        reports.append({QStringLiteral("report"), error.toString()});
    writeFailures(xml, QStringLiteral("(reports)"), reports);
    // A misspelt key checks nothing and passes: what the check warned of is where CI shows it.
    const QJsonArray checks = report.value(QLatin1String("checkWarnings")).toArray();
    if (!checks.isEmpty()) {
        QStringList lines;
        for (const QJsonValue &warning : checks)
            lines.append(warning[QLatin1String("text")].toString());
        writeCases(xml, QStringLiteral("(check)"),
                   {{QStringLiteral("%1 warning(s)").arg(checks.size()), lines.join('\n')}}, false);
    }
    // Whatever else makes the exit code fail is a failed testcase too: the XML fails whenever
    // the exit code does.
    const int exitCode = report.value(QLatin1String("exitCode")).toInt();
    QStringList why;
    if (!report.value(QLatin1String("finished")).toBool(true))
        why.append(QStringLiteral("The run did not finish."));
    if (const int signal = report.value(QLatin1String("interruptedBySignal")).toInt())
        why.append(QStringLiteral("The run was interrupted by signal %1.").arg(signal));
    failures += int(notRun.size() + invalid.size() + clients.size() + reports.size());
    if (exitCode != 0 && (exitCode > 1 || !why.isEmpty() || failures == 0)) {
        why.prepend(QStringLiteral("The run ended with exit code %1.").arg(exitCode));
        writeFailures(xml, QStringLiteral("(run)"), {{QStringLiteral("exit code"), why.join(' ')}});
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return !xml.hasError();
}
