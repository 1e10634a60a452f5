#ifndef KAVATMTRACEWRITER_P_H
#define KAVATMTRACEWRITER_P_H

#include "kavautomation_export.h"

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QJsonObject>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <memory>

class KAVAtmTestActionResult;
class KAVAtmTestProcedureResult;
class QFile;

// The step trace of each procedure attempt: "trace/trace.ndjson" in the procedure run's folder,
// a line per event, written as it happens so that a host that crashes or freezes leaves what
// came before; its screenshots beside it; and at the attempt's end "trace.html", a page that
// shows it all without a server or a network.
class KAVAUTOMATION_EXPORT KAVAtmTraceWriter {
public:
    enum class Mode { Off, On, RetainOnFailure };
    // "on", "retain-on-failure", "off"; anything else is no mode (ok false).
    static Mode ModeFromText(const QString &text, bool *ok = nullptr);
    static QString ModeText(Mode mode);
    // The first line's version: a reader refuses what it does not know.
    static constexpr int Version = 1;
    // The page the trace's events go into.
    static QByteArray ViewerPage(const QList<QByteArray> &eventLines);

    KAVAtmTraceWriter();
    ~KAVAtmTraceWriter();

    Mode GetMode() const;
    void SetMode(Mode mode);

    // folder: the procedure run's; the trace goes into "trace" inside it (or "trace_2" when an
    // attempt of the same second, or another runner, has it).
    void ProcedureStarted(const KAVAtmTestProcedureResult *procedure, const QString &folder,
                          qint64 pid);
    void ActionStarted(const KAVAtmTestActionResult *action);
    // An update the host sent before the verdict ("Executing").
    void ActionUpdated(const KAVAtmTestActionResult *action);
    void ActionFinished(const KAVAtmTestActionResult *action, const QByteArray &png,
                        const QStringList &log);
    // What ended the host's procedure other than its actions (a crash, a freeze, a signal).
    void SetEnding(qint64 pid, const QString &reason);
    // The host's procedures have all ended.
    void ForgetEnding(qint64 pid);
    // Writes the page and ends the trace. Returns the page's path, or an empty text when the
    // trace is not kept (off, or a pass with retain-on-failure).
    QString ProcedureFinished(const KAVAtmTestProcedureResult *procedure, bool passed);

private:
    struct Trace;
    Trace *Find(const KAVAtmTestActionResult *action);
    void Write(Trace &trace, const QJsonObject &event);

    Mode m_mode = Mode::Off;
    QHash<const KAVAtmTestProcedureResult *, std::shared_ptr<Trace>> m_traces;
    QHash<qint64, QString> m_endings;
};

#endif // KAVATMTRACEWRITER_P_H
