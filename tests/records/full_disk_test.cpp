// Files on a disk that fills up: a table keeps its old version, a log keeps
// whole lines, two processes appending to one log lose no line that was
// reported as written, and the message says what happened. The disk is a
// small tmpfs of the test's own where the machine lets the test mount one,
// else the file-size limit stands in for it.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QRegularExpression>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "records/text_file.h"
#include "records_fixture.h"
#include "support/small_disk.h"

namespace tolvana {
namespace {

using test::filesIn;
using test::readBytes;
using test::SmallDisk;
using test::writeBytes;

/// A data folder on a small disk (or, without the right to mount one, in the
/// temporary folder, with the file-size limit as the full disk).
class FullDisk : public ::testing::Test {
protected:
    void SetUp() override {
        m_disk.emplace(64);
        QString root;
        if (m_disk->mounted()) {
            root = QString::fromStdString(m_disk->path()) + QStringLiteral("/home");
        } else {
            ASSERT_TRUE(m_temp.isValid());
            root = m_temp.path() + QStringLiteral("/home");
        }
        const auto opened = DataFolder::open(root);
        ASSERT_TRUE(opened.has_value());
        m_folder.emplace(*opened);
    }
    const DataFolder& folder() const { return *m_folder; }
    bool onSmallDisk() const { return m_disk->mounted(); }

    /// Makes every further write fail that needs a new page of the disk (or,
    /// with the limit, that makes a file larger than `fileSize`).
    void fillUp(std::size_t fileSize) {
        if (onSmallDisk()) {
            m_disk->fill();
        } else {
            m_limit.emplace(static_cast<rlim_t>(fileSize));
        }
    }
    void makeRoom() {
        if (onSmallDisk()) {
            m_disk->release();
        } else {
            m_limit.reset();
        }
    }
    /// What the message names as the cause.
    QString expectedCause() const {
        return onSmallDisk() ? QStringLiteral("der Datentr\u00E4ger ist voll")
                             : QStringLiteral("die Datei w\u00FCrde gr\u00F6\u00DFer, als das System erlaubt");
    }
    QString expectedEnglishCause() const {
        return onSmallDisk() ? QStringLiteral("no space left on the disk")
                             : QStringLiteral("the file would grow beyond the size the system allows");
    }

    std::optional<SmallDisk> m_disk;
    QTemporaryDir m_temp;
    std::optional<DataFolder> m_folder;
    std::optional<test::FileSizeLimit> m_limit;
};

TEST_F(FullDisk, ATableKeepsItsOldVersionAndTheMessageSaysTheDiskIsFull) {
    const QString path = folder().stationNamesFile();
    const QByteArray old("Wache 1\r\nWache 2\r\n");
    writeBytes(path, old);
    fillUp(static_cast<std::size_t>(old.size()));
    // Larger than anything a page of the disk still holds.
    const QStringList names(300, QStringLiteral("Feuerwache M\u00FCnchen-Nord"));
    const FileResult result = writeTextLines(path, names);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error(), QStringLiteral("Die Datei \u201E%1\u201C kann nicht gespeichert werden: %2. "
                                             "Die bisherige Fassung bleibt erhalten.")
                                  .arg(path, expectedCause()));
    EXPECT_EQ(result.englishError(),
              QStringLiteral("cannot save %1: %2; the previous version is kept").arg(path, expectedEnglishCause()));
    EXPECT_EQ(result.file(), path);
    EXPECT_EQ(readBytes(path), old);
    EXPECT_EQ(filesIn(folder().root()), QStringList{QStringLiteral("Wachen.txt")});

