// The hand-off's order and rules, checked through fakes that write into one
// shared journal, and through the files it leaves in a temporary data folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <filesystem>
#include <string>
#include <vector>

#include "handoff/reception_handoff.h"
#include "records/text_codec.h"
#include "support/signal.h"

namespace tolvana {
namespace {

using Journal = std::vector<std::string>;

class FakeView final : public ReceptionView {
public:
    explicit FakeView(Journal& j) : m_j(j) {}
    void vehicleChanged(int index) override { m_j.push_back("board " + std::to_string(index)); }
    void fmsHandedOn(ChannelSide side, const FmsReception& r, const Vehicle* v, TimePoint) override {
        m_j.push_back(std::string("fms ") + sideLetter(side) + " " + r.telegram.kennung +
                      (v != nullptr ? " known" : " unknown"));
    }
    void toneCallShown(ChannelSide side, ToneCall tone, TimePoint) override {
        m_j.push_back(std::string("tone ") + sideLetter(side) + " " + toneCallText(tone));
    }
    void zveiHandedOn(ChannelSide side, const ZveiCall& c) override {
        m_j.push_back(std::string("zvei ") + sideLetter(side) + " " + c.number.toStdString() + " [" +
                      c.name.toStdString() + "]");
    }
    void pocsagHandedOn(ChannelSide side, const PocsagMessage& m) override {
        m_j.push_back(std::string("poc ") + sideLetter(side) + " " + m.number.toStdString() + " " +
                      m.text.toStdString());
    }
    void reportProblem(const QString& message) override {
        m_j.push_back("problem " + message.toStdString());
    }

private:
    Journal& m_j;
};

class FakeLine final : public LineExport {
public:
    FakeLine(Journal& j, std::string name) : m_j(j), m_name(std::move(name)) {}
    void send(const std::string& line) override { m_j.push_back(m_name + " " + line); }

private:
    Journal& m_j;
    std::string m_name;
};

class FakeActions final : public ActionStarter {
public:
    explicit FakeActions(Journal& j) : m_j(j) {}

private:
    void launch(const QString& program, const QStringList& args) override {
        m_j.push_back("action " + program.toStdString() + " " + args.join(QLatin1Char('|')).toStdString());
    }
    Journal& m_j;
};

class FakeReceptions final : public ReceptionExport {
public:
    explicit FakeReceptions(Journal& j) : m_j(j) {}
    void fms(ChannelSide side, const FmsTelegram& t, const std::string& text, const std::string& rufname,
             TimePoint) override {
        m_j.push_back(std::string("whole fms ") + sideLetter(side) + " " + t.kennung + " " +
                      std::to_string(t.status) + " [" + text + "] [" + rufname + "]");
    }
    void tone(ChannelSide side, ToneCall tone, TimePoint) override {
        m_j.push_back(std::string("whole tone ") + sideLetter(side) + " " + toneCallText(tone));
    }
    void zvei(ChannelSide side, const std::string& number, const std::string& name, TimePoint) override {
        m_j.push_back(std::string("whole zvei ") + sideLetter(side) + " " + number + " [" + name + "]");
    }
    void pocsag(ChannelSide side, const PocsagPage& page, const std::string& name, TimePoint) override {
        m_j.push_back(std::string("whole poc ") + sideLetter(side) + " " + std::to_string(page.ric) + " " +
                      page.text + " [" + name + "]");
    }

private:
    Journal& m_j;
};

TimePoint at(int hour, int minute, int second) {
    const QDateTime t = QDateTime(QDate(2026, 12, 7), QTime(0, 0)).addSecs(hour * 3600 + minute * 60 + second);
    return TimePoint(std::chrono::milliseconds(t.toMSecsSinceEpoch()));
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

FmsReception telegram(const std::string& kennung, int status, int tki, int richtung,
                      bool plausible = true, const std::string& text = {}) {
    return FmsReception{FmsTelegram{kennung, tki, status, richtung}, text, plausible};
}

class HandoffTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_dir.isEmpty());
        // A small data folder as a fire station would have it.
        writeBytes(m_folder.vehiclesFile(), "RTW 1\tWache Nord\t62345678\r\n\t\t\r\nLF 20\t\t6A123456\r\n");
        writeBytes(m_folder.callNamesFile(), "12345\tFF Musterstadt\t255\r\n1234567\tWehrf\xFChrer\t\r\n");
        writeBytes(m_folder.callAssignmentsFile(), "62345678\t23456\tRTW 1\r\n");
        writeBytes(m_folder.monIni(), monIni(1, 1, "/usr/bin/alarm"));
        load();
    }
    void TearDown() override { std::filesystem::remove_all(m_dir.toStdString()); }

