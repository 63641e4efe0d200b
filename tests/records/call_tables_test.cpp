#include <gtest/gtest.h>

#include "records/call_tables.h"
#include "records/station_names.h"
#include "records_fixture.h"

namespace tolvana {
namespace {

using test::readBytes;
using test::writeBytes;

const QByteArray kWindowsCallNames("12345\tFeuerwehr M\xFC"
                                   "nchen\t255\r\n"
                                   "23456\tDLRG\t\r\n"
                                   "1234567\tPager \xC4rzte\t16711680\r\n");

const QByteArray kWindowsAssignments("62345678\t12345\tRTW 1\r\n"
                                     "61234567\t12345\tNEF M\xFC"
                                     "nchen\r\n"
                                     "62345678\t1234567\tRTW 1\r\n"
                                     "6A345678\t23456\tHLF\r\n");

using CallNames = test::RecordsTest;

TEST_F(CallNames, WindowsFileSurvivesLoadAndSaveByteForByte) {
    writeBytes(folder().callNamesFile(), kWindowsCallNames);
    CallNameTable table;
    ASSERT_TRUE(table.loadCallNames(folder()).ok());
    ASSERT_EQ(table.callNameCount(), 3);
    EXPECT_EQ(table.at(0),
              (CallName{QStringLiteral("12345"), QStringLiteral("Feuerwehr M\u00FCnchen"),
                        QStringLiteral("255"), 255u}));
    EXPECT_EQ(table.at(1).Farbe, 0u);
    EXPECT_EQ(table.at(2).Farbe, rgb(0, 0, 255));
    ASSERT_TRUE(table.saveCallNames(folder()).ok());
    EXPECT_EQ(readBytes(folder().callNamesFile()), kWindowsCallNames);
}

TEST_F(CallNames, EmptyLinesAreSkippedAndMissingCellsAreEmpty) {
    writeBytes(folder().callNamesFile(), "12345\tA\t65280\n\n23456\n34567\tC\trot\n");
    CallNameTable table;
    ASSERT_TRUE(table.loadCallNames(folder()).ok());
    ASSERT_EQ(table.callNameCount(), 3);
    EXPECT_EQ(table.at(1), (CallName{QStringLiteral("23456"), QString(), QString(), 0u}));
    EXPECT_EQ(table.at(2).Farbe, 0u);
    ASSERT_TRUE(table.saveCallNames(folder()).ok());
    EXPECT_EQ(readBytes(folder().callNamesFile()),
              QByteArray("12345\tA\t65280\r\n23456\t\t\r\n34567\tC\trot\r\n"));
}

TEST_F(CallNames, EmptyTableDeletesTheFileAndMissingFileKeepsTheTable) {
    CallNameTable table;
    table.append(QStringLiteral("12345"), QStringLiteral("A"), rgb(1, 2, 3));
    ASSERT_TRUE(table.loadCallNames(folder()).ok()); // no file yet
    EXPECT_EQ(table.callNameCount(), 1);
    ASSERT_TRUE(table.saveCallNames(folder()).ok());
    EXPECT_EQ(readBytes(folder().callNamesFile()), QByteArray("12345\tA\t197121\r\n"));
    table.remove(0);
    ASSERT_TRUE(table.saveCallNames(folder()).ok());
    EXPECT_FALSE(QFile::exists(folder().callNamesFile()));
}

TEST_F(CallNames, CellThatWouldBreakTheFileIsRefused) {
    writeBytes(folder().callNamesFile(), kWindowsCallNames);
    CallNameTable table;
    ASSERT_TRUE(table.loadCallNames(folder()).ok());
    table.replace(1, QStringLiteral("23456"), QStringLiteral("DLRG\r\nWache"), QString());
    EXPECT_FALSE(table.saveCallNames(folder()).ok());
    EXPECT_EQ(readBytes(folder().callNamesFile()), kWindowsCallNames);
}

using CallAssignments = test::RecordsTest;

TEST_F(CallAssignments, RemovingOnePagerKeepsTheOthers) {
    writeBytes(folder().callAssignmentsFile(), kWindowsAssignments);
    CallAssignmentTable table;
    ASSERT_TRUE(table.loadCallAssignments(folder()).ok());
    ASSERT_EQ(table.callAssignmentCount(), 4);
    EXPECT_EQ(table.numbersOf(QStringLiteral("62345678")), (QStringList{"12345", "1234567"}));

    ASSERT_TRUE(
        table.removeCallAssignment(folder(), QStringLiteral("62345678"), QStringLiteral("12345"))
            .ok());
    EXPECT_EQ(readBytes(folder().callAssignmentsFile()), QByteArray("61234567\t12345\tNEF M\xFC"
                                                                    "nchen\r\n"
                                                                    "62345678\t1234567\tRTW 1\r\n"
                                                                    "6A345678\t23456\tHLF\r\n"));
    EXPECT_EQ(table.callAssignmentCount(), 3);
    ASSERT_TRUE(
        table.removeCallAssignment(folder(), QStringLiteral("6a345678"), QStringLiteral("23456"))
            .ok());
    EXPECT_EQ(table.callAssignmentCount(), 2);
    CallAssignmentTable reloaded;
    ASSERT_TRUE(reloaded.loadCallAssignments(folder()).ok());
    EXPECT_EQ(reloaded, table);
}

TEST_F(CallAssignments, AddAppendsToTheFileAndCreatesIt) {
    CallAssignmentTable table;
    ASSERT_TRUE(table
                    .addCallAssignment(folder(), QStringLiteral("62345678"),
                                       QStringLiteral("12345"), QStringLiteral("RTW \u00DC1"))
                    .ok());
    ASSERT_TRUE(table
                    .addCallAssignment(folder(), QStringLiteral("61234567"),
                                       QStringLiteral("1234567"), QStringLiteral("NEF"))
                    .ok());
    EXPECT_EQ(readBytes(folder().callAssignmentsFile()),
              QByteArray("62345678\t12345\tRTW \xDC"
                         "1\r\n61234567\t1234567\tNEF\r\n"));
    EXPECT_EQ(table.callAssignmentCount(), 2);

    EXPECT_FALSE(table
                     .addCallAssignment(folder(), QStringLiteral("62345678"),
                                        QStringLiteral("1\t2"), QStringLiteral("x"))
                     .ok());
    FileResult full;
    {
        const test::FileSizeLimit limit(60);
        full = table.addCallAssignment(folder(), QStringLiteral("62345678"),
                                       QStringLiteral("54321"), QStringLiteral("RTW 1"));
    }
    EXPECT_FALSE(full.ok());
    EXPECT_EQ(table.callAssignmentCount(), 2);
    EXPECT_EQ(readBytes(folder().callAssignmentsFile()),
              QByteArray("62345678\t12345\tRTW \xDC"
                         "1\r\n61234567\t1234567\tNEF\r\n"));
}

struct LookUpCase {
    const char* name;
    const char16_t* number;
    CallDisplay display;
};
void PrintTo(const LookUpCase& c, std::ostream* os) {
    *os << c.name;
}

class CallLookUp : public ::testing::TestWithParam<LookUpCase> {};

TEST_P(CallLookUp, NameColourAndCarryingVehicle) {
    CallNameTable names;
    names.append(QStringLiteral("12345"), QStringLiteral("Wehr A"), QStringLiteral("0"));
    names.append(QStringLiteral("1234567"), QStringLiteral("Pager B"), QStringLiteral("255"));
    names.append(QStringLiteral("1234567"), QStringLiteral("second"), QStringLiteral("65280"));
    names.append(QStringLiteral("2345F"), QStringLiteral("Gruppe"), QStringLiteral("65280"));
    CallAssignmentTable assignments;
    QTemporaryDir dir;
    const auto folder = DataFolder::open(dir.path());
    ASSERT_TRUE(folder.has_value());
    ASSERT_TRUE(assignments
                    .addCallAssignment(*folder, QStringLiteral("62345678"),
                                       QStringLiteral("1234567"), QStringLiteral("RTW 1"))
                    .ok());
    ASSERT_TRUE(assignments
                    .addCallAssignment(*folder, QStringLiteral("61234567"), QStringLiteral("55555"),
                                       QStringLiteral("X"))
                    .ok());
    EXPECT_EQ(lookUpCall(QString::fromUtf16(GetParam().number), names, assignments),
              GetParam().display);
}

INSTANTIATE_TEST_SUITE_P(
    CallTables, CallLookUp,
    ::testing::Values(
        LookUpCase{"ColourZeroIsGrey", u"12345", {QStringLiteral("Wehr A"), kLightGrey}},
        LookUpCase{"NameColourAndVehicle", u"1234567", {QStringLiteral("Pager B (RTW 1) "), 255u}},
        LookUpCase{"OnlyOnAVehicle", u"55555", {QStringLiteral(" (X) "), kLightGrey}},
        LookUpCase{"IgnoresCase", u"2345f", {QStringLiteral("Gruppe"), rgb(0, 255, 0)}},
        LookUpCase{"Unknown", u"99999", {QString(), kLightGrey}}),
    [](const auto& p) { return std::string(p.param.name); });

using Stations = test::RecordsTest;

TEST_F(Stations, WindowsFileSurvivesLoadAndSaveByteForByte) {
    QByteArray bytes;
    for (int i = 0; i < StationNames::kCount; ++i) {
        bytes += i == 3   ? QByteArray("Wache S\xFC"
                                         "d")
                 : i == 7 ? QByteArray()
                          : "Wache " + QByteArray::number(i);
        bytes += "\r\n";
    }
    writeBytes(folder().stationNamesFile(), bytes);
    StationNames names;
    ASSERT_TRUE(names.loadStationNames(folder()).ok());
    EXPECT_EQ(names.name(3), QStringLiteral("Wache S\u00FCd"));
    EXPECT_EQ(names.name(7), QString());
    EXPECT_EQ(names.name(29), QStringLiteral("Wache 29"));
    ASSERT_TRUE(names.saveStationNames(folder()).ok());
    EXPECT_EQ(readBytes(folder().stationNamesFile()), bytes);

    names.setName(4, QStringLiteral("Wache\nOst"));
    EXPECT_FALSE(names.saveStationNames(folder()).ok());
    EXPECT_EQ(readBytes(folder().stationNamesFile()), bytes);
}

TEST_F(Stations, FewerLinesLeaveTheRemainingNamesEmpty) {
    writeBytes(folder().stationNamesFile(), "Nord\nS\xFC"
                                            "d");
    StationNames names;
    names.setName(5, QStringLiteral("alt"));
    ASSERT_TRUE(names.loadStationNames(folder()).ok());
    EXPECT_EQ(names.name(1), QStringLiteral("S\u00FCd"));
    EXPECT_EQ(names.name(5), QString());
    StationNames untouched;
    untouched.setName(5, QStringLiteral("alt"));
    ASSERT_TRUE(QFile::remove(folder().stationNamesFile()));
    ASSERT_TRUE(untouched.loadStationNames(folder()).ok());
    EXPECT_EQ(untouched.name(5), QStringLiteral("alt"));
}

} // namespace
} // namespace tolvana
