#ifndef RECORDINGWRITER_H
#define RECORDINGWRITER_H

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonObject>
#include <QtCore/QString>

#include <memory>

// The procedure file a recording run writes. Each recorded action is appended to a journal
// beside it as it comes, so that a crash loses nothing at a cost that does not grow with the
// recording; the journal is folded into the procedure file at the end, or by the next run that
// records to the same file. Paths the actions name become relative to the file when they lie
// near it, and the file never grows past what the runner can read back as a procedure.
class RecordingWriter {
    Q_DECLARE_TR_FUNCTIONS(Runner)
public:
    explicit RecordingWriter(const QString &path);
    ~RecordingWriter();

    QString GetPath() const { return m_path; }
    // Folds what an interrupted run left in the journal into the file, then opens this run's
    // journal; false, with a message printed, when either cannot be done.
    bool Open();
    // Takes one recorded datum; false, with a message printed, when it was dropped (not an
    // action, past the size limit, or not journalled).
    bool Add(const QJsonObject &data);
    const QJsonArray &GetActions() const { return m_actions; }
    // Writes the procedure file; false, with a message printed, when it could not.
    bool Write(const QJsonArray &actions) const;
    void RemoveJournal();

private:
    QByteArray Document(const QJsonArray &actions) const;
    bool Append(const QJsonObject &action);
    // A path the action names, relative to the recording's folder when it lies near it.
    QJsonObject Portable(QJsonObject action) const;

    const QString m_path;
    const QString m_journalPath;
    std::unique_ptr<QFile> m_journal;
    QJsonArray m_actions;
    // What the procedure file will take, as it grows.
    qint64 m_bytes = 0;
};

#endif // RECORDINGWRITER_H
