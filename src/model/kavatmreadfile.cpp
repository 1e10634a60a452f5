#include "kavatmreadfile.h"

#include <QtCore/QFile>
#include <QtCore/QFileInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace KAVAtmReadFile {

namespace {

Outcome fail(Outcome outcome, const QString &reason, QString *errorString)
{
    if (errorString)
        *errorString = reason;
    return outcome;
}

} // namespace

Outcome Read(const QString &path, qint64 maxBytes, QByteArray *content, QString *errorString)
{
    if (!QFileInfo::exists(path)) {
        // A link to nothing is a file that went astray, not one that was never made.
        if (QFileInfo(path).isSymLink())
            return fail(Outcome::NotRegular,
                        QStringLiteral("%1 is a link to a file that does not exist.").arg(path),
                        errorString);
        return fail(Outcome::Missing, QStringLiteral("%1 does not exist.").arg(path), errorString);
    }
    QFile file;
#ifdef Q_OS_UNIX
    // Opened without blocking and checked on the open descriptor: a pipe put in its place after
    // a check by name would block the open itself.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(Outcome::Unreadable, QStringLiteral("%1 cannot be opened.").arg(path),
                    errorString);
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail(Outcome::NotRegular, QStringLiteral("%1 is not a regular file.").arg(path),
                    errorString);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(Outcome::Unreadable, file.errorString(), errorString);
    }
#else
    if (!QFileInfo(path).isFile())
        return fail(Outcome::NotRegular, QStringLiteral("%1 is not a regular file.").arg(path),
                    errorString);
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(Outcome::Unreadable, file.errorString(), errorString);
#endif
    const qint64 size = file.size();
    if (size > maxBytes) {
        return fail(
            Outcome::TooLarge,
            QStringLiteral("%1 is larger than %2 bytes.").arg(path, QString::number(maxBytes)),
            errorString);
    }
    // One byte more than it holds: a file that grows while it is read is not taken half.
    const QByteArray bytes = file.read(size + 1);
    if (bytes.size() > size) {
        return fail(Outcome::Unreadable, QStringLiteral("%1 changed while it was read.").arg(path),
                    errorString);
    }
    if (file.error() != QFileDevice::NoError)
        return fail(Outcome::Unreadable, file.errorString(), errorString);
    if (content)
        *content = bytes;
    return Outcome::Read;
}

} // namespace KAVAtmReadFile
