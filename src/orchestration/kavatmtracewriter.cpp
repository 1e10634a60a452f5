#include "kavatmtracewriter_p.h"
#include "kavatmlogging_p.h"
#include "kavatmsavefile.h"
#include "kavatmtestactiondef.h"
#include "kavatmtestactionresult.h"
#include "kavatmtestproceduredef.h"
#include "kavatmtestprocedureresult.h"

#include <QtCore/QDateTime>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>

namespace {

const QString TimeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ");

QString time(const QDateTime &at)
{
    return (at.isValid() ? at : QDateTime::currentDateTimeUtc()).toUTC().toString(TimeFormat);
}

// What a person reads in a verdict.
QString verdict(KAVAtmEnums::ExecutionResult result)
{
    return KAVAtmEnums::GetExecutionResultEnumText(result);
}

} // namespace

struct KAVAtmTraceWriter::Trace {
    QString folder;
    std::unique_ptr<QFile> file;
    qint64 pid = 0;
    QHash<const KAVAtmTestActionResult *, int> indexes;
    int next = 0;
    bool failedToWrite = false;
};

KAVAtmTraceWriter::Mode KAVAtmTraceWriter::ModeFromText(const QString &text, bool *ok)
{
    const QString mode = text.trimmed().toLower();
    if (ok)
        *ok = true;
    if (mode == QLatin1String("on"))
        return Mode::On;
    if (mode == QLatin1String("retain-on-failure"))
        return Mode::RetainOnFailure;
    if (ok)
        *ok = mode == QLatin1String("off");
    return Mode::Off;
}

QString KAVAtmTraceWriter::ModeText(Mode mode)
{
    switch (mode) {
    case Mode::On:
        return QStringLiteral("on");
    case Mode::RetainOnFailure:
        return QStringLiteral("retain-on-failure");
    case Mode::Off:
        break;
    }
    return QStringLiteral("off");
}

QByteArray KAVAtmTraceWriter::ViewerPage(const QList<QByteArray> &eventLines)
{
    QFile file(QStringLiteral(":/trace/traceviewer.html"));
    QByteArray page = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    // "<" as \u003c: no text of the host's can close the script element the data sits in.
    QByteArray data = "[";
    for (qsizetype i = 0; i < eventLines.size(); ++i) {
        if (i > 0)
            data += ",\n";
        data += QByteArray(eventLines.at(i)).replace('<', "\\u003c");
    }
    data += "]";
    const QByteArray marker = "/*KAV_TRACE_DATA*/[]";
    const qsizetype at = page.indexOf(marker);
    if (at >= 0)
        page.replace(at, marker.size(), data);
    return page;
}

KAVAtmTraceWriter::KAVAtmTraceWriter() = default;

KAVAtmTraceWriter::~KAVAtmTraceWriter() = default;

KAVAtmTraceWriter::Mode KAVAtmTraceWriter::GetMode() const
{
    return m_mode;
}

void KAVAtmTraceWriter::SetMode(Mode mode)
{
    m_mode = mode;
}

void KAVAtmTraceWriter::Write(Trace &trace, const QJsonObject &event)
{
    if (!trace.file || trace.failedToWrite)
        return;
    const QByteArray line = QJsonDocument(event).toJson(QJsonDocument::Compact) + '\n';
    // Flushed line by line: what was written stays if the runner is killed next.
    if (trace.file->write(line) != line.size() || !trace.file->flush()) {
        trace.failedToWrite = true;
        qCWarning(lcOrchestration).noquote()
            << QStringLiteral("The trace %1 could not be written: %2")
                   .arg(trace.file->fileName(), trace.file->errorString());
    }
}

