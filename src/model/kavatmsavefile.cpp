#include "kavatmsavefile.h"

#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QSaveFile>
#include <QtCore/QTemporaryFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace KAVAtmSaveFile {

namespace {

Outcome fail(Outcome outcome, const QString &reason, QString *errorString)
{
    if (errorString)
        *errorString = reason;
    return outcome;
}

// Why a write fell short: a full disk or a size limit may come back without an error.
QString shortWrite(const QFileDevice &file)
{
    return file.error() == QFileDevice::NoError
        ? QStringLiteral("The file was not fully written (disk full or file too large).")
        : file.errorString();
}

} // namespace

// A writable file in a folder that takes no new files cannot be replaced through a temporary
// file: it is rewritten in place, and its previous content put back should that fail. Done by
// hand: QSaveFile's own direct-write fallback reports success after cancelWriting().
Outcome WriteInPlace(const QString &path, const Producer &produce, QString *errorString)
{
    // Unbuffered: bytes a full disk refused must not linger in a buffer and make the restoring
    // seek fail too.
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return fail(Outcome::OpenFailed, file.errorString(), errorString);
    const QByteArray previous = file.readAll();
    const auto rewrite = [&file] { return file.seek(0) && file.resize(0); };
    if (rewrite() && produce(file) && file.flush())
        return Outcome::Saved;
    QString reason = shortWrite(file);
    if (!rewrite() || file.write(previous) != previous.size() || !file.flush())
        reason += QStringLiteral(" The previous content could not be restored either.");
    return fail(Outcome::WriteFailed, reason, errorString);
}

#ifdef Q_OS_UNIX
// The link itself is replaced, never what it points to (QSaveFile would write through it): a
// report or a baseline named by a link must not land wherever the link leads.
Outcome ReplaceLink(const QFileInfo &info, const Producer &produce, QString *errorString)
{
    QTemporaryFile file(info.absolutePath() + QStringLiteral("/.") + info.fileName()
                        + QStringLiteral(".XXXXXX"));
    if (!file.open())
        return fail(Outcome::OpenFailed, file.errorString(), errorString);
    // A temporary file is the owner's only; the file it becomes gets what a new one would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(file.handle(), 0666 & ~mask);
    if (!produce(file) || !file.flush() || ::fsync(file.handle()) != 0)
        return fail(Outcome::WriteFailed, shortWrite(file), errorString);
    if (::rename(QFile::encodeName(file.fileName()).constData(),
                 QFile::encodeName(info.absoluteFilePath()).constData())
        != 0)
        return fail(Outcome::WriteFailed, QString::fromLocal8Bit(std::strerror(errno)),
                    errorString);
    file.setAutoRemove(false);
    return Outcome::Saved;
}
#endif

Outcome Write(const QString &path, const QByteArray &content, QString *errorString)
{
    return Write(
        path, [&content](QIODevice &file) { return file.write(content) == content.size(); },
        errorString);
}

Outcome Write(const QString &path, const Producer &produce, QString *errorString)
{
    const QFileInfo info(path);
#ifdef Q_OS_UNIX
    if (info.isSymLink())
        return ReplaceLink(info, produce, errorString);
#endif
    if (info.exists() && !info.isFile())
        return fail(Outcome::OpenFailed, QStringLiteral("%1 is not a regular file.").arg(path),
                    errorString);
    if (info.exists() && info.isWritable() && !QFileInfo(info.absolutePath()).isWritable())
        return WriteInPlace(path, produce, errorString);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(Outcome::OpenFailed, file.errorString(), errorString);
    // A failed flush of the last buffered bytes may still commit: it is checked here.
    QString reason;
    if (!produce(file) || !file.flush()) {
        reason = shortWrite(file);
        file.cancelWriting();
    }
    if (file.commit())
        return Outcome::Saved;
    if (reason.isEmpty())
        reason = file.errorString();
    return fail(Outcome::WriteFailed, reason, errorString);
}

} // namespace KAVAtmSaveFile
