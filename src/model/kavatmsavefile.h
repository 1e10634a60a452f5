#ifndef KAVATMSAVEFILE_H
#define KAVATMSAVEFILE_H

#include "kavautomation_export.h"

#include <QtCore/QByteArray>
#include <QtCore/QIODevice>
#include <QtCore/QString>

#include <functional>

namespace KAVAtmSaveFile {

enum class Outcome {
    Saved,
    OpenFailed, // the target cannot be written at all; nothing was touched
    WriteFailed, // writing or committing failed; the previous file is left whole
};

// Replaces the file at path with content, atomically: a failure at any point leaves the
// previous file as it was. A short write (full disk, size limit) counts as a failure. A writable
// file in a read-only folder is written in place, its old content restored on failure. Only
// regular files are replaced, and symbolic links: the link itself, never its target.
KAVAUTOMATION_EXPORT Outcome Write(const QString &path, const QByteArray &content,
                                   QString *errorString = nullptr);

// Writes what produce writes into the file, as it goes: a report of many megabytes is never
// held whole. produce returns false when a write fell short.
using Producer = std::function<bool(QIODevice &file)>;
KAVAUTOMATION_EXPORT Outcome Write(const QString &path, const Producer &produce,
                                   QString *errorString = nullptr);

} // namespace KAVAtmSaveFile

#endif // KAVATMSAVEFILE_H