    static QByteArray monIni(int tcp, int message, const QByteArray& action, int html = 0) {
        QByteArray s = "0\r\n";
        for (int i = 0; i < 9; ++i) {
            s += "0\r\n";
        }
        s += "0\r\n" + action + "\r\n\r\n\r\n\r\n\r\n0\r\n" + QByteArray::number(html) +
             "\r\n\r\n0\r\n" + QByteArray::number(tcp) + "\r\n" + QByteArray::number(message) +
             "\r\nEmpfang\r\n4\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n";
        return s;
    }

    void load() {
        m_state = std::make_unique<MonitorState>(m_folder);
        const FileResult r = m_state->load(localTime(at(15, 0, 0)));
        ASSERT_TRUE(r.ok()) << r.error().toStdString();
        m_handoff = std::make_unique<ReceptionHandoff>(
            *m_state, m_view, HandoffOutputs{&m_actions, &m_tcp, &m_local});
    }

    QByteArray log(const char* name) const { return readBytes(m_folder.logDir() + "/" + name); }

    // A data folder of the test's own (value() throws, failing the test,
    // should it not open), never the system's temporary folder itself.
    QString m_dir = QString::fromStdString(test::makeTempDir("tolvana-handoff"));
    DataFolder m_folder = DataFolder::open(m_dir).value();
    Journal m_journal;
    FakeView m_view{m_journal};
    FakeLine m_tcp{m_journal, "tcp"};
    FakeLine m_local{m_journal, "local"};
    FakeActions m_actions{m_journal};
    std::unique_ptr<MonitorState> m_state;
    std::unique_ptr<ReceptionHandoff> m_handoff;
};

TEST_F(HandoffTest, KnownVehicleStatusGoesEverywhereInOrder) {
    m_handoff->fmsReception(ChannelSide::Left, telegram("62345678", 3, 2, 0), at(15, 52, 42));
    EXPECT_EQ(m_journal, (Journal{"board 0", "action /usr/bin/alarm FMS|62345678",
                                  "tcp ##FMS#62345678#3#20#+", "local ##FMS#62345678#3#20#+",
                                  "fms L 62345678 known"}));
    const Vehicle& v = m_state->vehicles.at(0);
    EXPECT_EQ(v.Status, 3);
    EXPECT_EQ(v.Tki, 2);
    EXPECT_EQ(v.Zeit, QStringLiteral("07.12. 15:52"));
    EXPECT_EQ(readBytes(m_folder.statusFile(0)), QByteArray("3\t2\t07.12. 15:52\r\n"));
    const QByteArray row = "RTW 1\tWache Nord\t62345678\t3\t2\tFzg->Lst\t07.12.2026 15:52:42\t";
    EXPECT_EQ(log("FMS-2026-12-7.txt"), row + "\r\n");
    EXPECT_EQ(m_state->lists.fms.rowText(0), fromWindows1252(row));
    EXPECT_TRUE(m_handoff->pageChanged());
}