void KAVAtmTraceWriter::ProcedureStarted(const KAVAtmTestProcedureResult *procedure,
                                         const QString &folder, qint64 pid)
{
    if (m_mode == Mode::Off || !procedure)
        return;
    auto trace = std::make_shared<Trace>();
    trace->pid = pid;
    m_traces.insert(procedure, trace);
    // Made, not found: a folder that exists (another attempt's, another runner's) is not taken.
    QString name = QStringLiteral("trace");
    bool made = QDir().mkpath(folder);
    for (int n = 2; made && !QDir(folder).mkdir(name); ++n) {
        name = QStringLiteral("trace_%1").arg(n);
        made = n < 1000;
    }
    if (!made) {
        qCWarning(lcOrchestration).noquote()
            << QStringLiteral("No trace folder could be made in %1.").arg(folder);
        return;
    }
    // Only a folder made here is ever removed.
    trace->folder = folder + QDir::separator() + name;
    trace->file = std::make_unique<QFile>(trace->folder + QDir::separator()
                                          + QStringLiteral("trace.ndjson"));
    if (!trace->file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qCWarning(lcOrchestration).noquote()
            << QStringLiteral("The trace %1 could not be written: %2")
                   .arg(trace->file->fileName(), trace->file->errorString());
        trace->file.reset();
        return;
    }
    const KAVAtmTestProcedureDef *def = procedure->GetProcedureDef();
    QJsonObject header {{QStringLiteral("kavTrace"), Version},
                        {QStringLiteral("host"), pid},
                        {QStringLiteral("attempt"), procedure->GetAttempt()},
                        {QStringLiteral("started"), time(procedure->GetStartTime())}};
    if (def) {
        header.insert(QStringLiteral("procedure"), def->GetName());
        header.insert(QStringLiteral("file"), def->GetFilePath());
    }
    Write(*trace, header);
}

KAVAtmTraceWriter::Trace *KAVAtmTraceWriter::Find(const KAVAtmTestActionResult *action)
{
    if (m_mode == Mode::Off || !action)
        return nullptr;
    const auto it = m_traces.constFind(action->GetParentProcedureResult());
    return it == m_traces.constEnd() ? nullptr : it->get();
}

void KAVAtmTraceWriter::ActionStarted(const KAVAtmTestActionResult *action)
{
    Trace *trace = Find(action);
    if (!trace)
        return;
    const int index = trace->next++;
    trace->indexes.insert(action, index);
    const KAVAtmTestActionDef *def = action->GetActionDef();
    QJsonObject event {{QStringLiteral("event"), QStringLiteral("action")},
                       {QStringLiteral("index"), index},
                       {QStringLiteral("type"), action->GetActionType()},
                       {QStringLiteral("start"), time(action->GetStartTime())}};
    if (def) {
        event.insert(QStringLiteral("name"), def->GetName());
        event.insert(QStringLiteral("definition"), def->GetData());
    }
    Write(*trace, event);
    Write(*trace, QJsonObject {{QStringLiteral("event"), QStringLiteral("message")},
                               {QStringLiteral("index"), index},
                               {QStringLiteral("message"), QStringLiteral("execute")},
                               {QStringLiteral("time"), time(action->GetStartTime())}});
}

void KAVAtmTraceWriter::ActionUpdated(const KAVAtmTestActionResult *action)
{
    Trace *trace = Find(action);
    if (!trace || !trace->indexes.contains(action))
        return;
    Write(*trace,
          QJsonObject {{QStringLiteral("event"), QStringLiteral("message")},
                       {QStringLiteral("index"), trace->indexes.value(action)},
                       {QStringLiteral("message"), QStringLiteral("actionupdate")},
                       {QStringLiteral("status"),
                        KAVAtmEnums::GetExecutionStatusEnumText(action->GetStatus())},
                       {QStringLiteral("time"), time(QDateTime())}});
}

