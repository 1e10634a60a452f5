#include "kavatmsavefile_p.h"

#include <QtCore/QSaveFile>

namespace KAVAtmSaveFile {

Outcome Write(const QString &path, const QByteArray &content, QString *errorString)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (errorString)
            *errorString = file.errorString();
        return Outcome::OpenFailed;
    }
    // QSaveFile commits a partly written file when a write comes back short without an
    // error, so the count is checked here.
    if (file.write(content) != content.size())
        file.cancelWriting();
    if (!file.commit()) {
        if (errorString)
            *errorString = file.errorString();
        return Outcome::WriteFailed;
    }
    return Outcome::Saved;
}

} // namespace KAVAtmSaveFile
