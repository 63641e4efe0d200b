#include <gtest/gtest.h>

#include <functional>

#include "records/settings.h"
#include "records_fixture.h"

namespace tolvana {
namespace {

using test::readBytes;
using test::writeBytes;

// Mon.ini as earlier installations left it: umlauts as single bytes, CR LF,
// and status 6 still holding the system button-face colour (0x8000000F,
// written as a negative 32-bit number).
const QByteArray kWindowsMonIni = "1\r\n"
                                  "12648384\r\n12648447\r\n12632319\r\n8438015\r\n16761024\r\n"
                                  "-2147483633\r\n16777215\r\n16711935\r\n"
                                  "255\r\n"
                                  "1\r\n"
                                  "C:\\Programme\\Alarm f\xFCr Wache\\alarm.exe\r\n"
                                  "ftp.feuerwehr-m\xFC"
                                  "nchen.de\r\n"
                                  "wache1\r\n"
                                  "gehei\xDF, \"x\"\r\n"
                                  "/status\r\n"
                                  "1\r\n"
                                  "1\r\n"
                                  "localhost\r\n"
                                  "4711\r\n"
                                  "1\r\n"
                                  "0\r\n"
                                  "Leitstelle \xC4nderung\r\n"
                                  "2\r\n"
                                  "1\r\n0\r\n1\r\n1\r\n0\r\n1\r\n";

// What a fresh installation saves: 30 lines, the colours of the colour fields.
const QByteArray kDefaultMonIni =
    "0\r\n"
    "12648384\r\n12648447\r\n12632319\r\n8438015\r\n16761024\r\n"
    "15790320\r\n16777215\r\n16711935\r\n16777088\r\n"
    "0\r\n\r\n\r\n\r\n\r\n\r\n"         // appendOnImport, program, FTP host..folder
    "0\r\n0\r\n\r\n0\r\n0\r\n0\r\n\r\n" // connection .. window title
    "0\r\n"                             // board size
    "0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n";

using Settings = test::RecordsTest;

TEST_F(Settings, WithoutMonIniEverythingIsOffAndTheFieldColoursApply) {
    MonitorSettings s;
    s.tcpPort = 99;
    ASSERT_TRUE(loadSettings(folder(), s).ok());
    EXPECT_EQ(s, MonitorSettings{});
    EXPECT_EQ(s.decoderEnabled, (std::array<int, 6>{}));
    EXPECT_EQ(s.tcpExport, 0);
    EXPECT_EQ(boardSizeFor(s.boardSizeIndex), (BoardSize{10, 20}));
    EXPECT_EQ(s.statusColours[0], rgb(192, 255, 192));
    EXPECT_EQ(s.statusColours[5], rgb(240, 240, 240));
    EXPECT_EQ(s.statusColours[8], rgb(128, 255, 255));

    ASSERT_TRUE(saveSettings(folder(), s).ok());
    EXPECT_EQ(readBytes(folder().monIni()), kDefaultMonIni);
}

TEST_F(Settings, WindowsFileSurvivesLoadAndSaveByteForByte) {
    writeBytes(folder().monIni(), kWindowsMonIni);
    MonitorSettings s;
    ASSERT_TRUE(loadSettings(folder(), s).ok());
    EXPECT_EQ(s.deviceIndex, 1);
    EXPECT_EQ(s.statusColours[5], 0x8000000Fu);
    EXPECT_EQ(displayColour(s.statusColours[5]), kButtonFace);
    EXPECT_EQ(s.statusColours[8], 255u);
    EXPECT_EQ(s.actionProgram, QStringLiteral("C:\\Programme\\Alarm f\u00FCr Wache\\alarm.exe"));
    EXPECT_EQ(s.ftpHost, QStringLiteral("ftp.feuerwehr-m\u00FCnchen.de"));
    EXPECT_EQ(s.ftpPassword, QStringLiteral("gehei\u00DF, \"x\""));
    EXPECT_EQ(s.tcpPort, 4711);
    EXPECT_EQ(s.targetWindowTitle, QStringLiteral("Leitstelle \u00C4nderung"));
    EXPECT_EQ(s.boardSizeIndex, 2);
    EXPECT_EQ(s.decoderEnabled, (std::array<int, 6>{1, 0, 1, 1, 0, 1}));

    ASSERT_TRUE(saveSettings(folder(), s).ok());
    EXPECT_EQ(readBytes(folder().monIni()), kWindowsMonIni);
}

TEST_F(Settings, NumericLinesTakeTheirLeadingNumber) {
    QByteArray bytes = kWindowsMonIni;
    bytes.replace("\r\n", "\n"); // edited on Linux
    QList<QByteArray> lines = bytes.split('\n');
    lines[0] = "  3  ";     // blanks around the number
    lines[1] = "";          // empty colour line: black
    lines[10] = "1 Import"; // text behind the number
    lines[19] = "port";     // non-numeric: 0
    lines[23] = "70000";    // does not fit 16 bits: keeps the default
    writeBytes(folder().monIni(), lines.join('\n'));
    MonitorSettings s;
    ASSERT_TRUE(loadSettings(folder(), s).ok());
    EXPECT_EQ(s.deviceIndex, 3);
    EXPECT_EQ(s.statusColours[0], 0u);
    EXPECT_EQ(s.appendOnImport, 1);
    EXPECT_EQ(s.tcpPort, 0);
    EXPECT_EQ(s.boardSizeIndex, 0);
    EXPECT_EQ(s.ftpHost, QStringLiteral("ftp.feuerwehr-m\u00FCnchen.de"));
}

TEST_F(Settings, ShortFileKeepsTheDefaultsOfMissingLines) {
    writeBytes(folder().monIni(), "2\r\n255\r\n");
    MonitorSettings s;
    ASSERT_TRUE(loadSettings(folder(), s).ok());
    EXPECT_EQ(s.deviceIndex, 2);
    EXPECT_EQ(s.statusColours[0], 255u);
    EXPECT_EQ(s.statusColours[1], kDefaultStatusColours[1]);
    EXPECT_EQ(s.decoderEnabled, (std::array<int, 6>{}));
}

struct RefusalCase {
    const char* name;
    std::function<void(MonitorSettings&)> change;
    const char16_t* mentions;
};
void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

class SettingsRefusal : public test::RecordsTest,
                        public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(SettingsRefusal, LeavesTheOldFileAndSaysWhy) {
    writeBytes(folder().monIni(), kWindowsMonIni);
    MonitorSettings s;
    ASSERT_TRUE(loadSettings(folder(), s).ok());
    GetParam().change(s);
    const FileResult result = saveSettings(folder(), s);
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.error().contains(QString::fromUtf16(GetParam().mentions)))
        << result.error().toStdString();
    EXPECT_EQ(readBytes(folder().monIni()), kWindowsMonIni);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingsRefusal,
    ::testing::Values(
        RefusalCase{"LineFeedInPassword",
                    [](MonitorSettings& s) { s.ftpPassword = QStringLiteral("a\nb"); },
                    u"\u201EPasswort\u201C"},
        RefusalCase{"CarriageReturnInServer",
                    [](MonitorSettings& s) { s.tcpServer = QStringLiteral("host\r"); },
                    u"Zeilenumbruch"},
        RefusalCase{
            "CyrillicInProgram",
            [](MonitorSettings& s) { s.actionProgram = QStringLiteral("/opt/\u0416/alarm"); },
            u"U+0416"},
        RefusalCase{"PortBeyondSixteenBits", [](MonitorSettings& s) { s.tcpPort = 70000; },
                    u"70000"},
        RefusalCase{"NegativePort", [](MonitorSettings& s) { s.tcpPort = -1; }, u"-1"}),
    [](const auto& p) { return std::string(p.param.name); });

// The port line is 16 bits wide: existing files keep ports from 32768 up
// as negative numbers, and a port typed into the file by hand may stand there
// as it is. Both read as the port; saving writes the 16-bit form again.
TEST_F(Settings, PortsAbove32767ReadFromTheirSixteenBitFormAndAreWrittenBackSo) {
    struct PortCase {
        QByteArray line;
        int port;
        QByteArray saved;
    };
    const std::vector<PortCase> cases = {{"-25536", 40000, "-25536"}, {"40000", 40000, "-25536"},
                                         {"-1", 65535, "-1"},         {"-32768", 32768, "-32768"},
                                         {"32767", 32767, "32767"},   {"65536", 0, "0"},
                                         {"-32769", 0, "0"},          {" 31000 ", 31000, "31000"}};
    for (const PortCase& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        QByteArray ini = kWindowsMonIni;
        ini.replace("\r\n4711\r\n", "\r\n" + c.line + "\r\n");
        writeBytes(folder().monIni(), ini);
        MonitorSettings s;
        ASSERT_TRUE(loadSettings(folder(), s).ok());
        EXPECT_EQ(s.tcpPort, c.port);
        ASSERT_TRUE(saveSettings(folder(), s).ok());
        QByteArray expected = kWindowsMonIni;
        expected.replace("\r\n4711\r\n", "\r\n" + c.saved + "\r\n");
        EXPECT_EQ(readBytes(folder().monIni()), expected);
    }
}

TEST_F(Settings, FailedSaveLeavesTheOldMonIni) {
    writeBytes(folder().monIni(), kWindowsMonIni);
    MonitorSettings s;
    s.ftpHost = QStringLiteral("a-rather-long-host-name.example");
    FileResult result;
    {
        const test::FileSizeLimit full(40);
        result = saveSettings(folder(), s);
    }
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.error().contains(QStringLiteral("Mon.ini")));
    EXPECT_EQ(readBytes(folder().monIni()), kWindowsMonIni);
    EXPECT_EQ(test::filesIn(folder().root()), QStringList{"Mon.ini"});
}

