#include "recordingwriter.h"
#include "console.h"
#include "procedurecheck.h"

#include "kavatmsavefile.h"
#include "kavatmtestproceduredef.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonDocument>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using Console::err;
using Console::out;

RecordingWriter::RecordingWriter(const QString &path)
    : m_path(path), m_journalPath(path + QStringLiteral(".journal"))
{
}

RecordingWriter::~RecordingWriter() = default;

namespace {

// The bytes an action takes in the indented procedure file: indented twice more, a separator.
qint64 sizeInProcedure(const QJsonObject &action)
{
    const QByteArray indented = QJsonDocument(action).toJson(QJsonDocument::Indented);
    return indented.size() + 8 * (indented.count('\n') + 1) + 2;
}

} // namespace

bool RecordingWriter::Add(const QJsonObject &data)
{
    // Only what can be an action of a procedure goes in.
    const QString type = data.value(QLatin1String("action")).toString();
    if (type.isEmpty()) {
        err(tr("recording data that is not an action was dropped."));
        return false;
    }
    const QJsonObject action = Portable(data);
    const qint64 bytes = sizeInProcedure(action);
    // A recording the runner could not read back as a procedure is of no use.
    if (m_bytes + bytes > KAVAtmTestProcedureDef::MaximumFileSize) {
        err(tr("the recording would exceed %1 bytes: the last datum (%2) was dropped.")
                .arg(QString::number(KAVAtmTestProcedureDef::MaximumFileSize), type));
        return false;
    }
    if (!Append(action))
        return false;
    m_bytes += bytes;
    m_actions.append(action);
    return true;
}

QJsonObject RecordingWriter::Portable(QJsonObject action) const
{
    const QString file = action.value(QLatin1String("file")).toString();
    if (file.isEmpty() || QDir::isRelativePath(file))
        return action;
    const QString relative
        = QDir(QFileInfo(m_path).absolutePath()).relativeFilePath(QDir::cleanPath(file));
    // Beside the recording or in a folder next to it (documents/, recording/): the two move
    // together; anything further off stays where it is.
    if (!relative.startsWith(QLatin1String("../../")) && QDir::isRelativePath(relative))
        action.insert(QStringLiteral("file"), relative);
    return action;
}

bool RecordingWriter::Open()
{
    // What an interrupted run recorded goes into the procedure file first.
    QFile left(m_journalPath);
    if (left.exists()) {
        if (!left.open(QIODevice::ReadOnly)) {
            err(tr("cannot read the recording journal %1: %2")
                    .arg(m_journalPath, left.errorString()));
            return false;
        }
        QJsonArray recovered;
        while (!left.atEnd()) {
            // A line cut short by the crash was never recorded whole.
            const QJsonDocument line = QJsonDocument::fromJson(left.readLine());
            if (line.isObject())
                recovered.append(line.object());
        }
        left.close();
        // A run that stopped before it recorded anything leaves an empty journal: the recording
        // already there stays as it is.
        if (!recovered.isEmpty()) {
            if (!Write(recovered))
                return false;
            // The interrupted session goes on in this run: nothing of it is replaced.
            m_actions = recovered;
            out(tr("Recording: %1 action(s) of an interrupted recording recovered into %2; "
                   "this run's actions follow them.")
                    .arg(QString::number(recovered.size()), m_path));
        }
    }
    m_journal = std::make_unique<QFile>(m_journalPath);
    if (!m_journal->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        err(tr("cannot write the recording journal %1: %2")
                .arg(m_journalPath, m_journal->errorString()));
        m_journal.reset();
        return false;
    }
    // The procedure file around the actions counts towards its size limit too.
    m_bytes = Document(QJsonArray()).size();
    for (const QJsonValue &action : std::as_const(m_actions)) {
        if (!Append(action.toObject()))
            return false;
        m_bytes += sizeInProcedure(action.toObject());
    }
    return true;
}

bool RecordingWriter::Append(const QJsonObject &action)
{
    QByteArray line = QJsonDocument(action).toJson(QJsonDocument::Compact);
    line.append('\n');
    bool written = m_journal && m_journal->write(line) == line.size() && m_journal->flush();
#ifdef Q_OS_UNIX
    written = written && ::fdatasync(m_journal->handle()) == 0;
#endif
    if (!written) {
        err(tr("cannot write the recording journal %1: %2")
                .arg(m_journalPath, m_journal ? m_journal->errorString() : tr("it is not open")));
        return false;
    }
    return true;
}

void RecordingWriter::RemoveJournal()
{
    if (m_journal) {
        m_journal->close();
        m_journal.reset();
    }
    if (!m_journalPath.isEmpty())
        QFile::remove(m_journalPath);
}

QByteArray RecordingWriter::Document(const QJsonArray &actions) const
{
    const QString name = QFileInfo(m_path).completeBaseName();
    const QJsonObject procedure {
        {QStringLiteral("$schema"), QString::fromLatin1(ProcedureSchemaFile)},
        {QStringLiteral("schema"), KAVAtmTestProcedureDef::SchemaId + QStringLiteral(":1")},
        {QStringLiteral("name"), name},
        {QStringLiteral("label"), name},
        {QStringLiteral("actions"), actions}};
    return QJsonDocument(procedure).toJson();
}

bool RecordingWriter::Write(const QJsonArray &actions) const
{
    QString reason;
    if (KAVAtmSaveFile::Write(m_path, Document(actions), &reason)
        != KAVAtmSaveFile::Outcome::Saved) {
        err(tr("cannot write the recording %1: %2").arg(m_path, reason));
        return false;
    }
    return true;
}
