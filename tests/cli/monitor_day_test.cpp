// tolvana-decode over midnight on the recording clock: receptions before and
// after midnight go to the daily logs of their own day, vehicle times carry
// the new date, and a start on the new day brings back only that day's
// receptions.
#include <gtest/gtest.h>

#include <QDir>

#include <filesystem>

#include "cli/cli_runner.h"
#include "cli/monitor_scenario.h"
#include "support/fms_encoder.h"
#include "support/pocsag_encoder.h"
#include "support/signal.h"
#include "support/zvei_encoder.h"

namespace tolvana::test {
namespace {

namespace fs = std::filesystem;

/// Places each transmission to start at a given second of the recording.
class Timeline {
public:
    void at(double seconds, ChannelSide side, const Signal& signal) {
        Signal& on = side == ChannelSide::Left ? m_left : m_right;
        on.samples.resize(static_cast<std::size_t>(seconds * kSampleRate), 0.0);
        on.append(signal);
    }
    std::vector<std::int16_t> stereo(double seconds) {
        m_left.samples.resize(static_cast<std::size_t>(seconds * kSampleRate), 0.0);
        m_right.samples.resize(static_cast<std::size_t>(seconds * kSampleRate), 0.0);
        return interleave(toPcm(m_left), toPcm(m_right));
    }

private:
    Signal m_left;
    Signal m_right;
};

Signal page(std::uint32_t ric, const std::string& text) {
    PocsagCall call;
    call.ric = ric;
    call.function = 2;
    call.content = text;
    return pocsagTransmission({call}, PocsagAir{});
}

class MonitorDay : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = QString::fromStdString(makeTempDir("tolvana-day"));
        m_home = m_dir + "/home";
        ASSERT_TRUE(QDir().mkpath(m_home));
        MonitorOptions options;
        options.htmlExport = true;
        writeDataFolder(m_home, options);
    }
    void TearDown() override { fs::remove_all(m_dir.toStdString()); }

    CliResult decode(const QString& start, const std::vector<std::int16_t>& stereo, const char* name) {
        const std::string path = (m_dir + "/" + name).toStdString();
        writeRecording(path, stereo, 2, kSampleRate);
        return runDecode({"--home", m_home.toStdString(), "--start", start.toStdString(), path});
    }

    /// The lines of a daily log; each must end in CR LF.
    QStringList log(const QString& name) const {
        const QByteArray bytes = readFile(m_home + "/Logbuch/" + name);
        EXPECT_TRUE(bytes.endsWith("\r\n")) << name.toStdString();
        QStringList lines = fromWindows1252(bytes).split(QStringLiteral("\r\n"));
        lines.removeLast();
        return lines;
    }

    QString m_dir;
    QString m_home;
};

TEST_F(MonitorDay, MidnightOnTheRecordingClockStartsNewDailyLogs) {
    // Midnight falls 30 s into the recording.
    Timeline day;
    day.at(5.0, ChannelSide::Left, ZveiEncoder().call("11111", 0.0, 0.0));
    day.at(12.0, ChannelSide::Right, FmsEncoder().telegram(FmsFields{"62345678", 3, 0, 1, 0}));
    day.at(18.0, ChannelSide::Left, page(1234567, "Vor Mitternacht"));
    day.at(35.0, ChannelSide::Right, ZveiEncoder().call("22222", 0.0, 0.0));
    day.at(42.0, ChannelSide::Left, FmsEncoder().telegram(FmsFields{"61234567", 2, 0, 0, 0}));
    day.at(48.0, ChannelSide::Right, page(1654321, "Nach Mitternacht"));
    const CliResult r = decode(QStringLiteral("2026-12-07 23:59:30"), day.stereo(55.0), "nacht.wav");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.lines().size(), 6u) << r.out;

    const auto cells = [](const QString& line) { return line.split(QLatin1Char('\t')); };
    // Each log holds one line, dated by its own day.
    const QStringList zvei7 = log(QStringLiteral("zvei-2026-12-7.txt"));
    const QStringList zvei8 = log(QStringLiteral("zvei-2026-12-8.txt"));
    const QStringList fms7 = log(QStringLiteral("FMS-2026-12-7.txt"));
    const QStringList fms8 = log(QStringLiteral("FMS-2026-12-8.txt"));
    const QStringList poc7 = log(QStringLiteral("poc-2026-12-7.txt"));
    const QStringList poc8 = log(QStringLiteral("poc-2026-12-8.txt"));
    for (const QStringList* l : {&zvei7, &zvei8, &fms7, &fms8, &poc7, &poc8}) {
        ASSERT_EQ(l->size(), 1);
    }
    EXPECT_EQ(QDir(m_home + "/Logbuch").entryList(QDir::Files).size(), 6);
    EXPECT_EQ(cells(zvei7[0]).value(0), QStringLiteral("11111"));
    EXPECT_TRUE(cells(zvei7[0]).value(2).startsWith(QStringLiteral("07.12.2026 23:59:")));
    EXPECT_EQ(cells(zvei8[0]).value(0), QStringLiteral("22222"));
    EXPECT_TRUE(cells(zvei8[0]).value(2).startsWith(QStringLiteral("08.12.2026 00:00:")));
    EXPECT_EQ(cells(fms7[0]).value(2), QStringLiteral("62345678"));
    EXPECT_TRUE(cells(fms7[0]).value(6).startsWith(QStringLiteral("07.12.2026 23:59:")));
    EXPECT_EQ(cells(fms8[0]).value(2), QStringLiteral("61234567"));
    EXPECT_TRUE(cells(fms8[0]).value(6).startsWith(QStringLiteral("08.12.2026 00:00:")));
    EXPECT_EQ(cells(poc7[0]).value(4), QStringLiteral("Vor Mitternacht"));
    EXPECT_EQ(cells(poc8[0]).value(4), QStringLiteral("Nach Mitternacht"));

    // Both vehicles moved on the board, each with the date of its own day.
    EXPECT_EQ(readFile(m_home + "/Status/0.txt"), "3\t1\t07.12. 23:59\r\n");
    EXPECT_EQ(readFile(m_home + "/Status/1.txt"), "2\t0\t08.12. 00:00\r\n");

    // Started again on the new day: the lists hold that day's receptions
    // only, with the new one on top, as the status page shows them.
    Timeline later;
    later.at(2.0, ChannelSide::Left, ZveiEncoder().call("33333", 0.0, 0.0));
    const CliResult again = decode(QStringLiteral("2026-12-08 00:05:00"), later.stereo(6.0), "frueh.wav");
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.lines(), std::vector<std::string>{"L\t##ZVEI#33333##+"});
    const QString page = fromWindows1252(readFile(m_home + "/status.html"));
    const qsizetype newest = page.indexOf(QStringLiteral("\r\n33333\r\n"));
    const qsizetype reloaded = page.indexOf(QStringLiteral("\r\n22222\r\n"));
    EXPECT_GE(newest, 0);
    EXPECT_GT(reloaded, newest);
    EXPECT_FALSE(page.contains(QStringLiteral("11111")));
    EXPECT_TRUE(page.contains(QStringLiteral("Nach Mitternacht")));
    EXPECT_FALSE(page.contains(QStringLiteral("Vor Mitternacht")));
}

} // namespace
} // namespace tolvana::test
