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
    /// object is destroyed. When another process holds it, `otherPid` and
    /// `otherHost` (if given) name that process and its machine (a data folder
    /// on a network share may be held from another one); 0 and empty when
    /// the lock file does not say.
    /// When the lock file cannot be written (Failed), `systemError` (if
    /// given) holds the system's error number, 0 when unknown.
    static std::unique_ptr<DataFolderLock> acquire(const DataFolder& folder, Outcome* outcome = nullptr,
                                                   qint64* otherPid = nullptr, QString* otherHost = nullptr,
                                                   int* systemError = nullptr);

    /// acquire() for a program without a window: on failure `message` holds
    /// an English sentence that names the folder and, when it is held, the
    /// process that holds it and what to do; when the lock file cannot be
    /// written (a full disk, a read-only folder), why.
    static std::unique_ptr<DataFolderLock> acquireOrExplain(const DataFolder& folder, Outcome& outcome,
                                                            QString& message);

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