    // Room again: the same save goes through whole.
    makeRoom();
    const FileResult again = writeTextLines(path, names);
    ASSERT_TRUE(again.ok()) << again.error().toStdString();
    EXPECT_EQ(again.file(), path);
    EXPECT_EQ(readBytes(path).count("\r\n"), 300);
}

TEST_F(FullDisk, AnAppendThatDoesNotFitLeavesNoPieceOfItsLine) {
    // A log that ends a few bytes before the end of its page: the next line
    // begins to fit and then runs into the full disk.
    const QString path = folder().logFile(ReceptionKind::Pocsag, QDate(2026, 12, 7));
    const QByteArray line(4086, 'x');
    const QByteArray old = line + "\r\n" + "1234567\t3\tWehrf\xFChrer\r\n";
    writeBytes(path, old.left(4090));
    fillUp(4090);
    const FileResult result =
        appendTextLine(path, QStringLiteral("1234567\t0\t\t07.12.2026 15:52:42\tEinsatz Brand Wohnhaus"));
    ASSERT_FALSE(result.ok());
    EXPECT_TRUE(result.error().startsWith(
        QStringLiteral("Die Zeile kann nicht an \u201E%1\u201C angeh\u00E4ngt werden: ").arg(path)))
        << result.error().toStdString();
    EXPECT_TRUE(result.error().contains(expectedCause())) << result.error().toStdString();
    EXPECT_TRUE(result.englishError().contains(expectedEnglishCause())) << result.englishError().toStdString();
    EXPECT_EQ(readBytes(path), old.left(4090));

    makeRoom();
    ASSERT_TRUE(appendTextLine(path, QStringLiteral("zweite")).ok());
    // The last line had no end (cut by hand here): it gets one, the new line follows.
    EXPECT_EQ(readBytes(path), old.left(4090) + "\r\nzweite\r\n");
}

// Two processes that append to one daily log while the disk fills and, now
// and then, gets a page free again (a monitor rewriting its status page does
// that): every line in the log is whole, and each process finds exactly the
// lines it was told were written, in its order.
TEST_F(FullDisk, TwoProcessesAppendingToOneLogLoseNoReportedLine) {
    const QString path = folder().logFile(ReceptionKind::Fms, QDate(2026, 12, 7));
    constexpr int kAppends = 400;
    constexpr int kLineBytes = 150; // a long FMS row; 27 lines to a page
    if (onSmallDisk()) {
        m_disk->fill();
        m_disk->release(2 * 4096);
    }

    struct Writer {
        pid_t pid = -1;
        int results = -1; // read end of the pipe with the appends that succeeded
    };
    std::vector<Writer> writers;
    for (const char id : {'A', 'B'}) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(fds[0]);
            if (!onSmallDisk()) {
                // The limit as the full disk: a little over half of what both write.
                const rlimit limit{kAppends * kLineBytes + kLineBytes / 2, RLIM_INFINITY};
                signal(SIGXFSZ, SIG_IGN);
                setrlimit(RLIMIT_FSIZE, &limit);
            }
            std::string done;
            for (int i = 0; i < kAppends; ++i) {
                const QString head = QStringLiteral("%1 %2 ").arg(QLatin1Char(id)).arg(i, 4, 10, QLatin1Char('0'));
                const QString text = head + QString(kLineBytes - 2 - head.size(), QLatin1Char(id == 'A' ? 'a' : 'b'));
                if (appendTextLine(path, text).ok()) {
                    done += std::to_string(i) + ' ';
                }
            }
            const ssize_t written = write(fds[1], done.data(), done.size());
            _exit(written == static_cast<ssize_t>(done.size()) ? 0 : 1);
        }
        close(fds[1]);
        writers.push_back({pid, fds[0]});
    }

    // Read what each writer reports (its pipe ends when it exits), giving
    // the disk a page back every few milliseconds, a dozen times in all: far
    // less room than both writers need.
    std::map<char, std::string> texts;
    std::vector<pollfd> open;
    for (const Writer& w : writers) {
        open.push_back({w.results, POLLIN, 0});
    }
    int released = 0;
    std::size_t ended = 0;
    while (ended < open.size()) {
        ASSERT_GE(poll(open.data(), open.size(), 2), 0);
        for (std::size_t w = 0; w < open.size(); ++w) {
            if (open[w].fd < 0 || open[w].revents == 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t got = read(open[w].fd, buffer, sizeof buffer);
            if (got > 0) {
                texts[w == 0 ? 'A' : 'B'].append(buffer, static_cast<std::size_t>(got));
            } else {
                close(open[w].fd);
                open[w].fd = -1;
                ++ended;
            }
        }
        if (onSmallDisk() && released < 12) {
            m_disk->release(4096);
            ++released;
        }
    }
    std::map<char, std::vector<int>> reported;
    for (std::size_t w = 0; w < writers.size(); ++w) {
        int status = 0;
        ASSERT_EQ(waitpid(writers[w].pid, &status, 0), writers[w].pid);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        const char id = w == 0 ? 'A' : 'B';
        for (const QString& n : QString::fromStdString(texts[id]).split(u' ', Qt::SkipEmptyParts)) {
            reported[id].push_back(n.toInt());
        }
    }

    const QByteArray bytes = readBytes(path);
    ASSERT_TRUE(bytes.isEmpty() || bytes.endsWith("\r\n")) << "the log ends in half a line";
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast();
    std::map<char, std::vector<int>> found;
    static const QRegularExpression whole(QStringLiteral("^([AB]) (\\d{4}) (a+|b+)\r$"));
    for (const QByteArray& line : lines) {
        const QRegularExpressionMatch m = whole.match(QString::fromLatin1(line));
        ASSERT_TRUE(m.hasMatch() && line.size() == kLineBytes - 1) << "not a whole line: " << line.toStdString();
        found[m.captured(1).at(0).toLatin1()].push_back(m.captured(2).toInt());
    }
    EXPECT_EQ(found['A'], reported['A']);
    EXPECT_EQ(found['B'], reported['B']);
    // The disk did fill: not every append went through, but many did.
    EXPECT_LT(reported['A'].size() + reported['B'].size(), 2u * kAppends);
    EXPECT_GT(reported['A'].size() + reported['B'].size(), 20u);
}

// Another writer that holds the log locked (stopped in the middle of its own
// append, say) does not make the monitor wait for ever: the append gives up
// after a moment, says why, and leaves the file alone.
TEST_F(FullDisk, AnAppendWaitsForAnotherWriterOnlyAMoment) {
    const QString path = folder().logFile(ReceptionKind::Zvei, QDate(2026, 12, 7));
    writeBytes(path, "12345\tFF Musterstadt\t07.12.2026 15:52:42\r\n");
    const int other = open(path.toLocal8Bit().constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX), 0);
    const FileResult result = appendTextLine(path, QStringLiteral("23456\t\t07.12.2026 15:52:50"));
    close(other);
    ASSERT_FALSE(result.ok());
    EXPECT_TRUE(result.error().contains(QStringLiteral("ein anderes Programm h\u00E4lt die Datei gesperrt")))
        << result.error().toStdString();
    EXPECT_EQ(readBytes(path), QByteArray("12345\tFF Musterstadt\t07.12.2026 15:52:42\r\n"));
    ASSERT_TRUE(appendTextLine(path, QStringLiteral("23456\t\t07.12.2026 15:52:50")).ok());
}

} // namespace
} // namespace tolvana
