#ifndef TESTFILES_H
#define TESTFILES_H

#include <QtCore/QFile>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>

#include <csignal>
#include <sys/resource.h>

// Files a test writes and reads, and the limit a full disk puts on them.

// Writes the file whole or ends the test program: a test on half a file would mean nothing.
inline QString writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

inline QJsonObject jsonObject(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

// A procedure file's text: the name, the label and the actions as given.
inline QByteArray procedureJson(const QString &name, const QJsonArray &actions,
                                const QString &label = QStringLiteral("L"))
{
    return QJsonDocument(QJsonObject {{"schema", "com.brightel.kav.automation.procedure:1"},
                                      {"name", name},
                                      {"label", label},
                                      {"actions", actions}})
        .toJson();
}

// Runs work with the size a file may grow to limited, as on a full disk: a write past it fails
// (SIGXFSZ ignored) instead of ending the process.
template<typename Work> auto withFileSizeLimit(rlim_t bytes, Work work)
{
    struct rlimit original;
    getrlimit(RLIMIT_FSIZE, &original);
    struct Restore {
        rlimit limit;
        ~Restore() { setrlimit(RLIMIT_FSIZE, &limit); }
    } restore {original};
    struct rlimit limited = original;
    limited.rlim_cur = bytes;
    signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limited);
    return work();
}

#endif // TESTFILES_H
