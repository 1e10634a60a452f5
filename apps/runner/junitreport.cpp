#include "junitreport.h"

#include "kavatmtestactiondef.h"
#include "kavatmtestactionresult.h"
#include "kavatmtestproceduredef.h"
#include "kavatmtestprocedureresult.h"

#include <QtCore/QXmlStreamWriter>

namespace {

QString seconds(const QDateTime &start, const QDateTime &end)
{
    const qint64 ms = start.isValid() && end.isValid() ? qMax<qint64>(0, start.msecsTo(end)) : 0;
    return QString::number(ms / 1000.0, 'f', 3);
}

QString procedureName(const KAVAtmTestProcedureDef *def)
{
    if (!def)
        return QStringLiteral("(no procedure)");
    return def->GetName().isEmpty() ? def->GetLabel() : def->GetName();
}

QString actionName(const KAVAtmTestActionResult *action, int index)
{
    const KAVAtmTestActionDef *def = action->GetActionDef();
    const QString name = def ? def->GetName() : QString();
    // Numbered: a procedure may run the same type, even the same name, twice.
    return QStringLiteral("%1 %2")
        .arg(index + 1, 2, 10, QLatin1Char('0'))
        .arg(name.isEmpty() ? action->GetActionType()
                            : QStringLiteral("%1 (%2)").arg(name, action->GetActionType()));
}

// One suite of failed testcases for what failed outside the actions.
void writeFailures(QXmlStreamWriter &xml, const QString &suite,
                   const QList<QPair<QString, QString>> &failures)
{
    if (failures.isEmpty())
        return;
    xml.writeStartElement(QStringLiteral("testsuite"));
    xml.writeAttribute(QStringLiteral("name"), suite);
    xml.writeAttribute(QStringLiteral("tests"), QString::number(failures.size()));
    xml.writeAttribute(QStringLiteral("failures"), QString::number(failures.size()));
    xml.writeAttribute(QStringLiteral("errors"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("skipped"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("time"), QStringLiteral("0.000"));
    for (const auto &[name, reason] : failures) {
        xml.writeStartElement(QStringLiteral("testcase"));
        xml.writeAttribute(QStringLiteral("name"), name);
        xml.writeAttribute(QStringLiteral("classname"), suite);
        xml.writeAttribute(QStringLiteral("time"), QStringLiteral("0.000"));
        xml.writeStartElement(QStringLiteral("failure"));
        xml.writeAttribute(QStringLiteral("message"), reason);
        xml.writeCharacters(reason);
        xml.writeEndElement();
        xml.writeEndElement();
    }
    xml.writeEndElement();
}

} // namespace

QByteArray JUnitReport(const JUnitRun &run)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("testsuites"));
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("KAVAutomation"));
    for (const KAVAtmTestProcedureResult *procedure : run.procedures) {
        const QString suite = procedureName(procedure->GetProcedureDef());
        const QList<KAVAtmTestActionResult *> actions = procedure->GetActionResults();
        int failures = 0, skipped = 0;
        for (const KAVAtmTestActionResult *action : actions) {
            if (action->GetStatus() != KAVAtmEnums::Completed
                || action->GetResult() == KAVAtmEnums::Unknown)
                ++skipped;
            else if (action->GetResult() == KAVAtmEnums::Fail)
                ++failures;
        }
        xml.writeStartElement(QStringLiteral("testsuite"));
        xml.writeAttribute(QStringLiteral("name"), suite);
        xml.writeAttribute(QStringLiteral("tests"), QString::number(actions.size()));
        xml.writeAttribute(QStringLiteral("failures"), QString::number(failures));
        xml.writeAttribute(QStringLiteral("errors"), QStringLiteral("0"));
        xml.writeAttribute(QStringLiteral("skipped"), QString::number(skipped));
        xml.writeAttribute(QStringLiteral("time"),
                           seconds(procedure->GetStartTime(), procedure->GetEndTime()));
        if (procedure->GetStartTime().isValid()) {
            xml.writeAttribute(QStringLiteral("timestamp"),
                               procedure->GetStartTime().toUTC().toString(Qt::ISODate));
        }
        if (run.attempts.contains(procedure)) {
            const auto [count, flaky] = run.attempts.value(procedure);
            xml.writeStartElement(QStringLiteral("properties"));
            for (const auto &[name, value] :
                 {std::pair {QStringLiteral("attempts"), QString::number(count)},
                  std::pair {QStringLiteral("flaky"),
                             flaky ? QStringLiteral("true") : QStringLiteral("false")}}) {
                xml.writeStartElement(QStringLiteral("property"));
                xml.writeAttribute(QStringLiteral("name"), name);
                xml.writeAttribute(QStringLiteral("value"), value);
                xml.writeEndElement();
            }
            xml.writeEndElement();
        }
        for (int i = 0; i < actions.size(); ++i) {
            const KAVAtmTestActionResult *action = actions.at(i);
            xml.writeStartElement(QStringLiteral("testcase"));
            xml.writeAttribute(QStringLiteral("name"), actionName(action, i));
            xml.writeAttribute(QStringLiteral("classname"), suite);
            xml.writeAttribute(QStringLiteral("time"),
                               seconds(action->GetStartTime(), action->GetEndTime()));
            const bool ran = action->GetStatus() == KAVAtmEnums::Completed
                && action->GetResult() != KAVAtmEnums::Unknown;
            if (!ran) {
                xml.writeStartElement(QStringLiteral("skipped"));
                xml.writeAttribute(QStringLiteral("message"),
                                   action->GetDetails().isEmpty()
                                       ? QStringLiteral("The action did not run.")
                                       : action->GetDetails());
                xml.writeEndElement();
            } else if (action->GetResult() == KAVAtmEnums::Fail) {
                xml.writeStartElement(QStringLiteral("failure"));
                xml.writeAttribute(QStringLiteral("message"), action->GetDetails());
                xml.writeAttribute(QStringLiteral("type"), action->GetActionType());
                xml.writeCharacters(action->GetDetails());
                xml.writeEndElement();
                if (!action->GetData().isEmpty())
                    xml.writeTextElement(QStringLiteral("system-out"), action->GetData());
            } else if (action->GetResult() == KAVAtmEnums::Warning) {
                // JUnit has no warning: it passes, and says so where a person looks.
                xml.writeTextElement(QStringLiteral("system-out"),
                                     QStringLiteral("Warning: ") + action->GetDetails());
            }
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    QList<QPair<QString, QString>> notRun;
    for (const KAVAtmTestProcedureDef *def : run.notStarted)
        notRun.append({procedureName(def), QStringLiteral("The procedure was never started.")});
    writeFailures(xml, QStringLiteral("(procedures not run)"), notRun);
    writeFailures(xml, QStringLiteral("(invalid procedure files)"), run.invalidFiles);
    QList<QPair<QString, QString>> clients;
    for (const QString &error : run.clientErrors)
        clients.append({QStringLiteral("client"), error});
    writeFailures(xml, QStringLiteral("(clients)"), clients);
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}