void KAVAtmTraceWriter::ActionFinished(const KAVAtmTestActionResult *action,
                                       const QByteArray &png, const QStringList &log)
{
    Trace *trace = Find(action);
    if (!trace || !trace->indexes.contains(action))
        return;
    const int index = trace->indexes.take(action);
    Write(*trace,
          QJsonObject {{QStringLiteral("event"), QStringLiteral("message")},
                       {QStringLiteral("index"), index},
                       {QStringLiteral("message"), QStringLiteral("actionupdate")},
                       {QStringLiteral("status"),
                        KAVAtmEnums::GetExecutionStatusEnumText(action->GetStatus())},
                       {QStringLiteral("time"), time(action->GetEndTime())}});
    QJsonObject event {{QStringLiteral("event"), QStringLiteral("result")},
                       {QStringLiteral("index"), index},
                       {QStringLiteral("result"), verdict(action->GetResult())},
                       {QStringLiteral("end"), time(action->GetEndTime())}};
    if (action->GetStartTime().isValid() && action->GetEndTime().isValid())
        event.insert(QStringLiteral("durationMs"),
                     action->GetStartTime().msecsTo(action->GetEndTime()));
    if (!action->GetDetails().isEmpty())
        event.insert(QStringLiteral("details"), action->GetDetails());
    if (!action->GetLocation().isEmpty())
        event.insert(QStringLiteral("location"), action->GetLocation());
    if (!log.isEmpty())
        event.insert(QStringLiteral("log"), QJsonArray::fromStringList(log));
    if (!action->GetWidgetTree().isEmpty())
        event.insert(QStringLiteral("widgets"), action->GetWidgetTree());
    if (!png.isEmpty() && trace->file) {
        const QString name = QStringLiteral("step-%1.png").arg(index + 1, 3, 10, QLatin1Char('0'));
        QString reason;
        if (KAVAtmSaveFile::Write(trace->folder + QDir::separator() + name, png, &reason)
            == KAVAtmSaveFile::Outcome::Saved)
            event.insert(QStringLiteral("screenshot"), name);
        else
            event.insert(QStringLiteral("screenshotMissing"), reason);
    } else if (!action->GetScreenshotMissing().isEmpty()) {
        event.insert(QStringLiteral("screenshotMissing"), action->GetScreenshotMissing());
    }
    Write(*trace, event);
}

void KAVAtmTraceWriter::ForgetEnding(qint64 pid)
{
    m_endings.remove(pid);
}

void KAVAtmTraceWriter::SetEnding(qint64 pid, const QString &reason)
{
    if (m_mode != Mode::Off && !m_endings.contains(pid))
        m_endings.insert(pid, reason);
}

QString KAVAtmTraceWriter::ProcedureFinished(const KAVAtmTestProcedureResult *procedure,
                                             bool passed)
{
    const std::shared_ptr<Trace> trace = m_traces.take(procedure);
    if (!trace)
        return QString();
    Write(*trace, QJsonObject {{QStringLiteral("event"), QStringLiteral("end")},
                               {QStringLiteral("verdict"),
                                passed ? QStringLiteral("passed") : QStringLiteral("failed")},
                               {QStringLiteral("ended"),
                                m_endings.value(trace->pid, QStringLiteral("completed"))},
                               {QStringLiteral("time"), time(procedure->GetEndTime())}});
    const bool kept = m_mode == Mode::On || !passed;
    if (!kept) {
        trace->file.reset();
        if (trace->folder.isEmpty())
            return QString();
        QDir(trace->folder).removeRecursively();
        // The procedure's folder too, when the trace was all it held.
        QDir().rmdir(QFileInfo(trace->folder).absolutePath());
        return QString();
    }
    if (!trace->file)
        return QString();
    trace->file->close();
    QList<QByteArray> lines;
    if (trace->file->open(QIODevice::ReadOnly)) {
        while (!trace->file->atEnd()) {
            const QByteArray line = trace->file->readLine().trimmed();
            if (!line.isEmpty())
                lines.append(line);
        }
    }
    trace->file.reset();
    const QString page = trace->folder + QDir::separator() + QStringLiteral("trace.html");
    QString reason;
    if (KAVAtmSaveFile::Write(page, ViewerPage(lines), &reason) != KAVAtmSaveFile::Outcome::Saved) {
        qCWarning(lcOrchestration).noquote()
            << QStringLiteral("The trace viewer %1 could not be written: %2").arg(page, reason);
        return QString();
    }
    return page;
}
