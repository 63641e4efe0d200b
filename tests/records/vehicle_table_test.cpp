#include <gtest/gtest.h>

#include <QDateTime>

#include "records/vehicle_table.h"
#include "records_fixture.h"

namespace tolvana {
namespace {

using test::readBytes;
using test::writeBytes;

constexpr int kSmallBoard = 1500; // 5 x 10 fields, 30 pages

QByteArray emptyLines(int count) {
    return QByteArray("\t\t\r\n").repeated(count);
}

// Fzg.txt of an earlier installation: umlauts as single bytes, a heading entry
// without identity, a free field, a comma and quotes in a text.
QByteArray windowsVehicles() {
    return QByteArray("RTW 1\tRettungswagen M\xFC"
                      "nchen\t62345678\r\n"
                      "\t\t\r\n"
                      "Wache Nord\tWache \"Nord\", 2. OG\t\r\n"
                      "HLF 20/1\tL\xF6schzug\t6a345678\r\n") +
           emptyLines(kSmallBoard - 5) + QByteArray("ELW 1\t\t61234567\r\n");
}

using Vehicles = test::RecordsTest;

TEST_F(Vehicles, FirstVehicleIsWrittenAsCallNameTwoTabsIdentity) {
    VehicleTable table(kSmallBoard);
    table.entry(0).Rufname = QStringLiteral("RTW 1");
    table.entry(0).Kennung = QStringLiteral("62345678");
    ASSERT_TRUE(table.saveVehicles(folder()).ok());
    EXPECT_EQ(readBytes(folder().vehiclesFile()),
              QByteArray("RTW 1\t\t62345678\r\n") + emptyLines(kSmallBoard - 1));
}

TEST_F(Vehicles, EmptyTableIsTwoTabsPerEntryAndReadsBackEmpty) {
    ASSERT_TRUE(VehicleTable(kSmallBoard).saveVehicles(folder()).ok());
    EXPECT_EQ(readBytes(folder().vehiclesFile()), emptyLines(kSmallBoard));
    VehicleTable table(kSmallBoard);
    ASSERT_TRUE(table.loadVehicles(folder()).ok());
    EXPECT_EQ(table.lastUsedIndex(), 0);
    for (int i = 0; i < table.size(); ++i) {
        ASSERT_EQ(table.at(i), Vehicle{}) << i;
    }
}

TEST_F(Vehicles, WindowsFileSurvivesLoadAndSaveByteForByte) {
    writeBytes(folder().vehiclesFile(), windowsVehicles());
    VehicleTable table(kSmallBoard);
    ASSERT_TRUE(table.loadVehicles(folder()).ok());
    EXPECT_EQ(table.at(0).Eigenschaft, QStringLiteral("Rettungswagen M\u00FCnchen"));
    EXPECT_EQ(table.at(2).Kennung, QString());
    EXPECT_EQ(table.at(2).Eigenschaft, QStringLiteral("Wache \"Nord\", 2. OG"));
    EXPECT_EQ(table.at(3).Eigenschaft, QStringLiteral("L\u00F6schzug"));
    EXPECT_EQ(table.lastUsedIndex(), kSmallBoard - 1);
    ASSERT_TRUE(table.saveVehicles(folder()).ok());
    EXPECT_EQ(readBytes(folder().vehiclesFile()), windowsVehicles());
}

TEST_F(Vehicles, ShortLinesAndEmptyLinesLeaveWhatTheyLack) {
    // Edited on Linux: LF only, no last line end, fewer lines than the table.
    writeBytes(folder().vehiclesFile(), "RTW 2\n\nNEF 1\tNotarzt\nKTW 3\t\t62111111");
    VehicleTable table(kSmallBoard);
    for (int i = 0; i < 5; ++i) {
        table.entry(i) = {QStringLiteral("K%1").arg(i),
                          QStringLiteral("R%1").arg(i),
                          QStringLiteral("E%1").arg(i),
                          3,
                          1,
                          QString()};
    }
    ASSERT_TRUE(table.loadVehicles(folder()).ok());
    EXPECT_EQ(table.at(0).Rufname, QStringLiteral("RTW 2"));
    EXPECT_EQ(table.at(0).Eigenschaft, QStringLiteral("E0"));
    EXPECT_EQ(table.at(0).Kennung, QStringLiteral("K0"));
    EXPECT_EQ(table.at(1).Rufname, QStringLiteral("R1"));
    EXPECT_EQ(table.at(2).Eigenschaft, QStringLiteral("Notarzt"));
    EXPECT_EQ(table.at(2).Kennung, QStringLiteral("K2"));
    EXPECT_EQ(table.at(3).Kennung, QStringLiteral("62111111"));
    EXPECT_EQ(table.at(4).Rufname, QStringLiteral("R4"));
    EXPECT_EQ(table.lastUsedIndex(), 4);
}

TEST_F(Vehicles, VehiclesBeyondASmallerBoardAreKept) {
    const QByteArray big = windowsVehicles() + emptyLines(10) + QByteArray("RTW 9\t\t62999999\r\n");
    writeBytes(folder().vehiclesFile(), big);
    VehicleTable table(kSmallBoard);
    ASSERT_TRUE(table.loadVehicles(folder()).ok());
    EXPECT_EQ(table.size(), kSmallBoard);
    EXPECT_EQ(table.indexOfKennung(QStringLiteral("62999999")), -1);
    table.entry(1).Rufname = QStringLiteral("neu");
    ASSERT_TRUE(table.saveVehicles(folder()).ok());
    QByteArray expected = big;
    expected.replace(expected.indexOf("\t\t\r\n"), 4, "neu\t\t\r\n");
    EXPECT_EQ(readBytes(folder().vehiclesFile()), expected);

    table.resize(3000);
    ASSERT_TRUE(table.loadVehicles(folder()).ok());
    EXPECT_EQ(table.indexOfKennung(QStringLiteral("62999999")), kSmallBoard + 10);
}

TEST_F(Vehicles, FieldThatWouldBreakTheFileIsRefused) {
    writeBytes(folder().vehiclesFile(), windowsVehicles());
    VehicleTable table(kSmallBoard);
    ASSERT_TRUE(table.loadVehicles(folder()).ok());
    table.entry(7).Rufname = QStringLiteral("RTW\t7");
    const FileResult result = table.saveVehicles(folder());
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.error().contains(QStringLiteral("Fzg.txt")));
    EXPECT_EQ(readBytes(folder().vehiclesFile()), windowsVehicles());
}

TEST(VehicleLookup, FirstMatchIgnoringCaseWholeTableOrUpToLastUsed) {
    VehicleTable table(100);
    table.entry(3) = {QStringLiteral("6A345678"), QStringLiteral("HLF"), {}, 0, 0, {}};
    table.entry(5) = {QStringLiteral("6a345678"), QStringLiteral("HLF 2"), {}, 0, 0, {}};
    table.entry(40) = {QStringLiteral("62345678"), QString(), {}, 0, 0, {}}; // no call name
    table.setLastUsedIndex(5);
    EXPECT_EQ(table.indexOfKennung(QStringLiteral("6a345678")), 3);
    EXPECT_EQ(table.indexOfKennungInUse(QStringLiteral("6A345678")), 3);
    EXPECT_EQ(table.indexOfKennung(QStringLiteral("62345678")), 40);
    EXPECT_EQ(table.indexOfKennungInUse(QStringLiteral("62345678")), -1);
    table.setLastUsedIndex(9000); // left from a larger board
    EXPECT_EQ(table.indexOfKennungInUse(QStringLiteral("62345678")), 40);
    EXPECT_EQ(table.indexOfKennung(QStringLiteral("99999999")), -1);
    EXPECT_EQ(VehicleTable().indexOfKennungInUse(QStringLiteral("62345678")), -1);

    table.setLastUsedIndex(5);
    table.noteUsed(40); // no call name: not used
    EXPECT_EQ(table.lastUsedIndex(), 5);
    table.entry(40).Rufname = QStringLiteral("RTW");
    table.noteUsed(40);
    EXPECT_EQ(table.lastUsedIndex(), 40);
}

TEST(VehicleMove, TakesAllSixFieldsLeavesAnEmptyEntryAndRaisesLastUsedIndex) {
    VehicleTable table(100);
    const Vehicle rtw{QStringLiteral("62345678"), QStringLiteral("RTW 1"),
                      QStringLiteral("Rettungswagen"), 3, 2, QStringLiteral("07.12. 15:52")};
    table.entry(4) = rtw;
    table.setLastUsedIndex(4);
    table.moveEntry(4, 60, 5, QStringLiteral("07.12.2004 15:53:00"));
    EXPECT_EQ(table.at(60), rtw);
    EXPECT_EQ(table.at(4), (Vehicle{{}, {}, {}, 5, 0, QStringLiteral("07.12.2004 15:53:00")}));
    // Statuses 1-4 and 6-9 look only up to lastUsedIndex: the moved vehicle
    // must stay inside that range.
    EXPECT_EQ(table.lastUsedIndex(), 60);
    EXPECT_EQ(table.indexOfKennungInUse(QStringLiteral("62345678")), 60);
    // Back to the front: the range only grows, the vehicle is found either way.
    table.moveEntry(60, 1, 6, QStringLiteral("07.12. 15:54"));
    EXPECT_EQ(table.lastUsedIndex(), 60);
    EXPECT_EQ(table.indexOfKennungInUse(QStringLiteral("62345678")), 1);
}

using VehicleStatus = test::RecordsTest;

TEST_F(VehicleStatus, LoadsWhatIsThereAndSixWhereNothingIs) {
    const QString dir = folder().statusDir();
    writeBytes(dir + QStringLiteral("/0.txt"), "3\t2\t07.12. 15:52\r\n");
    writeBytes(dir + QStringLiteral("/17.txt"), "4\t1\t08.12. 01:00"); // edited on Linux
    writeBytes(dir + QStringLiteral("/2.txt"), "7\r\n");               // damaged: fields missing
    writeBytes(dir + QStringLiteral("/5.txt"), "");
    writeBytes(dir + QStringLiteral("/018.txt"), "1\t0\tx\r\n");  // not a name the program writes
    writeBytes(dir + QStringLiteral("/9999.txt"), "1\t0\tx\r\n"); // beyond the table
    VehicleTable table(kSmallBoard);
    table.entry(2).Zeit = QStringLiteral("before");
    ASSERT_TRUE(table.loadVehicleStatus(folder()).ok());
    EXPECT_EQ(table.at(0), (Vehicle{{}, {}, {}, 3, 2, QStringLiteral("07.12. 15:52")}));
    EXPECT_EQ(table.at(17), (Vehicle{{}, {}, {}, 4, 1, QStringLiteral("08.12. 01:00")}));
    EXPECT_EQ(table.at(2), (Vehicle{{}, {}, {}, 7, 0, QStringLiteral("before")}));
    EXPECT_EQ(table.at(5).Status, kStatusWithoutFile);
    EXPECT_EQ(table.at(18).Status, kStatusWithoutFile);
    EXPECT_EQ(table.at(kSmallBoard - 1).Status, kStatusWithoutFile);
}

TEST_F(VehicleStatus, SaveWritesStatusTkiAndTimeAndRoundTrips) {
    const QByteArray windows("8\t3\t24.12. 23:59\r\n");
    writeBytes(folder().statusFile(42), windows);
    VehicleTable table(kSmallBoard);
    ASSERT_TRUE(table.loadVehicleStatus(folder()).ok());
    ASSERT_TRUE(table.saveVehicleStatus(folder(), 42, table.at(42).Zeit).ok());
    EXPECT_EQ(readBytes(folder().statusFile(42)), windows);

    table.setStatus(7, 3, 0, QDateTime(QDate(2004, 12, 7), QTime(15, 52, 42)));
    EXPECT_EQ(table.at(7).Zeit, QStringLiteral("07.12. 15:52"));
    ASSERT_TRUE(table.saveVehicleStatus(folder(), 7, table.at(7).Zeit).ok());
    EXPECT_EQ(readBytes(folder().statusFile(7)), QByteArray("3\t0\t07.12. 15:52\r\n"));
    // The status-for-all buttons pass a time without storing it in the entry.
    ASSERT_TRUE(table.saveVehicleStatus(folder(), 8, QStringLiteral("01.01. 00:00")).ok());
    EXPECT_EQ(readBytes(folder().statusFile(8)), QByteArray("6\t0\t01.01. 00:00\r\n"));

    EXPECT_FALSE(table.saveVehicleStatus(folder(), kSmallBoard, QString()).ok());
    EXPECT_FALSE(table.saveVehicleStatus(folder(), -1, QString()).ok());
}

TEST_F(VehicleStatus, SixThousandStatusFilesLoad) {
    const int size = 6000;
    for (int i = 0; i < size; i += 2) {
        writeBytes(folder().statusFile(i),
                   QStringLiteral("%1\t%2\t07.12. 15:52\r\n").arg(i % 10).arg(i % 4).toLatin1());
    }
    VehicleTable table(size);
    ASSERT_TRUE(table.loadVehicleStatus(folder()).ok());
    for (int i = 0; i < size; ++i) {
        ASSERT_EQ(table.at(i).Status, i % 2 == 0 ? i % 10 : kStatusWithoutFile) << i;
        ASSERT_EQ(table.at(i).Tki, i % 2 == 0 ? i % 4 : 0) << i;
    }
}

} // namespace
} // namespace tolvana
