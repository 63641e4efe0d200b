// Every option of the monitor, and Mon.ini, the file that keeps them: one
// value per line, 30 lines, CR LF, Windows-1252, no keys and no quoting.
//
//   line  1      deviceIndex
//   lines 2-10   statusColours[0..8]      (colour of FMS status 1..9)
//   line 11      appendOnImport
//   line 12      actionProgram
//   lines 13-16  ftpHost, ftpLogin, ftpPassword, ftpDirectory
//   line 17      connectionKind           (0 permanent, 1 dial-up)
//   line 18      htmlExport
//   line 19      tcpServer
//   line 20      tcpPort                  (16-bit: 32768..65535 stand as -32768..-1)
//   line 21      tcpExport
//   line 22      messageExport
//   line 23      targetWindowTitle
//   line 24      boardSizeIndex           (1..4; 0 or missing means 4)
//   lines 25-30  decoderEnabled[0..5]     (right ZVEI, POCSAG, FMS; left ZVEI, POCSAG, FMS)
//
// Numbers are decimal; a reader takes the leading number of a numeric line
// and ignores blanks around it, an empty or non-numeric line giving 0. Texts
// stand bare, as typed.
#pragma once

#include <QString>

#include <array>

#include "records/colour.h"
#include "records/data_folder.h"
#include "records/file_result.h"

namespace tolvana {

/// Positions in MonitorSettings::decoderEnabled. The right channel's switches
/// come first, as the settings page lists them.
enum DecoderSwitch : int {
    ZveiRight = 0,
    PocsagRight = 1,
    FmsRight = 2,
    ZveiLeft = 3,
    PocsagLeft = 4,
    FmsLeft = 5,
};

/// The colours of the nine status fields as the settings page creates them;
/// status 6 has the button face (see kButtonFace).
inline constexpr std::array<quint32, 9> kDefaultStatusColours = {
    rgb(192, 255, 192), rgb(255, 255, 192), rgb(255, 192, 192),
    rgb(255, 192, 128), rgb(192, 192, 255), kButtonFace,
    rgb(255, 255, 255), rgb(255, 0, 255),   rgb(128, 255, 255)};

/// Integers are 16-bit values in the file (-32768..32767); colours are the
/// 32-bit values of colour.h. The defaults are the values without Mon.ini.
/// `tcpPort` holds the port itself (0..65535); its line keeps the 16-bit
/// form, ports from 32768 up as negative numbers (40000 as -25536).
struct MonitorSettings {
    int deviceIndex = 0;
    std::array<quint32, 9> statusColours = kDefaultStatusColours; ///< entry i: status i + 1
    int appendOnImport = 0;
    QString actionProgram;
    QString ftpHost;
    QString ftpLogin;
    QString ftpPassword;
    QString ftpDirectory;
    int connectionKind = 0;
    int htmlExport = 0;
    QString tcpServer;
    int tcpPort = 0;
    int tcpExport = 0;
    int messageExport = 0;
    QString targetWindowTitle;
    int boardSizeIndex = 0;
    std::array<int, 6> decoderEnabled{}; ///< indexed by DecoderSwitch

    bool operator==(const MonitorSettings&) const = default;
};

/// Number of lines of Mon.ini.
inline constexpr int kMonIniLines = 30;

/// Fills `settings` from Mon.ini. Without the file every field keeps its
/// default. A file with fewer lines leaves the fields of the missing lines at
/// their defaults; a number that does not fit its field does the same.
FileResult loadSettings(const DataFolder& folder, MonitorSettings& settings);

/// Writes Mon.ini, replacing the old file only once the new one is complete.
/// Refused, leaving the old file as it was, when a text option holds a line
/// break (it would shift every later line) or a character that Windows-1252
/// cannot hold (it would be stored altered, so a password or a path would
/// silently stop working), or when a number does not fit its 16-bit line.
FileResult saveSettings(const DataFolder& folder, const MonitorSettings& settings);

/// One page of the status board: columns and rows.
struct BoardSize {
    int columns = 10;
    int rows = 20;

    int fieldsPerPage() const { return columns * rows; }
    /// The vehicle table holds one entry per field of the 30 pages.
    int tableSize() const { return fieldsPerPage() * kBoardPages; }

    static constexpr int kBoardPages = 30;
    bool operator==(const BoardSize&) const = default;
};

/// 1..4 as stored; anything else (0 in a fresh Mon.ini) selects 4.
int effectiveBoardSizeIndex(int boardSizeIndex);
/// 4 (and 0): 10 x 20; 3: 10 x 10; 2: 5 x 20; 1: 5 x 10.
BoardSize boardSizeFor(int boardSizeIndex);

} // namespace tolvana
