#include "records/data_folder_lock.h"

#include <QFileInfo>
#include <QSysInfo>

#include <cerrno>

#include "records/text_file.h"

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
                                                        qint64* otherPid, QString* otherHost, int* systemError) {
    std::unique_ptr<DataFolderLock> lock(new DataFolderLock(lockFilePath(folder)));
    // tryLock() removes a lock whose process no longer runs and takes it.
    errno = 0;
    const bool locked = lock->m_file.tryLock(0);
    if (systemError != nullptr) {
        *systemError = locked ? 0 : errno;
    }
    if (locked) {
        // Taking over a stale lock, Qt holds a helper lock beside it for a
        // moment; a monitor killed in that moment leaves it behind. Its
        // process is gone, so it is taken over and let go, which removes it.
        const QString helperPath = lockFilePath(folder) + QStringLiteral(".rmlock");
        if (QFileInfo::exists(helperPath)) {
            QLockFile helper(helperPath);
            helper.setStaleLockTime(0);
            if (helper.tryLock(0)) {
                helper.unlock();
            }
        }
        if (outcome != nullptr) {
            *outcome = Outcome::Acquired;
        }
        return lock;
    }
    const bool held = lock->m_file.error() == QLockFile::LockFailedError;
    if (outcome != nullptr) {
        *outcome = held ? Outcome::HeldByOther : Outcome::Failed;
    }
    if (held && (otherPid != nullptr || otherHost != nullptr)) {
        qint64 pid = 0;
        QString host;
        QString app;
        if (!lock->m_file.getLockInfo(&pid, &host, &app)) {
            pid = 0;
            host.clear();
        }
        if (otherPid != nullptr) {
            *otherPid = pid;
        }
        if (otherHost != nullptr) {
            *otherHost = host;
        }
    }
    return nullptr;
}

std::unique_ptr<DataFolderLock> DataFolderLock::acquireOrExplain(const DataFolder& folder, Outcome& outcome,
                                                                 QString& message) {
    qint64 pid = 0;
    QString host;
    int error = 0;
    std::unique_ptr<DataFolderLock> lock = acquire(folder, &outcome, &pid, &host, &error);
    if (lock) {
        return lock;
    }
    const QString shown = displayPath(folder.root());
    if (outcome == Outcome::HeldByOther) {
        QString holder = pid > 0 ? QStringLiteral("process %1").arg(pid) : QStringLiteral("another process");
        if (!host.isEmpty() && host != QSysInfo::machineHostName()) {
            holder += QStringLiteral(" on %1").arg(host);
        }
        message = QStringLiteral("the data folder %1 is in use by another tolvana (%2): one data folder "
                                 "serves one monitor at a time; stop the other one or give another "
                                 "folder with --home")
                      .arg(shown, holder);
    } else {
        message = QStringLiteral("cannot take the lock of the data folder %1: %2 cannot be written (%3)")
                      .arg(shown, displayPath(lockFilePath(folder)),
                           systemReason(error, QStringLiteral("the folder may be read-only")).english);
    }
    return nullptr;
}

} // namespace tolvana
