// Fuzz target: the data folder as a user may hand it over (carried from
// another machine, edited by hand, cut off by a full disk). The input is cut
// into files at each record separator (byte 0x1E followed by a line feed):
//
//   piece  0 Mon.ini          4 ZVEI_FMS_Zuord.txt   8 Logbuch/FMS-<today>.txt
//          1 Fzg.txt          5 filter_fms.txt       9 Logbuch/zvei-<today>.txt
//          2 Wachen.txt       6 filter_zvei.txt     10 Logbuch/poc-<today>.txt
//          3 ZVEI.txt         7 filter_poc.txt      11.. Status/<name>, where the
//                                                        piece's first line is the
//                                                        file name ("17.txt")
//
// A piece that is absent leaves its file missing; an empty piece is an empty
// file. The folder is then loaded exactly as at start-up (MonitorState::load)
// and used: an FMS status of a known vehicle, a five-tone call and a pager
// message of a known number, a call tone, and the minute tick that writes
// the status page. Then every table is saved and read back, and must come
// back as it was: what the program reads it must be able to keep.
#include "checking_sink.h"
#include "scratch_folder.h"
#include "handoff/monitor_state.h"
#include "handoff/reception_handoff.h"
#include "records/text_file.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace {

using namespace tolvana;
using fuzz::require;
using fuzz::Scratch;

constexpr std::string_view kSeparator = "\x1E\n";
constexpr int kNamedFiles = 11;
constexpr qsizetype kMaxStatusName = 24;

class QuietView final : public ReceptionView {
public:
    void vehicleChanged(int) override {}
    void fmsHandedOn(ChannelSide, const FmsReception&, const Vehicle*, TimePoint) override {}
    void toneCallShown(ChannelSide, ToneCall, TimePoint) override {}
    void zveiHandedOn(ChannelSide, const ZveiCall&) override {}
    void pocsagHandedOn(ChannelSide, const PocsagMessage&) override {}
    void reportProblem(const QString& message) override {
        require(!message.isEmpty(), "a reported problem has a text");
    }
};

std::vector<std::string_view> splitPieces(std::string_view input) {
    std::vector<std::string_view> pieces;
    if (input.empty()) {
        return pieces;
    }
    for (;;) {
        const std::size_t at = input.find(kSeparator);
        if (at == std::string_view::npos) {
            pieces.push_back(input);
            return pieces;
        }
        pieces.push_back(input.substr(0, at));
        input.remove_prefix(at + kSeparator.size());
    }
}

void writeFile(const QString& path, std::string_view bytes) {
    QFile file(path);
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate),
            "the scratch folder can be written");
    require(file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                static_cast<qint64>(bytes.size()),
            "the scratch folder can be written");
}

// A status file's name from its piece: letters, digits and ". + - _" only,
// so the file stays inside Status/.
std::optional<QString> statusFileName(std::string_view name) {
    QString out;
    for (const char c : name) {
        const bool allowed = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                             (c >= 'A' && c <= 'Z') || c == '.' || c == '+' || c == '-' || c == '_';
        if (allowed) {
            out.append(QLatin1Char(c));
        }
    }
    if (out.isEmpty() || out == QLatin1String(".") || out == QLatin1String("..") ||
        out.size() > kMaxStatusName) {
        return std::nullopt;
    }
    return out;
}

QString namedFile(const DataFolder& folder, int piece, QDate today) {
    switch (piece) {
    case 0:
        return folder.monIni();
    case 1:
        return folder.vehiclesFile();
    case 2:
        return folder.stationNamesFile();
    case 3:
        return folder.callNamesFile();
    case 4:
        return folder.callAssignmentsFile();
    case 5:
        return folder.filterFile(FilterKind::Fms);
    case 6:
        return folder.filterFile(FilterKind::Zvei);
    case 7:
        return folder.filterFile(FilterKind::Pocsag);
    case 8:
        return folder.logFile(ReceptionKind::Fms, today);
    case 9:
        return folder.logFile(ReceptionKind::Zvei, today);
    default:
        return folder.logFile(ReceptionKind::Pocsag, today);
    }
}

// Hand-off of one reception of each kind, using what the tables hold.
void useTables(MonitorState& state, TimePoint now) {
    QuietView view;
    ReceptionHandoff handoff(state, view, HandoffOutputs{});
    state.settings.htmlExport = 1;

    const VehicleTable& vehicles = state.vehicles;
    const int inUse = std::min(vehicles.lastUsedIndex(), vehicles.size() - 1);
    for (int i = 0; i <= inUse; ++i) {
        if (!vehicles.at(i).Kennung.isEmpty()) {
            handoff.fmsReception(
                ChannelSide::Left,
                FmsReception{FmsTelegram{vehicles.at(i).Kennung.toStdString(), 1, 3, 0}, {}, true},
                now);
            break;
        }
    }
    handoff.fmsReception(ChannelSide::Right,
                         FmsReception{FmsTelegram{"62345678", 0, 0, 0}, {}, true}, now);
    handoff.toneCall(ChannelSide::Left, ToneCall::ToneII, now);
    if (state.callNames.callNameCount() > 0) {
        const QString nummer = state.callNames.at(0).Nummer;
        handoff.zveiSequence(ChannelSide::Left, ZveiSequence{nummer.toStdString()}, now);
        const qint64 ric = leadingNumber(nummer);
        if (ric >= 0 && ric < (qint64{1} << 21)) {
            handoff.pocsagPage(ChannelSide::Right,
                               PocsagPage{static_cast<std::uint32_t>(ric), 3, "Probealarm"}, now);
        }
    }
    handoff.housekeeping(now + std::chrono::minutes(1));
}

