#include "records/data_folder_lock.h"

namespace tolvana {

QString DataFolderLock::lockFilePath(const DataFolder& folder) {
    return folder.root() + QStringLiteral("/tolvana.lock");
}

DataFolderLock::DataFolderLock(const QString& path) : m_file(path) {
    // A lock is stale only when its process is gone, however old it is: a
    // monitor runs for months.
    m_file.setStaleLockTime(0);
}

DataFolderLock::~DataFolderLock() { m_file.unlock(); }

std::unique_ptr<DataFolderLock> DataFolderLock::acquire(const DataFolder& folder, Outcome* outcome,
                                                        qint64* otherPid) {
    std::unique_ptr<DataFolderLock> lock(new DataFolderLock(lockFilePath(folder)));
    // tryLock() removes a lock whose process no longer runs and takes it.
    if (lock->m_file.tryLock(0)) {
        if (outcome != nullptr) {
            *outcome = Outcome::Acquired;
        }
        return lock;
    }
    const bool held = lock->m_file.error() == QLockFile::LockFailedError;
    if (outcome != nullptr) {
        *outcome = held ? Outcome::HeldByOther : Outcome::Failed;
    }
    if (held && otherPid != nullptr) {
        QString host;
        QString app;
        if (!lock->m_file.getLockInfo(otherPid, &host, &app)) {
            *otherPid = 0;
        }
    }
    return nullptr;
}

} // namespace tolvana
