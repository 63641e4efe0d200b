// The HTML status page "status.html": the first page of the vehicle status
// board with the latest five-tone calls and pager messages, for a web server
// that shows them to people outside the control room.
//
//   +-----------------------------------------------------------+ +--------+
//   | Einsatzleitstelle - Status der Einsatzfahrzeuge            | |Status 1|
//   | letzte Datenänderung: 07.12.2004 - 15:52:42 Uhr (...)      | |Status 2|
//   | +--------+--------+-----+  board page 0, cols x rows;      | |  ...   |
//   | | s=0    | s=rows | ... |  entry s = c * rows + r, filled  | |Status 9|
//   | | s=1    |  ...   |     |  in the vehicle's status colour  | +--------+
//   | +--------+--------+-----+                                  |  legend,
//   | Letzte ZVEI-Eingänge   (newest 10: number | name | time)    |  absolute
//   | Letzte POC-Eingänge    (newest 10: RIC | fn | name | time | text)
//   +-----------------------------------------------------------+
//
// The file is Windows-1252 text with CR LF, one tag or text per line, the
// bytes status pages of earlier installations had (pages and their style
// sheets built around them keep working). Every text that comes from the air or the tables
// is HTML-escaped: the page is public, and a pager text must not place markup
// or script on it.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

#include "records/file_result.h"

namespace tolvana {

/// File name of the page in the data folder.
inline constexpr char kStatusPageFileName[] = "status.html";
/// The lists show the newest receptions, at most this many.
inline constexpr std::size_t kStatusPageListRows = 10;

/// One field of the board's first page.
struct StatusPageVehicle {
    QString kennung;
    QString rufname;
    int status = 0;
};

/// Everything the page shows, filled by the caller from the tables and lists
/// so that the page needs neither.
struct StatusPageInput {
    int columns = 0;
    int rows = 0;
    /// Entries 0 .. columns * rows - 1 of board page 0 (entry s stands in
    /// column s / rows, row s % rows). Missing entries are empty fields.
    std::vector<StatusPageVehicle> vehicles;
    /// Colour of status s + 1, 0x00BBGGRR.
    std::array<std::uint32_t, 9> statusColours{};
    /// Data rows of the ZVEI list, newest first: number, name, time.
    std::vector<std::array<QString, 3>> zveiRows;
    /// Data rows of the POCSAG list, newest first: RIC, function, name, time, text.
    std::vector<std::array<QString, 5>> pocsagRows;
    /// The moment of writing, local time.
    QDateTime now;
};

/// A colour 0x00BBGGRR as the HTML colour "#RRGGBB" (upper-case hex digits).
/// Bits above the 24 colour bits are ignored.
QString htmlColour(std::uint32_t colour);

/// Escapes a text for the page: the HTML specials & < > " become entities,
/// characters that Windows-1252 cannot hold become numeric references, and
/// control characters (line breaks of a pager text) become blanks, so every
/// text stays on its own line.
QString htmlText(const QString& text);

/// The whole page as Windows-1252 bytes with CR LF line ends.
QByteArray statusPageBytes(const StatusPageInput& input);

/// Writes the page as "status.html" in `dataDir`, replacing the old page only
/// once the new one is complete and flushed to the disk. On failure (a full
/// disk, a missing right) the old page stays and the result says why, in
/// German and in English.
FileResult saveStatusPage(const StatusPageInput& input, const QString& dataDir);

/// saveStatusPage() for callers that want a flag: false on failure, with the
/// German message in `errorMessage` (if given).
bool writeStatusPage(const StatusPageInput& input, const QString& dataDir, QString* errorMessage = nullptr);

} // namespace tolvana
