#ifndef KAVATMREADFILE_H
#define KAVATMREADFILE_H

#include "kavautomation_export.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>

namespace KAVAtmReadFile {

enum class Outcome {
    Read,
    Missing,
    NotRegular, // a folder, a pipe, a device: reading it could block or never end
    TooLarge,
    Unreadable,
};

// Reads a whole regular file of at most maxBytes. Anything else is refused before a byte is
// read, a pipe without waiting for a writer; errorString says why.
KAVAUTOMATION_EXPORT Outcome Read(const QString &path, qint64 maxBytes, QByteArray *content,
                                  QString *errorString = nullptr);

} // namespace KAVAtmReadFile

#endif // KAVATMREADFILE_H
