#include "records/bos_import.h"
#include "records/text_file.h"
#include "records_fixture.h"

#include <QDir>
#include <gtest/gtest.h>

namespace tolvana {
namespace {

using test::readBytes;
using test::writeBytes;

// A BOS file as they come: Windows-1252, CR LF, sections the import does not
// use around the two it does, a header in other letter case and one with a
// trailing blank (neither is a header).
const QByteArray kBosFile("; Landkreis Musterstadt\r\n"
                          "6 2 34 56 77   vor dem ersten Kopf\r\n"
                          "[OrganisationenKurz]\r\n"
                          "6 2 34 56 76   Feuerwehr\r\n"
                          "[Rufnamen]\r\n"
                          "6 2 34 56 78   RTW 1\r\n"
                          "6 2 34 56 79   Florian M\xFC"
                          "nster 1/83-1, Wache S\xFC"
                          "d\r\n"
                          "6 2 34 56 80   R\r\n"
                          "\r\n"
                          "6 2 34 56 81   HL\n"
                          "[rufnamen]\r\n"
                          "6 2 34 56 82   nach falschem Kopf\r\n"
                          "[Heimatfahrzeuge]\r\n"
                          "6 2 34 56 83   Heimat\r\n"
                          "[Selektiv]\r\n"
                          "12-345 Florian 1\r\n"
                          "23-456 \xC4rzte, Bereitschaft\r\n"
                          "12-345\r\n"
                          "34-567 \r\n"
                          "[Selektiv] \r\n"
                          "45-678 Florian\tDorf\r\n"
                          "[Selektiv-Record]\r\n"
                          "56-789 Aufzeichnung\r\n"
                          "[Rufnamen]\r\n"
                          "6 2 34 56 84   Letzter");

TEST(BosFile, TakesTheRufnamenAndSelektivSectionsByPosition) {
    const BosEntries entries = parseBosLines(textLinesOf(kBosFile));

    // 17 characters or more ("...80   R" has 16); a name with a comma stays
    // whole; "[rufnamen]" is no header (and too short for a vehicle), so the
    // line after it still belongs to "[Rufnamen]"; the other sections are
    // skipped, and so is everything before the first header.
    const QList<BosVehicle> vehicles{
        {QStringLiteral("62345678"), QStringLiteral("RTW 1")},
        {QStringLiteral("62345679"), QStringLiteral("Florian M\u00FCnster 1/83-1, Wache S\u00FCd")},
        {QStringLiteral("62345681"), QStringLiteral("HL")},
        {QStringLiteral("62345682"), QStringLiteral("nach falschem Kopf")},
        {QStringLiteral("62345684"), QStringLiteral("Letzter")},
    };
    EXPECT_EQ(entries.vehicles, vehicles);

    // "12-345" alone has 6 characters; "34-567 " has 7 and an empty name;
    // "[Selektiv] " is no header but 11 characters of a call line; a TAB in
    // a name becomes a blank, as the call-name file could not keep it.
    const QList<BosCall> calls{
        {QStringLiteral("12345"), QStringLiteral("Florian 1")},
        {QStringLiteral("23456"), QStringLiteral("\u00C4rzte, Bereitschaft")},
        {QStringLiteral("34567"), QString()},
        {QStringLiteral("[Slek"), QStringLiteral("iv] ")},
        {QStringLiteral("45678"), QStringLiteral("Florian Dorf")},
    };
    EXPECT_EQ(entries.calls, calls);
}

TEST(BosFile, ThePathMustHoldDotBosInAnyLetterCase) {
    EXPECT_TRUE(isBosFilePath(QStringLiteral("/home/wache/Kreis.BOS")));
    EXPECT_TRUE(isBosFilePath(QStringLiteral("/home/wache/kreis.bos")));
    EXPECT_TRUE(isBosFilePath(QStringLiteral("/home/wache/Kreis.Bos.txt")));
    EXPECT_FALSE(isBosFilePath(QStringLiteral("/home/wache/Kreis.txt")));
    EXPECT_FALSE(isBosFilePath(QStringLiteral("/home/wache/BOS")));
}

QList<BosVehicle> numberedVehicles(int count) {
    QList<BosVehicle> out;
    for (int i = 0; i < count; ++i) {
        out.append(BosVehicle{QStringLiteral("6%1").arg(i, 7, 10, QLatin1Char('0')),
                              QStringLiteral("Fahrzeug %1").arg(i)});
    }
    return out;
}

TEST(BosVehicleImport, ReplacesFromTheStartAndKeepsWhatLiesBehind) {
    VehicleTable table(20);
    for (int i = 0; i < 6; ++i) {
        table.entry(i) = Vehicle{QStringLiteral("1111111%1").arg(i),
                                 QStringLiteral("Alt %1").arg(i),
                                 QStringLiteral("Info"),
                                 3,
                                 2,
                                 QStringLiteral("07.12. 15:52")};
    }
    table.setLastUsedIndex(5);

    EXPECT_EQ(importBosVehicles(table, numberedVehicles(3), false), 3);
    EXPECT_EQ(table.at(0),
              (Vehicle{QStringLiteral("60000000"), QStringLiteral("Fahrzeug 0"),
                       QStringLiteral("Fahrzeug 0"), 6, 2, QStringLiteral("07.12. 15:52")}));
    EXPECT_EQ(table.at(2).Rufname, QStringLiteral("Fahrzeug 2"));
    EXPECT_EQ(table.at(3).Rufname, QStringLiteral("Alt 3")); // behind the import: as it was
    EXPECT_EQ(table.lastUsedIndex(), 2);                     // the last entry written
}

TEST(BosVehicleImport, AppendsBehindTheLastUsedEntryAndNeverWritesTheLastEntry) {
    VehicleTable table(20);
    table.entry(9).Rufname = QStringLiteral("HLF");
    table.setLastUsedIndex(9);
    EXPECT_EQ(importBosVehicles(table, numberedVehicles(3), true), 3);
    EXPECT_EQ(table.at(9).Rufname, QStringLiteral("HLF"));
    EXPECT_EQ(table.at(10).Kennung, QStringLiteral("60000000"));
    EXPECT_EQ(table.at(12).Kennung, QStringLiteral("60000002"));
    EXPECT_EQ(table.lastUsedIndex(), 12);

    // A 5 x 10 board on its 30 pages holds 1500 entries: 1499 are imported,
    // entry 1499 stays as it was.
    VehicleTable board(1500);
    board.entry(1499).Rufname = QStringLiteral("bleibt");
    EXPECT_EQ(importBosVehicles(board, numberedVehicles(2000), false), 1499);
    EXPECT_EQ(board.at(1498).Kennung, QStringLiteral("60001498"));
    EXPECT_EQ(board.at(1499).Rufname, QStringLiteral("bleibt"));
    EXPECT_EQ(board.lastUsedIndex(), 1498);
    // Appending to the full table takes nothing; neither does a table of one.
    EXPECT_EQ(importBosVehicles(board, numberedVehicles(5), true), 0);
    VehicleTable one(1);
    EXPECT_EQ(importBosVehicles(one, numberedVehicles(5), false), 0);
    EXPECT_EQ(one.at(0), Vehicle{});
}

TEST(BosCallImport, AppendsEveryCallWithAnEmptyColourCell) {
    CallNameTable table;
    table.append(QStringLiteral("12345"), QStringLiteral("Florian 1"), QStringLiteral("255"));
    const QList<BosCall> calls{{QStringLiteral("12345"), QStringLiteral("Florian 1")},
                               {QStringLiteral("23456"), QStringLiteral("DLRG")}};
    EXPECT_EQ(importBosCalls(table, calls), 2);
    ASSERT_EQ(table.callNameCount(), 3);
    EXPECT_EQ(table.at(0).farbeText, QStringLiteral("255"));
    EXPECT_EQ(table.at(1),
              (CallName{QStringLiteral("12345"), QStringLiteral("Florian 1"), QString(), 0}));
    EXPECT_EQ(table.at(2).Nummer, QStringLiteral("23456"));
}

using BosImportFile = test::RecordsTest;

TEST_F(BosImportFile, VehiclesAndCallsReachTheirFilesInTheProgramsFormat) {
    const QString path = folder().root() + QStringLiteral("/Musterkreis.bos");
    writeBytes(path, kBosFile);
    VehicleTable vehicles(8);
    CallNameTable calls;

    BosImport imported = importBosFile(path, ImportMode::Vehicles, vehicles, calls, false);
    ASSERT_TRUE(imported.result.ok()) << imported.result.error().toStdString();
    EXPECT_EQ(imported.imported, 5);
    EXPECT_EQ(imported.found, 5);
    EXPECT_EQ(calls.callNameCount(), 0);
    ASSERT_TRUE(vehicles.saveVehicles(folder()).ok());
    EXPECT_EQ(readBytes(folder().vehiclesFile()),
              QByteArray("RTW 1\tRTW 1\t62345678\r\n"
                         "Florian M\xFCnster 1/83-1, Wache S\xFC"
                         "d\tFlorian M\xFCnster 1/83-1, Wache S\xFC"
                         "d\t62345679\r\n"
                         "HL\tHL\t62345681\r\n"
                         "nach falschem Kopf\tnach falschem Kopf\t62345682\r\n"
                         "Letzter\tLetzter\t62345684\r\n"
                         "\t\t\r\n"
                         "\t\t\r\n"
                         "\t\t\r\n"));
    // No status file: the import sets Status 6 in the table only.
    EXPECT_TRUE(test::filesIn(folder().statusDir()).isEmpty());

    // Appending to a table with room for two more: the file's count tells the rest.
    imported = importBosFile(path, ImportMode::Vehicles, vehicles, calls, true);
    EXPECT_EQ(imported.imported, 2);
    EXPECT_EQ(imported.found, 5);
    vehicles.resize(8);
    ASSERT_TRUE(vehicles.loadVehicles(folder()).ok());

    imported = importBosFile(path, ImportMode::CallNames, vehicles, calls, false);
    ASSERT_TRUE(imported.result.ok());
    EXPECT_EQ(imported.imported, 5);
    EXPECT_EQ(imported.found, 5);
    ASSERT_TRUE(calls.saveCallNames(folder()).ok());
    EXPECT_EQ(readBytes(folder().callNamesFile()), QByteArray("12345\tFlorian 1\t\r\n"
                                                              "23456\t\xC4rzte, Bereitschaft\t\r\n"
                                                              "34567\t\t\r\n"
                                                              "[Slek\tiv] \t\r\n"
                                                              "45678\tFlorian Dorf\t\r\n"));
}

TEST_F(BosImportFile, WhatCannotBeImportedLeavesTheTablesAlone) {
    VehicleTable vehicles(8);
    vehicles.entry(0).Rufname = QStringLiteral("RTW 1");
    const VehicleTable before = vehicles;
    CallNameTable calls;
    const auto unchanged = [&] {
        for (int i = 0; i < vehicles.size(); ++i) {
            EXPECT_EQ(vehicles.at(i), before.at(i));
        }
        EXPECT_EQ(calls.callNameCount(), 0);
    };

    // Not a BOS file, or none at all: nothing, and no message.
    const QString text = folder().root() + QStringLiteral("/Kreis.txt");
    writeBytes(text, kBosFile);
    for (const QString& path : {text, folder().root() + QStringLiteral("/fehlt.BOS")}) {
        const BosImport imported =
            importBosFile(path, ImportMode::Vehicles, vehicles, calls, false);
        EXPECT_TRUE(imported.result.ok());
        EXPECT_EQ(imported.imported, 0);
    }
    unchanged();

    // A folder named like a BOS file, and a file beyond the limit: a message.
    const QString dir = folder().root() + QStringLiteral("/Ordner.BOS");
    ASSERT_TRUE(QDir().mkpath(dir));
    BosImport imported = importBosFile(dir, ImportMode::Vehicles, vehicles, calls, false);
    EXPECT_FALSE(imported.result.ok());
    EXPECT_TRUE(imported.result.error().contains(QStringLiteral("keine Datei")));

    const QString big = folder().root() + QStringLiteral("/gross.BOS");
    QByteArray bytes = kBosFile;
    bytes.append(QByteArray(kMaxBosFileBytes, ' '));
    writeBytes(big, bytes);
    imported = importBosFile(big, ImportMode::CallNames, vehicles, calls, false);
    EXPECT_FALSE(imported.result.ok());
    EXPECT_TRUE(imported.result.error().contains(QStringLiteral("zu gro\u00DF")));
    EXPECT_EQ(imported.imported, 0);
    unchanged();
}

} // namespace
} // namespace tolvana
