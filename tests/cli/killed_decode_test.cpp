// tolvana-decode killed (SIGKILL, no chance to clean up) at random moments
// while it writes daily logs, status files and the status page: whatever it
// leaves behind is whole. Every log line is complete, every status file one
// whole line, the status page complete or absent, Mon.ini and the tables
// untouched, and a later run appends cleanly to what was left.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <random>
#include <set>

#include "cli/cli_runner.h"
#include "cli/monitor_scenario.h"
#include "support/signal.h"
#include "support/traffic.h"

namespace tolvana::test {
namespace {

namespace fs = std::filesystem;

constexpr int kBoardFields = 5 * 10 * 30;

class KilledDecode : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = QString::fromStdString(makeTempDir("tolvana-kill"));
        m_home = m_dir + "/home";
        ASSERT_TRUE(QDir().mkpath(m_home));
        m_recording = m_dir + "/lang.wav";

        // Three minutes of dense traffic on both receivers: a reception every
        // second or so, each one a log line, many a status file.
        TrafficOptions o;
        o.seconds = 180.0;
        o.seed = 9;
        o.minGapSeconds = 0.2;
        o.maxGapSeconds = 0.6;
        const Traffic traffic = makeTraffic(o);
        writeRecording(m_recording.toStdString(), traffic.stereoPcm(), 2, kSampleRate);

        MonitorOptions options;
        options.htmlExport = true;
        writeDataFolder(m_home, options);
        // Every vehicle of the traffic is in the table, so each of its status
        // reports writes a status file.
        std::set<QString> kennungen;
        for (const ExpectedReception& e : traffic.expected) {
            if (e.line.rfind("##FMS#", 0) == 0) {
                kennungen.insert(QString::fromStdString(e.line.substr(6, 8)));
            }
        }
        QByteArray fzg;
        int index = 0;
        for (const QString& k : kennungen) {
            fzg += windows1252(QStringLiteral("Fzg %1\tWache %2\t%3").arg(index).arg(index % 7).arg(k)) + "\r\n";
            ++index;
        }
        for (; index < kBoardFields; ++index) {
            fzg += "\t\t\r\n";
        }
        writeFile(m_home + "/Fzg.txt", fzg);
        for (const char* name : {"Mon.ini", "Fzg.txt", "ZVEI.txt", "ZVEI_FMS_Zuord.txt", "filter_zvei.txt",
                             "filter_poc.txt"}) {
            m_tables[QString::fromLatin1(name)] = readFile(m_home + "/" + name);
        }
    }
    void TearDown() override { fs::remove_all(m_dir.toStdString()); }

    std::vector<std::string> args() const {
        return {"--home", m_home.toStdString(), "--start", "2026-12-07 15:52:00", m_recording.toStdString()};
    }

