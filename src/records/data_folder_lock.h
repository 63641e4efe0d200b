// One data folder, one monitor. Two monitors on one folder would append to
// the same daily logs and replace each other's tables and status files, so
// the GUI and the headless program both take this lock before they load
// anything. It is a lock file in the data folder itself (a lock in a shared
// temporary folder can outlive its owner); a lock left behind by a process
// that died is taken over.
#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

#include "records/data_folder.h"

namespace tolvana {

class DataFolderLock {
public:
    enum class Outcome {
        Acquired,    ///< this process holds the folder now
        HeldByOther, ///< another live process holds it
        Failed,      ///< the lock file cannot be written (read-only folder, ...)
    };

    /// Tries once, without waiting. On success the lock is held until the
    /// object is destroyed.
    static std::unique_ptr<DataFolderLock> acquire(const DataFolder& folder, Outcome* outcome = nullptr,
                                                   qint64* otherPid = nullptr);

    /// "<root>/tolvana.lock".
    static QString lockFilePath(const DataFolder& folder);

    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;
    ~DataFolderLock();

private:
    explicit DataFolderLock(const QString& path);
    QLockFile m_file;
};

} // namespace tolvana
