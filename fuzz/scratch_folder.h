// A scratch folder for the fuzz targets that write files. Every save syncs
// its file to the disk; on a memory file system (where one exists) that
// costs nothing, and the fuzzer runs many times faster.
#pragma once

#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

namespace tolvana::fuzz {

inline QString scratchTemplate() {
    const QString shm = QStringLiteral("/dev/shm");
    return QFileInfo(shm).isDir() && QFileInfo(shm).isWritable()
               ? shm + QStringLiteral("/tolvana-fuzz-XXXXXX")
               : QString();
}

struct Scratch {
    QTemporaryDir dir =
        scratchTemplate().isEmpty() ? QTemporaryDir() : QTemporaryDir(scratchTemplate());
    /// The data folder inside it.
    QString root() const { return dir.path() + QStringLiteral("/data"); }
};

} // namespace tolvana::fuzz