// Every table saved and read back must be what was read.
void roundTrip(const MonitorState& state, const std::vector<int>& statusIndexes) {
    const DataFolder& folder = state.folder;

    if (saveSettings(folder, state.settings).ok()) {
        MonitorSettings again;
        (void)loadSettings(folder, again);
        require(again == state.settings, "Mon.ini reads back as saved");
    }

    VehicleTable vehicles = state.vehicles;
    if (vehicles.saveVehicles(folder).ok()) {
        VehicleTable again(vehicles.size());
        (void)again.loadVehicles(folder);
        for (int i = 0; i < vehicles.size(); ++i) {
            require(again.at(i).Rufname == vehicles.at(i).Rufname &&
                        again.at(i).Eigenschaft == vehicles.at(i).Eigenschaft &&
                        again.at(i).Kennung == vehicles.at(i).Kennung,
                    "Fzg.txt reads back as saved");
        }
        require(again.lastUsedIndex() == vehicles.lastUsedIndex(),
                "Fzg.txt keeps the last used entry");
    }

    bool allWritten = true;
    for (const int index : statusIndexes) {
        allWritten =
            vehicles.saveVehicleStatus(folder, index, vehicles.at(index).Zeit).ok() && allWritten;
    }
    if (allWritten && !statusIndexes.empty()) {
        VehicleTable again(vehicles.size());
        (void)again.loadVehicleStatus(folder);
        for (const int index : statusIndexes) {
            const Vehicle& v = vehicles.at(index);
            const Vehicle& w = again.at(index);
            require(w.Status == v.Status && w.Tki == v.Tki && w.Zeit == v.Zeit,
                    "a status file reads back as saved");
        }
    }

    if (state.callNames.saveCallNames(folder).ok()) {
        CallNameTable again;
        (void)again.loadCallNames(folder);
        require(again == state.callNames, "ZVEI.txt reads back as saved");
    }

    // Removing an entry that cannot exist (no line holds a line feed) writes
    // the whole file anew.
    CallAssignmentTable assignments = state.callAssignments;
    if (assignments.removeCallAssignment(folder, QStringLiteral("\n"), QStringLiteral("\n")).ok()) {
        require(assignments == state.callAssignments,
                "removing nothing keeps every call assignment");
        CallAssignmentTable again;
        (void)again.loadCallAssignments(folder);
        require(again == state.callAssignments, "ZVEI_FMS_Zuord.txt reads back as saved");
    }

    if (state.stationNames.saveStationNames(folder).ok()) {
        StationNames again;
        (void)again.loadStationNames(folder);
        require(again == state.stationNames, "Wachen.txt reads back as saved");
    }
}


} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Scratch scratch;
    require(scratch.dir.isValid(), "a scratch folder");
    QDir(scratch.root()).removeRecursively();
    std::optional<DataFolder> folder = DataFolder::open(scratch.root());
    require(folder.has_value(), "the scratch data folder opens");

    const QDateTime noon(QDate(2026, 12, 7), QTime(12, 0));
    const QDate today = noon.date();
    const TimePoint now{std::chrono::milliseconds(noon.toMSecsSinceEpoch())};

    const std::vector<std::string_view> pieces =
        splitPieces(std::string_view(reinterpret_cast<const char*>(data), size));
    std::vector<QString> statusNames;
    for (std::size_t p = 0; p < pieces.size(); ++p) {
        const int piece = static_cast<int>(p);
        if (piece < kNamedFiles) {
            writeFile(namedFile(*folder, piece, today), pieces[p]);
            continue;
        }
        const std::size_t lineEnd = pieces[p].find('\n');
        const std::optional<QString> name = statusFileName(pieces[p].substr(0, lineEnd));
        if (name) {
            const std::string_view body = lineEnd == std::string_view::npos
                                              ? std::string_view()
                                              : pieces[p].substr(lineEnd + 1);
            writeFile(folder->statusDir() + u'/' + *name, body);
            statusNames.push_back(*name);
        }
    }

    MonitorState state(*folder);
    const FileResult loaded = state.load(noon);
    for (const QString& warning : loaded.warnings()) {
        require(!warning.isEmpty(), "a warning has a text");
    }
    require(state.vehicles.size() == state.boardSize().tableSize(),
            "the vehicle table fits the board");
    require(state.vehicles.lastUsedIndex() >= 0 &&
                state.vehicles.lastUsedIndex() < std::max(state.vehicles.size(), 1),
            "the last used entry lies inside the table");
    for (const FilterKind kind : kReceptionKinds) {
        const FilterTable& table = state.filters.table(kind);
        require(table.positiveCount() + table.negativeCount() <= table.entries().size(),
                "filter counts never exceed the entries");
        (void)table.passes(QStringLiteral(" 62345678 "));
    }

    // The status files that name an entry of the table, in the program's own
    // spelling (decimal, no leading zeros).
    std::vector<int> statusIndexes;
    for (const QString& name : statusNames) {
        if (name.endsWith(QLatin1String(".txt"))) {
            bool ok = false;
            const int index = name.chopped(4).toInt(&ok);
            if (ok && index >= 0 && index < state.vehicles.size() &&
                QString::number(index) + QLatin1String(".txt") == name) {
                statusIndexes.push_back(index);
            }
        }
    }

    roundTrip(state, statusIndexes);
    useTables(state, now);
    return 0;
}
