// A day at the monitor in one recording, for end-to-end runs of
// tolvana-decode: a data folder as earlier installations left it (Windows-1252,
// CR LF, umlauts in names), and traffic on both receivers that touches every
// rule of the hand-off: known and unknown vehicles, a vehicle's status
// changing twice, an order from the control room, a digital alarm, named and
// unnamed five-tone calls, a call assigned to a vehicle, a filtered call, a
// filtered pager message, pager messages at all three rates with umlauts and
// HTML characters, a page repeated within the duplicate window and another
// text to the same pager within it.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "decoders/common/types.h"

namespace tolvana::test {

QByteArray windows1252(const QString& text);
QString fromWindows1252(const QByteArray& bytes);
QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

/// The options that differ between the end-to-end runs; the rest of Mon.ini
/// is fixed (board of 5 x 10 fields, all six decoders on).
struct MonitorOptions {
    QString actionProgram;
    QString ftpHost;
    QString ftpLogin;
    QString ftpPassword;
    QString ftpDirectory;
    bool htmlExport = false;
    bool tcpExport = false;
    QString tcpServer;
    int tcpPort = 0;
    bool messageExport = false;
    QString targetWindowTitle;
};

/// Colours of statuses 1..9 in Mon.ini (0x00BBGGRR), each one distinct.
inline constexpr std::array<std::uint32_t, 9> kStatusColours = {
    0x00C0FFC0, 0x00C0FFFF, 0x00C0C0FF, 0x0080C0FF, 0x00FFC0C0,
    0x00E0E0E0, 0x00FFFFFF, 0x00FF00FF, 0x00FFFF80};

/// Writes Mon.ini and the tables into `home` (which must exist).
void writeDataFolder(const QString& home, const MonitorOptions& options);

enum class Kind { Fms, Zvei, Pocsag };

/// One transmission of the recording and what it must leave behind.
struct Transmission {
    ChannelSide side = ChannelSide::Left;
    Kind kind = Kind::Fms;
    double endSeconds = 0.0; ///< where its signal ends on the recording clock
    /// False for a call the filter drops and a page within the duplicate
    /// window: such a transmission leaves no trace anywhere.
    bool handedOn = true;
    QString exportLine;  ///< "##FMS#...#+" with the name of a call
    QStringList row;     ///< list row and log line; the time cell is left empty
    int timeColumn = 0;  ///< index of the time cell in `row`
    QStringList action;  ///< the action program's arguments; empty: not started
    QJsonObject json;    ///< the kind's fields as --json prints them (without channel and time)
    int vehicleIndex = -1;     ///< board field whose status file it writes, or -1
    QString statusFileStart;   ///< "4\t1\t" (status, TKI) when it writes one

    /// "L\t" + export line, as tolvana-decode prints it.
    std::string printed() const;
};

struct Scenario {
    std::vector<std::int16_t> stereo; ///< 22050 Hz, interleaved
    std::vector<Transmission> transmissions; ///< in the order they are handed on
    double seconds = 0.0;
};

/// The recording (built once; the same every time).
const Scenario& monitorScenario();

/// "dd.MM.yyyy HH:mm:ss" (the time cell of every row) as a local time.
QDateTime parseRowTime(const QString& cell);

} // namespace tolvana::test