TEST_F(HandoffTest, WholeReceptionsFollowTheLinesOncePerReceptionTheViewSees) {
    FakeReceptions whole(m_journal);
    ReceptionHandoff handoff(*m_state, m_view, HandoffOutputs{nullptr, &m_tcp, nullptr, &whole});
    handoff.fmsReception(ChannelSide::Left, telegram("62345678", 3, 2, 0, true, "ALARM"), at(15, 0, 1));
    handoff.fmsReception(ChannelSide::Left, telegram("62345678", 4, 2, 0, false), at(15, 0, 2));
    handoff.toneCall(ChannelSide::Right, ToneCall::ToneI, at(15, 0, 3));
    handoff.zveiSequence(ChannelSide::Right, ZveiSequence{"12345"}, at(15, 0, 4));
    handoff.zveiSequence(ChannelSide::Right, ZveiSequence{"12345"}, at(15, 0, 5)); // repeat
    handoff.pocsagPage(ChannelSide::Left, PocsagPage{1234567, 3, "Probealarm"}, at(15, 0, 6));
    EXPECT_EQ(m_journal, (Journal{"board 0", "tcp ##FMS#62345678#3#20#+",
                                  "whole fms L 62345678 3 [ALARM] [RTW 1]", "fms L 62345678 known",
                                  "whole tone R Tonruf I", "tone R Tonruf I",
                                  "tcp ##ZVEI#12345#FF Musterstadt#+", "whole zvei R 12345 [FF Musterstadt]",
                                  "zvei R 12345 [FF Musterstadt]", "tcp ##POC#1234567#3#Probealarm#+",
                                  "whole poc L 1234567 Probealarm [Wehrf\xC3\xBChrer]",
                                  "poc L 1234567 Probealarm"}));
}

TEST_F(HandoffTest, OrdersFromTheControlRoomAndUnknownVehicles) {
    // The same status as an order: shown with its letter, nothing moves, no action.
    m_handoff->fmsReception(ChannelSide::Right, telegram("62345678", 3, 1, 1), at(15, 0, 1));
    EXPECT_EQ(m_journal, (Journal{"tcp ##FMS#62345678#3#11#+", "local ##FMS#62345678#3#11#+",
                                  "fms R 62345678 known"}));
    EXPECT_EQ(m_state->vehicles.at(0).Status, 6);
    EXPECT_TRUE(m_state->lists.fms.rowText(0).startsWith(
        QStringLiteral("RTW 1\tWache Nord\t62345678\tC\t1\tLst->Fzg\t")));

    // Status 11 is always from an unknown vehicle; letters match regardless of case.
    m_journal.clear();
    m_handoff->fmsReception(ChannelSide::Left, telegram("6a123456", 11, 0, 0), at(15, 0, 2));
    EXPECT_EQ(m_journal.back(), "fms L 6a123456 unknown");
    const QString expectedOrigin = QStringLiteral("Feuerwehr") + QString(23, u' ') + u' ' +
                                   QStringLiteral("Rheinla-Pf") + QString(6, u' ');
    EXPECT_EQ(m_state->lists.fms.rowText(0).section(u'\t', 1, 1), expectedOrigin);

    // A known vehicle's letters in any case: status 2 of "6a123456" moves LF 20.
    m_journal.clear();
    m_handoff->fmsReception(ChannelSide::Left, telegram("6a123456", 2, 0, 0), at(15, 0, 3));
    EXPECT_EQ(m_journal.front(), "board 2");
    EXPECT_EQ(m_state->vehicles.at(2).Status, 2);
}

TEST_F(HandoffTest, FilterRuleListLimitAndPlausibility) {
    writeBytes(m_folder.filterFile(FilterKind::Fms), "7\t1\r\n");
    load();
    for (int i = 0; i < 500; ++i) {
        m_state->lists.addFmsRow(QStringLiteral("x"));
    }
    // Dropped by the filter: no trace at all, not even the list limit.
    m_handoff->fmsReception(ChannelSide::Left, telegram("71234567", 3, 0, 0), at(15, 1, 0));
    EXPECT_EQ(m_state->lists.fms.rowCount(), 500);
    // Passed the filter but implausible: the full list is emptied, nothing added.
    m_handoff->fmsReception(ChannelSide::Left, telegram("62345678", 3, 0, 0, false), at(15, 1, 1));
    EXPECT_EQ(m_state->lists.fms.rowCount(), 0);
    EXPECT_TRUE(m_journal.empty());
    EXPECT_TRUE(log("FMS-2026-12-7.txt").isEmpty());
}