struct BoardCase {
    int index;
    BoardSize size;
    int tableSize;
};
void PrintTo(const BoardCase& c, std::ostream* os) {
    *os << "index" << c.index;
}

class BoardSizes : public ::testing::TestWithParam<BoardCase> {};

TEST_P(BoardSizes, FollowTheBoardSizeIndex) {
    EXPECT_EQ(boardSizeFor(GetParam().index), GetParam().size);
    EXPECT_EQ(boardSizeFor(GetParam().index).tableSize(), GetParam().tableSize);
}

INSTANTIATE_TEST_SUITE_P(Settings, BoardSizes,
                         ::testing::Values(BoardCase{0, {10, 20}, 6000},
                                           BoardCase{1, {5, 10}, 1500}, BoardCase{2, {5, 20}, 3000},
                                           BoardCase{3, {10, 10}, 3000},
                                           BoardCase{4, {10, 20}, 6000},
                                           BoardCase{9, {10, 20}, 6000}));

TEST(SettingsColours, SystemColoursResolveForDisplay) {
    EXPECT_EQ(displayColour(0x8000000Fu), rgb(240, 240, 240));
    EXPECT_EQ(displayColour(0x80000005u), rgb(255, 255, 255));
    EXPECT_EQ(displayColour(rgb(1, 2, 3)), rgb(1, 2, 3));
    EXPECT_EQ(colourFromNumber(-2147483633), 0x8000000Fu);
    EXPECT_FALSE(colourFromNumber(qint64{1} << 33).has_value());
}

} // namespace
} // namespace tolvana
