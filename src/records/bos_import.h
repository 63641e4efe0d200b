// Vehicles and five-tone call names taken over from a BOS data file, the
// sectioned text file (".BOS") in which organisations publish the call names
// and FMS identities of their region:
//
//   [Rufnamen]                      one vehicle per line (17 characters or more)
//   6 2 34 56 78   RTW 1            positions 1, 3, 5-6, 8-9, 11-12: the identity
//                                   62345678; from position 16: the call name
//   [Selektiv]                      one five-tone call per line (7 or more)
//   12-345 Florian 1                positions 1-2 and 4-6: the call; from 8: its name
//
// A header counts only when the whole line is exactly one of the known
// headers; every other section, and the lines before the first header, are
// skipped. The file is Windows-1252 text with CR LF (LF alone is taken too).
// A line ends only at its line end: a name holding a comma is kept whole.
#pragma once

#include "records/call_tables.h"
#include "records/file_result.h"
#include "records/vehicle_table.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tolvana {

/// What an import takes from the file (the numbers are the buttons' own).
enum class ImportMode { CallNames = 1, Vehicles = 2 };

struct BosVehicle {
    QString Kennung; ///< the eight characters of the FMS identity
    QString Rufname; ///< from position 16 to the end of the line

    bool operator==(const BosVehicle&) const = default;
};

struct BosCall {
    QString Nummer; ///< the five characters of the call
    QString Name;   ///< from position 8 to the end of the line

    bool operator==(const BosCall&) const = default;
};

struct BosEntries {
    QList<BosVehicle> vehicles; ///< the "[Rufnamen]" lines, in file order
    QList<BosCall> calls;       ///< the "[Selektiv]" lines, in file order
};

/// The vehicles and calls of a BOS file's lines (without their line ends).
/// Control characters in a taken text (a TAB, a stray CR) become blanks:
/// the tables' files separate their fields with TABs and could not keep them.
BosEntries parseBosLines(const QStringList& lines);

/// Whether a chosen path may be imported: it holds ".BOS" in any letter case.
bool isBosFilePath(const QString& path);

/// Writes the vehicles into the table: from entry lastUsedIndex + 1 on when
/// `append`, from entry 0 otherwise, each with Eigenschaft equal to its call
/// name and Status 6 (Tki and Zeit stay), raising lastUsedIndex to the last
/// entry written. The table's last entry is never written; vehicles beyond it
/// are left out. Returns how many were written.
int importBosVehicles(VehicleTable& table, const QList<BosVehicle>& vehicles, bool append);

/// Appends one entry per call (colour cell empty), also for a number the
/// table already holds. Returns how many were appended.
int importBosCalls(CallNameTable& table, const QList<BosCall>& calls);

struct BosImport {
    FileResult result; ///< a failure leaves both tables as they were
    int imported = 0;  ///< vehicles or calls taken
    int found = 0;     ///< vehicles or calls the file holds (more than taken when the table is full)
};

/// Largest file taken (BOS files of whole federal states stay far below).
inline constexpr qint64 kMaxBosFileBytes = 16 * 1024 * 1024;

/// Imports from the file at `path` into the table `mode` names. A path
/// without ".BOS" or a file that does not exist imports nothing and is no
/// error (the user picked something else). A file that is no regular file,
/// is larger than kMaxBosFileBytes or cannot be read fails with a German
/// message and imports nothing. Saving the table is the caller's step.
BosImport importBosFile(const QString& path, ImportMode mode, VehicleTable& vehicles,
                        CallNameTable& callNames, bool appendOnImport);

} // namespace tolvana