    /// Everything in the data folder is whole; returns the number of log lines.
    int checkWhole() {
        static const QRegularExpression time(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d$"));
        static const QRegularExpression statusLine(QStringLiteral("^\\d{1,2}\\t\\d\\t\\d\\d\\.\\d\\d\\. \\d\\d:\\d\\d\\r\\n$"));
        int lines = 0;
        const QDir logs(m_home + "/Logbuch");
        for (const QString& name : logs.entryList(QDir::Files)) {
            SCOPED_TRACE(name.toStdString());
            // Name -> cells per line and the time cell.
            const int cells = name.startsWith(QLatin1String("FMS")) ? 8 : name.startsWith(QLatin1String("zvei")) ? 3 : 5;
            const int timeCell = cells == 8 ? 6 : cells == 3 ? 2 : 3;
            const QByteArray bytes = readFile(logs.filePath(name));
            EXPECT_TRUE(bytes.endsWith("\r\n")) << "ends in half a line";
            EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n"));
            QStringList rows = fromWindows1252(bytes).split(QStringLiteral("\r\n"));
            rows.removeLast();
            for (const QString& row : rows) {
                const QStringList c = row.split(QLatin1Char('\t'));
                EXPECT_EQ(c.size(), cells) << row.toStdString();
                EXPECT_TRUE(time.match(c.value(timeCell)).hasMatch()) << row.toStdString();
            }
            lines += static_cast<int>(rows.size());
        }
        const QDir status(m_home + "/Status");
        for (const QString& name : status.entryList(QDir::Files)) {
            EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.txt$")).match(name).hasMatch())
                << "left behind: " << name.toStdString();
            const QString text = fromWindows1252(readFile(status.filePath(name)));
            EXPECT_TRUE(statusLine.match(text).hasMatch()) << name.toStdString() << ": " << text.toStdString();
        }
        const QByteArray page = readFile(m_home + "/status.html");
        if (!page.isEmpty()) {
            EXPECT_TRUE(page.startsWith("<HTML>\r\n"));
            EXPECT_TRUE(page.endsWith("</HTML>\r\n"));
        }
        // Besides the tables, the page and the lock of a killed run (which
        // the next run takes over, with the helper lock of a takeover that
        // was killed), nothing.
        const QStringList top = QDir(m_home).entryList(QDir::Files);
        for (const QString& name : top) {
            EXPECT_TRUE(m_tables.count(name) == 1 || name == QStringLiteral("status.html") ||
                        name == QStringLiteral("tolvana.lock") || name == QStringLiteral("tolvana.lock.rmlock"))
                << "left behind: " << name.toStdString();
        }
        for (const auto& [name, bytes] : m_tables) {
            EXPECT_EQ(readFile(m_home + "/" + name), bytes) << name.toStdString();
        }
        return lines;
    }

    QString m_dir;
    QString m_home;
    QString m_recording;
    std::map<QString, QByteArray> m_tables;
};

TEST_F(KilledDecode, LeavesNoHalfWrittenLineTableOrPage) {
    // A whole run first: how long it takes here (the kills are spread over
    // that time, whatever the build) and how many log lines it writes.
    QElapsedTimer clock;
    clock.start();
    const CliResult whole = runDecode(args());
    // Under a loaded machine the first run may take longer than the later
    // ones, so a kill that comes too late halves the time base.
    qint64 runMs = clock.elapsed();
    ASSERT_EQ(whole.exitCode, 0) << whole.err;
    const int linesPerRun = checkWhole();
    ASSERT_GT(linesPerRun, 200);

    std::mt19937 rng(2026);
    std::uniform_real_distribution<double> moment(0.05, 0.7);
    int killed = 0;
    int lines = linesPerRun;
    for (int round = 0; round < 16 && killed < 5; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        DecodeProcess decode(args());
        const auto delay = static_cast<unsigned>(moment(rng) * static_cast<double>(runMs) * 1000.0);
        usleep(delay);
        decode.kill(SIGKILL);
        const CliResult r = decode.finish();
        if (r.exitCode == 128 + SIGKILL) {
            ++killed;
        } else {
            runMs = std::max<qint64>(runMs / 2, 1);
        }
        const int now = checkWhole();
        // Appended only, nothing lost of what was there.
        EXPECT_GE(now, lines);
        // Every reception logged before the kill was printed too (the line
        // goes to the log first, so the kill may fall between the two): a
        // tool reading the output in a pipe loses nothing when the decoder
        // is stopped.
        const auto printed = static_cast<int>(r.lines().size());
        EXPECT_GE(printed, now - lines - 1);
        EXPECT_LE(printed, now - lines);
        EXPECT_TRUE(r.out.empty() || r.out.back() == '\n');
        lines = now;
    }
    EXPECT_EQ(killed, 5); // kills that hit the program at work

    // A run to the end after all that appends whole lines to the same logs.
    const CliResult last = runDecode(args());
    EXPECT_EQ(last.exitCode, 0) << last.err;
    EXPECT_EQ(checkWhole(), lines + linesPerRun);
    EXPECT_FALSE(QFile::exists(m_home + "/tolvana.lock")) << "a run to its end leaves its lock behind";
    EXPECT_FALSE(QFile::exists(m_home + "/tolvana.lock.rmlock")) << "the helper lock of a killed takeover stays";
}

} // namespace
} // namespace tolvana::test
