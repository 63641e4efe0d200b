#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QStringEncoder>

#include "records/settings.h"
#include "records/station_names.h"
#include "records/text_codec.h"
#include "records/text_file.h"
#include "records_fixture.h"

namespace tolvana {
namespace {

using test::filesIn;
using test::readBytes;
using test::writeBytes;

struct LinesCase {
    const char* name;
    QByteArray bytes;
    QStringList lines;
};
void PrintTo(const LinesCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadLines : public test::RecordsTest, public ::testing::WithParamInterface<LinesCase> {};

TEST_P(ReadLines, SplitsWindowsAndLinuxLineEnds) {
    const QString path = folder().root() + QStringLiteral("/x.txt");
    writeBytes(path, GetParam().bytes);
    const TextLines read = readTextLines(path);
    EXPECT_TRUE(read.result.ok());
    EXPECT_TRUE(read.exists);
    EXPECT_EQ(read.lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    TextFile, ReadLines,
    ::testing::Values(LinesCase{"CrLf", "a\r\nb\r\n", {"a", "b"}},
                      LinesCase{"LfOnly", "a\nb\n", {"a", "b"}},
                      LinesCase{"NoLastLineEnd", "a\r\nb", {"a", "b"}}, LinesCase{"Empty", "", {}},
                      LinesCase{"OneEmptyLine", "\r\n", {""}},
                      LinesCase{"EmptyLineKept", "a\r\n\r\nb\r\n", {"a", "", "b"}},
                      LinesCase{"MixedEnds", "a\nb\r\nc", {"a", "b", "c"}},
                      LinesCase{"Windows1252",
                                "\xC4rger\tM\xFC"
                                "ller \x80\r\n",
                                {QStringLiteral("\u00C4rger\tM\u00FCller \u20AC")}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(ReadLines, MissingFileIsNoError) {
    const TextLines read = readTextLines(folder().root() + QStringLiteral("/none.txt"));
    EXPECT_TRUE(read.result.ok());
    EXPECT_FALSE(read.exists);
    EXPECT_TRUE(read.lines.isEmpty());
}

TEST_F(ReadLines, UnreadableFileIsReported) {
    // A folder in the file's place cannot be read as a file, whoever runs the test.
    const QString path = folder().root() + QStringLiteral("/Fzg.txt");
    ASSERT_TRUE(QDir().mkdir(path));
    const TextLines read = readTextLines(path);
    EXPECT_FALSE(read.result.ok());
    EXPECT_TRUE(read.result.error().contains(QStringLiteral("Fzg.txt")));
}

// Whatever stands in a file's place, start-up goes on: a named pipe without
// a writer would block the open for ever, a device like /dev/zero would be
// read until memory runs out, and a huge file would be read whole.
TEST_F(ReadLines, OnlyRegularFilesOfSaneSizeAreRead) {
    const QString fifo = folder().monIni();
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const TextLines pipe = readTextLines(fifo);
    EXPECT_FALSE(pipe.result.ok());
    EXPECT_EQ(pipe.result.error(), QStringLiteral("Die Datei \u201E%1\u201C kann nicht gelesen werden: sie ist keine "
                                                  "gew\u00F6hnliche Datei (ein Ordner, eine Pipe oder ein Ger\u00E4t "
                                                  "steht an ihrer Stelle).")
                                       .arg(fifo));
    EXPECT_EQ(pipe.result.englishError(),
              QStringLiteral("cannot read %1: it is not a regular file (a folder, a pipe or a device stands in "
                             "its place)")
                  .arg(fifo));
    MonitorSettings settings;
    EXPECT_FALSE(loadSettings(folder(), settings).ok());
    EXPECT_EQ(settings, MonitorSettings{});

    const QString zero = folder().vehiclesFile();
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    EXPECT_FALSE(readTextLines(zero).result.ok());

    const QString huge = folder().logFile(ReceptionKind::Fms, QDate(2026, 12, 7));
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(kMaxTextFileBytes + 1)); // sparse: no disk space needed
    }
    const TextLines big = readTextLines(huge);
    EXPECT_FALSE(big.result.ok());
    EXPECT_TRUE(big.result.englishError().contains(QStringLiteral("more than the 64.0 MB allowed")))
        << big.result.englishError().toStdString();
    EXPECT_TRUE(big.lines.isEmpty());

    // An append to a pipe would block once the pipe is full.
    const FileResult append = appendTextLine(fifo, QStringLiteral("1"));
    EXPECT_FALSE(append.ok());
    EXPECT_TRUE(append.error().contains(QStringLiteral("keine gew\u00F6hnliche Datei"))) << append.error().toStdString();
}

// Mon.ini saved as "Unicode" by an editor must not switch everything off.
TEST_F(ReadLines, FilesWithAByteOrderMarkReadAsTheirCharacterSet) {
    const QString text = QStringLiteral("1\r\nC:\\Programme\\Alarm f\u00FCr Wache\\alarm.exe\r\n");
    const QStringList expected{QStringLiteral("1"), QStringLiteral("C:\\Programme\\Alarm f\u00FCr Wache\\alarm.exe")};
    const QString path = folder().root() + QStringLiteral("/x.txt");
    for (const auto encoding : {QStringConverter::Utf8, QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
        QStringEncoder encode(encoding, QStringConverter::Flag::WriteBom);
        writeBytes(path, encode(text));
        const TextLines read = readTextLines(path);
        EXPECT_TRUE(read.result.ok());
        EXPECT_EQ(read.lines, expected) << static_cast<int>(encoding);
    }

    // All six decoders on, port 40000, from a UTF-16 Mon.ini.
    QString ini = QStringLiteral("0\r\n");
    for (int i = 0; i < 9; ++i) {
        ini += QStringLiteral("255\r\n");
    }
    ini += QStringLiteral("0\r\n/opt/alarm\r\n\r\n\r\n\r\n\r\n0\r\n0\r\nlocalhost\r\n-25536\r\n1\r\n0\r\n\r\n3\r\n");
    for (int i = 0; i < 6; ++i) {
        ini += QStringLiteral("1\r\n");
    }
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    writeBytes(folder().monIni(), utf16(ini));
    MonitorSettings s;
    ASSERT_TRUE(loadSettings(folder(), s).ok());
    EXPECT_EQ(s.decoderEnabled, (std::array<int, 6>{1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(s.tcpExport, 1);
    EXPECT_EQ(s.tcpPort, 40000);
    EXPECT_EQ(s.actionProgram, QStringLiteral("/opt/alarm"));
    EXPECT_EQ(s.boardSizeIndex, 3);

    // A character the tables' character set has no byte for is read as "?",
    // as saving would write it, and the user is told.
    QStringEncoder again(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    writeBytes(folder().stationNamesFile(), again(QStringLiteral("Wache \u0416\r\nWache 2\r\n")));
    StationNames names;
    const FileResult read = names.loadStationNames(folder());
    EXPECT_TRUE(read.ok());
    EXPECT_EQ(names.name(0), QStringLiteral("Wache ?"));
    EXPECT_EQ(names.name(1), QStringLiteral("Wache 2"));
    EXPECT_EQ(read.englishWarnings(),
              QStringList{QStringLiteral("Wachen.txt holds characters that Windows-1252 does not have; they are "
                                         "read as \"?\"")});
}

using TextFile = test::RecordsTest;

// A file that would begin with the bytes of a byte-order mark would read back
// as another character set: such a table is refused, not stored altered.
TEST_F(TextFile, ATableThatWouldStartLikeAByteOrderMarkIsRefused) {
    const QString path = folder().stationNamesFile();
    writeBytes(path, "Wache 1\r\n");
    const FileResult result = writeTextLines(path, {QStringLiteral("\u00FF\u00FEWache")});
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.error().contains(QStringLiteral("\u201E\u00FF\u00FE\u201C"))) << result.error().toStdString();
    EXPECT_EQ(readBytes(path), QByteArray("Wache 1\r\n"));
    EXPECT_TRUE(writeTextLines(path, {QStringLiteral("Wache \u00FF\u00FE")}).ok());
}

TEST_F(TextFile, WriteReplacesTheWholeFileWithCrLfLines) {
    const QString path = folder().root() + QStringLiteral("/x.txt");
    writeBytes(path, "old content that is longer\r\n");
    ASSERT_TRUE(
        writeTextLines(path, {QStringLiteral("\u00C4"), QString(), QStringLiteral("b\tc")}).ok());
    EXPECT_EQ(readBytes(path), QByteArray("\xC4\r\n\r\nb\tc\r\n"));
    EXPECT_EQ(filesIn(folder().root()), QStringList{"x.txt"});
}

TEST_F(TextFile, FailedWriteLeavesTheOldFileAndNoLeftovers) {
    const QString path = folder().root() + QStringLiteral("/Wachen.txt");
    const QByteArray old("Wache 1\r\nWache 2\r\n");
    writeBytes(path, old);
    FileResult result;
    {
        const test::FileSizeLimit full(8);
        result =
            writeTextLines(path, {QStringLiteral("a much longer first line"), QStringLiteral("b")});
    }
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.error().contains(QStringLiteral("Wachen.txt")))
        << result.error().toStdString();
    EXPECT_EQ(readBytes(path), old);
    EXPECT_EQ(filesIn(folder().root()), QStringList{"Wachen.txt"});
}

TEST_F(TextFile, WriteIntoReadOnlyFolderIsReported) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    const QString path = folder().root() + QStringLiteral("/Mon.ini");
    writeBytes(path, "0\r\n");
    ASSERT_TRUE(QFile::setPermissions(folder().root(), QFile::ReadOwner | QFile::ExeOwner));
    const FileResult result = writeTextLines(path, {QStringLiteral("1")});
    QFile::setPermissions(folder().root(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(readBytes(path), QByteArray("0\r\n"));
}

TEST_F(TextFile, AppendCreatesAndExtendsTheFile) {
    const QString path = folder().logDir() + QStringLiteral("/x.txt");
    ASSERT_TRUE(appendTextLine(path, QStringLiteral("eins\t\u00FC")).ok());
    ASSERT_TRUE(appendTextLine(path, QStringLiteral("zwei")).ok());
    EXPECT_EQ(readBytes(path), QByteArray("eins\t\xFC\r\nzwei\r\n"));
}

TEST_F(TextFile, AppendKeepsAHandEditedLastLineWhole) {
    const QString path = folder().root() + QStringLiteral("/filter_fms.txt");
    writeBytes(path, "6\t0");
    ASSERT_TRUE(appendTextLine(path, QStringLiteral("62\t1")).ok());
    EXPECT_EQ(readBytes(path), QByteArray("6\t0\r\n62\t1\r\n"));
}

TEST_F(TextFile, FailedAppendLeavesNoHalfLine) {
    const QString path = folder().logDir() + QStringLiteral("/FMS-2004-12-7.txt");
    const QByteArray old("RTW 1\r\n");
    writeBytes(path, old);
    FileResult result;
    {
        const test::FileSizeLimit full(static_cast<rlim_t>(old.size()) + 5);
        result = appendTextLine(path, QStringLiteral("a line that does not fit"));
    }
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(readBytes(path), old);
}

struct NumberCase {
    const char* text;
    qint64 value;
};
void PrintTo(const NumberCase& c, std::ostream* os) {
    for (const char* p = c.text; *p != 0; ++p) {
        *os << (*p == ' ' ? "_" : *p == '\t' ? "\\t" : std::string(1, *p));
    }
}

class LeadingNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(LeadingNumber, TakesTheNumberAtTheStart) {
    EXPECT_EQ(leadingNumber(QString::fromLatin1(GetParam().text)), GetParam().value)
        << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(TextFile, LeadingNumber,
                         ::testing::Values(NumberCase{"", 0}, NumberCase{"42", 42},
                                           NumberCase{"  42  ", 42}, NumberCase{" \t7", 7},
                                           NumberCase{"-7", -7}, NumberCase{"+5", 5},
                                           NumberCase{"12abc", 12}, NumberCase{"abc", 0},
                                           NumberCase{"3.7", 3}, NumberCase{"- 3", 0},
                                           NumberCase{"4 5", 4},
                                           NumberCase{"-2147483633", -2147483633LL}));

TEST(LeadingNumberLimits, HugeNumbersSaturateInsteadOfWrapping) {
    EXPECT_GT(leadingNumber(u"99999999999999999999999999"), qint64{1} << 40);
    EXPECT_LT(leadingNumber(u"-99999999999999999999999999"), -(qint64{1} << 40));
}

TEST(TextCodecCheck, FindsTheFirstCharacterWindows1252CannotHold) {
    EXPECT_FALSE(
        firstCharacterOutsideWindows1252(QStringLiteral("\u00C4\u00DF\u20AC?\u0081")).has_value());
    EXPECT_EQ(firstCharacterOutsideWindows1252(QStringLiteral("ab\u0416\U0001F692")), U'\u0416');
    EXPECT_EQ(firstCharacterOutsideWindows1252(QStringLiteral("\U0001F692")), U'\U0001F692');
}

} // namespace
} // namespace tolvana