TEST_F(HandoffTest, AlertListsAndCallTones) {
    m_handoff->fmsReception(ChannelSide::Left, telegram("62345678", 0, 0, 0), at(15, 2, 0));
    m_handoff->fmsReception(ChannelSide::Left, telegram("61111111", 5, 0, 0), at(15, 2, 1));
    m_handoff->fmsReception(ChannelSide::Left, telegram("61111112", 15, 0, 0), at(15, 2, 2));
    m_handoff->toneCall(ChannelSide::Right, ToneCall::ToneII, at(15, 2, 3));
    EXPECT_EQ(m_state->alerts.List3.entries(),
              QStringList{QStringLiteral("15:02:00 62345678        \t07.12.2026 15:02:00")});
    EXPECT_EQ(m_state->alerts.List2.entries().size(), 1);
    EXPECT_EQ(m_state->alerts.List1.entries().size(), 2);
    EXPECT_TRUE(m_state->alerts.List1.entries().back().startsWith(QStringLiteral("15:02:03 Tonruf II ")));
    EXPECT_EQ(m_journal.back(), "tone R Tonruf II");
    // Status 0 of a known vehicle does not change its status.
    EXPECT_EQ(m_state->vehicles.at(0).Status, 6);

    // Four minutes later the minute timer clears the lists again.
    m_handoff->housekeeping(at(15, 6, 3));
    EXPECT_EQ(m_state->alerts.List1.entries().size(), 1); // the tone is exactly 4 min old
    m_handoff->housekeeping(at(15, 7, 0));
    EXPECT_EQ(m_state->alerts.List1.entries().size(), 0);
    EXPECT_EQ(m_state->alerts.List3.entries().size(), 0);
}

TEST_F(HandoffTest, ZveiNamesAndDuplicateWindowPerChannel) {
    m_handoff->zveiSequence(ChannelSide::Left, ZveiSequence{"12345"}, at(15, 10, 0));
    m_handoff->zveiSequence(ChannelSide::Left, ZveiSequence{"12345"}, at(15, 10, 15));  // repeat
    m_handoff->zveiSequence(ChannelSide::Right, ZveiSequence{"12345"}, at(15, 10, 16)); // other side
    m_handoff->zveiSequence(ChannelSide::Left, ZveiSequence{"12345"}, at(15, 10, 30));  // 30 s on
    m_handoff->zveiSequence(ChannelSide::Left, ZveiSequence{"23456"}, at(15, 10, 31));
    EXPECT_EQ(m_journal, (Journal{"action /usr/bin/alarm ZVEI|12345", "tcp ##ZVEI#12345#FF Musterstadt#+",
                                  "local ##ZVEI#12345#FF Musterstadt#+", "zvei L 12345 [FF Musterstadt]",
                                  "action /usr/bin/alarm ZVEI|12345", "tcp ##ZVEI#12345#FF Musterstadt#+",
                                  "local ##ZVEI#12345#FF Musterstadt#+", "zvei R 12345 [FF Musterstadt]",
                                  "action /usr/bin/alarm ZVEI|12345", "tcp ##ZVEI#12345#FF Musterstadt#+",
                                  "local ##ZVEI#12345#FF Musterstadt#+", "zvei L 12345 [FF Musterstadt]",
                                  "action /usr/bin/alarm ZVEI|23456", "tcp ##ZVEI#23456# (RTW 1) #+",
                                  "local ##ZVEI#23456# (RTW 1) #+", "zvei L 23456 [ (RTW 1) ]"}));
    EXPECT_EQ(m_state->lists.zvei.rowCount(), 4);
    EXPECT_EQ(m_state->lists.zvei.nameColour(3), std::optional<quint32>(255u));
    EXPECT_EQ(m_state->lists.zvei.nameColour(0), std::optional<quint32>(0xE0E0E0u));
    EXPECT_EQ(log("zvei-2026-12-7.txt").count("\r\n"), 4);
}

