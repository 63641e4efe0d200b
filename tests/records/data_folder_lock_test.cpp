// One monitor per data folder: a second one is refused, the lock ends with
// its holder, and a lock left by a process that died is taken over.
#include <gtest/gtest.h>

#include <QFile>
#include <QCoreApplication>
#include <QSysInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "records/data_folder_lock.h"
#include "records_fixture.h"

namespace tolvana {
namespace {

class DataFolderLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        auto folder = DataFolder::open(m_dir.path());
        ASSERT_TRUE(folder);
        m_folder.emplace(*folder);
    }
    QTemporaryDir m_dir;
    std::optional<DataFolder> m_folder;
};

TEST_F(DataFolderLockTest, SecondMonitorIsRefusedUntilTheFirstEnds) {
    DataFolderLock::Outcome outcome{};
    auto first = DataFolderLock::acquire(*m_folder, &outcome);
    ASSERT_TRUE(first);
    EXPECT_EQ(outcome, DataFolderLock::Outcome::Acquired);

    qint64 pid = -1;
    EXPECT_FALSE(DataFolderLock::acquire(*m_folder, &outcome, &pid));
    EXPECT_EQ(outcome, DataFolderLock::Outcome::HeldByOther);
    EXPECT_EQ(pid, QCoreApplication::applicationPid());

    first.reset();
    EXPECT_FALSE(QFile::exists(DataFolderLock::lockFilePath(*m_folder)));
    EXPECT_TRUE(DataFolderLock::acquire(*m_folder, &outcome));
}

TEST_F(DataFolderLockTest, LockOfAProcessThatDiedIsTakenOver) {
    // A process that has ended leaves its number free: a lock naming it is
    // what a monitor killed by a power cut leaves behind.
    QProcess gone;
    gone.start(QStringLiteral("true"), {});
    ASSERT_TRUE(gone.waitForFinished());
    const qint64 deadPid = gone.processId() != 0 ? gone.processId() : 999999;
    test::writeBytes(DataFolderLock::lockFilePath(*m_folder),
                     QByteArray::number(deadPid) + "\ntolvana\n" + QSysInfo::machineHostName().toUtf8() + "\n");

    // A monitor killed while it took over such a lock leaves Qt's helper
    // lock beside it: it goes with the next takeover.
    const QString helper = DataFolderLock::lockFilePath(*m_folder) + QStringLiteral(".rmlock");
    test::writeBytes(helper, QByteArray::number(deadPid) + "\ntolvana\n" + QSysInfo::machineHostName().toUtf8() + "\n");

    DataFolderLock::Outcome outcome{};
    EXPECT_TRUE(DataFolderLock::acquire(*m_folder, &outcome));
    EXPECT_EQ(outcome, DataFolderLock::Outcome::Acquired);
    EXPECT_FALSE(QFile::exists(helper));
}

TEST_F(DataFolderLockTest, TheRefusalNamesTheFolderAndTheHolder) {
    DataFolderLock::Outcome outcome{};
    QString message;
    auto first = DataFolderLock::acquireOrExplain(*m_folder, outcome, message);
    ASSERT_TRUE(first);
    EXPECT_TRUE(message.isEmpty());
    EXPECT_FALSE(DataFolderLock::acquireOrExplain(*m_folder, outcome, message));
    EXPECT_EQ(outcome, DataFolderLock::Outcome::HeldByOther);
    EXPECT_EQ(message, QStringLiteral("the data folder %1 is in use by another tolvana (process %2): one data "
                                      "folder serves one monitor at a time; stop the other one or give another "
                                      "folder with --home")
                           .arg(m_folder->root())
                           .arg(QCoreApplication::applicationPid()));
}

} // namespace
} // namespace tolvana
