#include "kavatmsavefile_p.h"

#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QSaveFile>

namespace KAVAtmSaveFile {

namespace {

Outcome fail(Outcome outcome, const QString &reason, QString *errorString)
{
    if (errorString)
        *errorString = reason;
    return outcome;
}

} // namespace

Outcome Write(const QString &path, const QByteArray &content, QString *errorString)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return fail(Outcome::OpenFailed, QStringLiteral("%1 is not a regular file.").arg(path),
                    errorString);

    // A writable file in a folder that takes no new files cannot be replaced through a
    // temporary file: it is written in place, and its previous content is put back should
    // that write fail.
    const bool inPlace
        = info.exists() && info.isWritable() && !QFileInfo(info.absolutePath()).isWritable();
    QByteArray previous;
    if (inPlace) {
        QFile old(path);
        if (!old.open(QIODevice::ReadOnly))
            return fail(Outcome::OpenFailed, old.errorString(), errorString);
        previous = old.readAll();
    }

    QSaveFile file(path);
    file.setDirectWriteFallback(inPlace);
    if (!file.open(QIODevice::WriteOnly))
        return fail(Outcome::OpenFailed, file.errorString(), errorString);
    // A short write (full disk, size limit) may come back without an error, and a failed
    // flush of the last buffered bytes may still commit: both are checked here.
    QString reason;
    if (file.write(content) != content.size() || !file.flush()) {
        reason = file.errorString().isEmpty() ? QStringLiteral("The file was not fully written.")
                                              : file.errorString();
        file.cancelWriting();
    }
    if (file.commit())
        return Outcome::Saved;
    if (reason.isEmpty())
        reason = file.errorString();
    if (inPlace) {
        QFile restore(path);
        if (!restore.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || restore.write(previous) != previous.size() || !restore.flush())
            reason += QStringLiteral(" The previous content could not be restored either.");
    }
    return fail(Outcome::WriteFailed, reason, errorString);
}

} // namespace KAVAtmSaveFile