TEST_F(HandoffTest, ZveiCadenceBelowTheWindowIsShownEveryOtherTime) {
    // A number sent every 15 s: the dropped repeats do not move the window.
    for (int k = 0; k < 5; ++k) {
        m_handoff->zveiSequence(ChannelSide::Left, ZveiSequence{"54321"}, at(15, 20, 15 * k));
    }
    EXPECT_EQ(m_state->lists.zvei.rowCount(), 3); // 0 s, 30 s, 60 s
}

TEST_F(HandoffTest, PocsagDuplicateIsTheSamePageOnTheSameChannel) {
    const PocsagPage alarm{1234567, 3, "Brand \u00D6lspur"};
    m_handoff->pocsagPage(ChannelSide::Left, alarm, at(16, 0, 0));
    m_handoff->pocsagPage(ChannelSide::Left, alarm, at(16, 0, 10)); // repeat
    // Another text or function to the same pager is news: a correction, a
    // second alarm.
    m_handoff->pocsagPage(ChannelSide::Left, PocsagPage{1234567, 3, "Brand \u00D6lspur B27"}, at(16, 0, 10));
    m_handoff->pocsagPage(ChannelSide::Left, PocsagPage{1234567, 1, "Brand \u00D6lspur"}, at(16, 0, 11));
    m_handoff->pocsagPage(ChannelSide::Right, alarm, at(16, 0, 12)); // other channel
    m_handoff->pocsagPage(ChannelSide::Left, alarm, at(16, 0, 15)); // repeat, behind two other pages
    // 20 s after it was shown: the dropped repeats did not move the window.
    m_handoff->pocsagPage(ChannelSide::Left, alarm, at(16, 0, 20));
    m_handoff->pocsagPage(ChannelSide::Left, PocsagPage{1234567, 3, "Brand \u00D6lspur B27"}, at(16, 0, 29));
    Journal shown;
    for (const std::string& line : m_journal) {
        if (line.starts_with("poc ")) {
            shown.push_back(line);
        }
    }
    EXPECT_EQ(shown, (Journal{"poc L 1234567 Brand \u00D6lspur", "poc L 1234567 Brand \u00D6lspur B27",
                              "poc L 1234567 Brand \u00D6lspur", "poc R 1234567 Brand \u00D6lspur",
                              "poc L 1234567 Brand \u00D6lspur"}));
    EXPECT_EQ(std::vector<std::string>(m_journal.begin(), m_journal.begin() + 4),
              (Journal{"action /usr/bin/alarm POC|1234567|3|Brand \u00D6lspur",
                       "tcp ##POC#1234567#3#Brand \u00D6lspur#+",
                       "local ##POC#1234567#3#Brand \u00D6lspur#+",
                       "poc L 1234567 Brand \u00D6lspur"}));
    EXPECT_EQ(m_state->lists.pocsag.rowCount(), 5);
    // The log keeps the Windows-1252 bytes of the row, the name from ZVEI.txt with its umlaut.
    EXPECT_TRUE(log("poc-2026-12-7.txt").startsWith("1234567\t3\tWehrf\xFChrer\t07.12.2026 16:00:00\tBrand \xD6lspur\r\n"));
}

