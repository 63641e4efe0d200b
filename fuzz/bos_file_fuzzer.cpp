// Fuzz target: a BOS file as a user may pick it (from a web page, edited by
// hand, cut off, or no BOS file at all). The first input byte chooses the
// table and the import's options, the rest is the file:
//
//   bits 0..1  vehicle table of 0, 1, 150 or 1500 entries
//   bit  2     appendOnImport
//   bits 3..7  lastUsedIndex before the import (times 47, within the table)
//
// The file goes through importBosFile() for both modes, and must give what
// parsing its bytes directly gives. The import may only write the entries it
// reports, never the table's last entry, and what it takes must be kept by
// the tables' files: saved and read back, every field is as imported.
#include "checking_sink.h"
#include "records/bos_import.h"
#include "records/data_folder.h"
#include "records/text_file.h"
#include "scratch_folder.h"

#include <QFile>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace {

using namespace tolvana;
using fuzz::require;
using fuzz::Scratch;

constexpr std::array<int, 4> kTableSizes{0, 1, 150, 1500};

// The writers refuse a table whose file would begin with the bytes of a
// byte-order mark (a reader would take the file for UTF-8 or UTF-16); an
// import can bring such a first entry, and saving says why in German.
bool refusedForByteOrderMark(const FileResult& saved) {
    return !saved.ok() && saved.englishError().contains(QStringLiteral("byte-order mark"));
}

bool keepable(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            return false;
        }
    }
    return true;
}

// A table with every entry filled, so that an entry the import must not
// touch shows when it is touched.
VehicleTable filledTable(int size, int lastUsed) {
    VehicleTable table(size);
    for (int i = 0; i < size; ++i) {
        table.entry(i) = Vehicle{QStringLiteral("1234567%1").arg(i % 10),
                                 QStringLiteral("Alt %1").arg(i),
                                 QStringLiteral("Info"),
                                 3,
                                 1,
                                 QStringLiteral("07.12. 15:52")};
    }
    table.setLastUsedIndex(size == 0 ? 0 : std::min(lastUsed, size - 1));
    return table;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static Scratch scratch;
    require(scratch.dir.isValid(), "a scratch folder");
    static const std::optional<DataFolder> folder = DataFolder::open(scratch.root());
    require(folder.has_value(), "the scratch data folder opens");

    const int tableSize = kTableSizes[data[0] & 3U];
    const bool append = (data[0] & 4U) != 0;
    const int lastUsed = (data[0] >> 3) * 47;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1),
                           static_cast<qsizetype>(size - 1));

    const QString path = scratch.dir.path() + QStringLiteral("/Kreis.BOS");
    {
        QFile file(path);
        require(file.open(QIODevice::WriteOnly | QIODevice::Truncate),
                "the scratch file can be written");
        require(file.write(bytes) == bytes.size(), "the scratch file can be written");
    }
    const BosEntries direct = parseBosLines(textLinesOf(bytes));
    for (const BosVehicle& v : direct.vehicles) {
        require(v.Kennung.size() == 8, "an identity has eight characters");
        require(keepable(v.Kennung) && keepable(v.Rufname), "no control character is taken");
    }
    for (const BosCall& c : direct.calls) {
        require(c.Nummer.size() == 5, "a call has five characters");
        require(keepable(c.Nummer) && keepable(c.Name), "no control character is taken");
    }

    // Vehicles.
    const VehicleTable before = filledTable(tableSize, lastUsed);
    VehicleTable vehicles = before;
    CallNameTable calls;
    BosImport imported = importBosFile(path, ImportMode::Vehicles, vehicles, calls, append);
    require(imported.result.ok(), "a small regular file is read");
    require(calls.callNameCount() == 0, "a vehicle import leaves the call names alone");
    const int first = append ? before.lastUsedIndex() + 1 : 0;
    const int room = std::max(0, tableSize - 1 - first);
    require(imported.imported == std::min(room, static_cast<int>(direct.vehicles.size())),
            "every vehicle that fits is taken, and no more");
    for (int i = 0; i < tableSize; ++i) {
        const int n = i - first;
        if (n >= 0 && n < imported.imported) {
            const BosVehicle& v = direct.vehicles[n];
            require(vehicles.at(i).Kennung == v.Kennung && vehicles.at(i).Rufname == v.Rufname &&
                        vehicles.at(i).Eigenschaft == v.Rufname &&
                        vehicles.at(i).Status == kStatusWithoutFile &&
                        vehicles.at(i).Tki == before.at(i).Tki &&
                        vehicles.at(i).Zeit == before.at(i).Zeit,
                    "an imported entry is the file's vehicle");
        } else {
            require(vehicles.at(i) == before.at(i), "an entry the import does not report stays");
        }
    }
    require(imported.imported == 0 ? vehicles.lastUsedIndex() == before.lastUsedIndex()
                                   : vehicles.lastUsedIndex() == first + imported.imported - 1,
            "the last used entry is the last one imported");
    const FileResult savedVehicles = imported.imported > 0 ? vehicles.saveVehicles(*folder) : FileResult();
    require(savedVehicles.ok() || refusedForByteOrderMark(savedVehicles), "imported vehicles can be saved");
    if (imported.imported > 0 && savedVehicles.ok()) {
        VehicleTable again(tableSize);
        (void)again.loadVehicles(*folder);
        for (int i = 0; i < tableSize; ++i) {
            require(again.at(i).Kennung == vehicles.at(i).Kennung &&
                        again.at(i).Rufname == vehicles.at(i).Rufname &&
                        again.at(i).Eigenschaft == vehicles.at(i).Eigenschaft,
                    "Fzg.txt reads back as imported");
        }
    }

    // Call names.
    imported = importBosFile(path, ImportMode::CallNames, vehicles, calls, append);
    require(imported.result.ok(), "a small regular file is read");
    require(imported.imported == direct.calls.size() &&
                calls.callNameCount() == direct.calls.size(),
            "every call is taken");
    for (int i = 0; i < calls.callNameCount(); ++i) {
        require(calls.at(i).Nummer == direct.calls[i].Nummer &&
                    calls.at(i).Name == direct.calls[i].Name && calls.at(i).farbeText.isEmpty(),
                "an imported call is the file's call");
    }
    const FileResult saved = calls.saveCallNames(*folder);
    require(saved.ok() || refusedForByteOrderMark(saved), "imported calls can be saved");
    if (!saved.ok()) {
        return 0;
    }
    CallNameTable again;
    (void)again.loadCallNames(*folder);
    // The file reader skips empty lines; an imported call never is one (its
    // line holds at least two TABs).
    require(again == calls, "ZVEI.txt reads back as imported");
    return 0;
}