// Live receptions carry the wall clock. When it is set back, the calls and
// pages in the stretch it jumped over are new, not repeats of the ones
// stamped later; from then on the window runs from them.
TEST_F(HandoffTest, ClockSetBackIsNoRepeat) {
    const PocsagPage page{4711, 2, "Probealarm"};
    m_handoff->zveiSequence(ChannelSide::Left, ZveiSequence{"12345"}, at(15, 10, 0));
    m_handoff->pocsagPage(ChannelSide::Left, page, at(15, 10, 0));
    m_handoff->zveiSequence(ChannelSide::Left, ZveiSequence{"12345"}, at(15, 9, 50)); // set back 10 s
    m_handoff->pocsagPage(ChannelSide::Left, page, at(15, 9, 50));
    m_handoff->zveiSequence(ChannelSide::Left, ZveiSequence{"12345"}, at(15, 9, 55)); // repeat
    m_handoff->pocsagPage(ChannelSide::Left, page, at(15, 9, 55));
    m_handoff->zveiSequence(ChannelSide::Left, ZveiSequence{"12345"}, at(14, 0, 0)); // set back an hour
    m_handoff->pocsagPage(ChannelSide::Left, page, at(14, 0, 0));
    EXPECT_EQ(m_state->lists.zvei.rowCount(), 3);
    EXPECT_EQ(m_state->lists.pocsag.rowCount(), 3);
}

TEST_F(HandoffTest, NothingGoesOutWhenTheOutputsAreOff) {
    writeBytes(m_folder.monIni(), monIni(0, 0, ""));
    load();
    m_handoff->fmsReception(ChannelSide::Left, telegram("62345678", 3, 0, 0), at(15, 0, 0));
    m_handoff->zveiSequence(ChannelSide::Left, ZveiSequence{"12345"}, at(15, 0, 1));
    m_handoff->pocsagPage(ChannelSide::Left, PocsagPage{42, 0, ""}, at(15, 0, 2));
    EXPECT_EQ(m_journal, (Journal{"board 0", "fms L 62345678 known", "zvei L 12345 [FF Musterstadt]",
                                  "poc L 42 "}));
}

TEST_F(HandoffTest, StatusPageIsWrittenOnTheMinuteOnlyAfterAChange) {
    writeBytes(m_folder.monIni(), monIni(0, 0, "", 1));
    load();
    EXPECT_FALSE(m_handoff->housekeeping(at(15, 1, 0)));
    EXPECT_FALSE(QFile::exists(m_folder.statusPage()));
    // An unknown vehicle changes nothing on the page.
    m_handoff->fmsReception(ChannelSide::Left, telegram("69999999", 3, 0, 0), at(15, 1, 10));
    EXPECT_FALSE(m_handoff->housekeeping(at(15, 2, 0)));
    m_handoff->fmsReception(ChannelSide::Left, telegram("62345678", 2, 0, 0), at(15, 2, 10));
    EXPECT_TRUE(m_handoff->housekeeping(at(15, 3, 0)));
    const QByteArray page = readBytes(m_folder.statusPage());
    // Windows-1252, as web servers serving the page have always had it: the
    // umlaut is the one byte E4, never its two UTF-8 bytes.
    EXPECT_TRUE(page.contains("letzte Daten\xE4nderung: 07.12.2026 - 15:03:00 Uhr (Refresh alle 60 Sekunden)\r\n")) << page.left(400).toStdString();
    EXPECT_FALSE(page.contains("\xC3"));
    EXPECT_TRUE(page.contains("<font size=3 color=black>RTW 1</FONT>"));
    EXPECT_FALSE(m_handoff->housekeeping(at(15, 4, 0)));
}

TEST_F(HandoffTest, AFailedStatusFileWriteIsReported) {
    std::filesystem::remove_all(m_folder.statusDir().toStdString());
    writeBytes(m_folder.statusDir(), "not a folder");
    m_handoff->fmsReception(ChannelSide::Left, telegram("62345678", 4, 0, 0), at(15, 0, 0));
    ASSERT_GE(m_journal.size(), 2u);
    EXPECT_EQ(m_journal[0], "board 0");
    EXPECT_EQ(m_journal[1].rfind("problem ", 0), 0u) << m_journal[1];
    // The reception itself still goes on.
    EXPECT_EQ(m_journal.back(), "fms L 62345678 known");
}

} // namespace
} // namespace tolvana
