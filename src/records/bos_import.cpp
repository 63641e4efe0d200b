#include "records/bos_import.h"

#include "records/text_file.h"

#include <QFile>
#include <QFileInfo>
#include <array>

namespace tolvana {

namespace {

enum class Section { None, Vehicles, Calls };

struct Header {
    const char16_t* text;
    Section section;
};

// Every header a BOS file holds; only two sections carry what is imported.
constexpr std::array<Header, 14> kHeaders{{
    {u"[OrganisationenKurz]", Section::None},
    {u"[BundeslandKurz]", Section::None},
    {u"[FahrzeugartKurz]", Section::None},
    {u"[Fahrzeugmeldungen]", Section::None},
    {u"[Leitstellenmeldungen]", Section::None},
    {u"[Ortskennungen]", Section::None},
    {u"[Rufnamen]", Section::Vehicles},
    {u"[Selektiv]", Section::Calls},
    {u"[Heimatfahrzeuge]", Section::None},
    {u"[Selektiv-Record]", Section::None},
    {u"[Selektiv-Execute]", Section::None},
    {u"[OrganisationenLang]", Section::None},
    {u"[BundeslandLang]", Section::None},
    {u"[FahrzeugartLang]", Section::None},
}};

constexpr qsizetype kMinVehicleLine = 17;
constexpr qsizetype kMinCallLine = 7;

// The text from 1-based position `from`, `count` characters (all to the end
// with -1), with control characters as blanks.
QString taken(const QString& line, qsizetype from, qsizetype count = -1) {
    QString text = line.mid(from - 1, count);
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            c = u' ';
        }
    }
    return text;
}

// The header a line is, exactly, if it is one.
const Header* headerOf(const QString& line) {
    for (const Header& header : kHeaders) {
        if (line == QStringView(header.text)) {
            return &header;
        }
    }
    return nullptr;
}

} // namespace

BosEntries parseBosLines(const QStringList& lines) {
    BosEntries out;
    Section section = Section::None;
    for (const QString& line : lines) {
        if (const Header* header = headerOf(line)) {
            section = header->section;
            continue;
        }
        if (section == Section::Vehicles && line.size() >= kMinVehicleLine) {
            // Positions 2, 4, 7, 10 and 13..15 separate the parts.
            out.vehicles.append(BosVehicle{taken(line, 1, 1) + taken(line, 3, 1) +
                                               taken(line, 5, 2) + taken(line, 8, 2) +
                                               taken(line, 11, 2),
                                           taken(line, 16)});
        } else if (section == Section::Calls && line.size() >= kMinCallLine) {
            out.calls.append(BosCall{taken(line, 1, 2) + taken(line, 4, 3), taken(line, 8)});
        }
    }
    return out;
}

bool isBosFilePath(const QString& path) {
    return path.contains(QLatin1String(".BOS"), Qt::CaseInsensitive);
}

int importBosVehicles(VehicleTable& table, const QList<BosVehicle>& vehicles, bool append) {
    const int first = append ? table.lastUsedIndex() + 1 : 0;
    int n = 0;
    for (const BosVehicle& vehicle : vehicles) {
        const int index = first + n;
        if (index >= table.size() - 1) {
            break;
        }
        Vehicle& entry = table.entry(index);
        entry.Kennung = vehicle.Kennung;
        entry.Rufname = vehicle.Rufname;
        entry.Eigenschaft = vehicle.Rufname;
        entry.Status = kStatusWithoutFile;
        table.setLastUsedIndex(index);
        ++n;
    }
    return n;
}

int importBosCalls(CallNameTable& table, const QList<BosCall>& calls) {
    for (const BosCall& call : calls) {
        table.append(call.Nummer, call.Name, QString());
    }
    return static_cast<int>(calls.size());
}

BosImport importBosFile(const QString& path, ImportMode mode, VehicleTable& vehicles,
                        CallNameTable& callNames, bool appendOnImport) {
    BosImport out;
    const QFileInfo info(path);
    if (!isBosFilePath(path) || !info.exists()) {
        return out;
    }
    const QString name = quotedName(displayPath(path));
    if (!info.isFile()) {
        out.result = FileResult::failure(
            QStringLiteral("%1 ist keine Datei; es wurde nichts importiert.").arg(name));
        return out;
    }
    QFile file(path);
    const auto unreadable = [&] {
        return FileResult::failure(
            QStringLiteral(
                "Die BOS-Datei %1 kann nicht gelesen werden: %2. Es wurde nichts importiert.")
                .arg(name, file.errorString()));
    };
    if (!file.open(QIODevice::ReadOnly)) {
        out.result = unreadable();
        return out;
    }
    // One byte beyond the limit tells a file that is too large, even one
    // that grows while it is read.
    const QByteArray bytes = file.read(kMaxBosFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        out.result = unreadable();
        return out;
    }
    if (bytes.size() > kMaxBosFileBytes) {
        out.result = FileResult::failure(
            QStringLiteral(
                "Die Datei %1 ist zu gro\u00DF f\u00FCr eine BOS-Datei (mehr als %2 MB); "
                "es wurde nichts importiert.")
                .arg(name)
                .arg(kMaxBosFileBytes / (1024 * 1024)));
        return out;
    }
    const BosEntries entries = parseBosLines(textLinesOf(bytes));
    out.found = static_cast<int>(mode == ImportMode::Vehicles ? entries.vehicles.size()
                                                              : entries.calls.size());
    out.imported = mode == ImportMode::Vehicles
                       ? importBosVehicles(vehicles, entries.vehicles, appendOnImport)
                       : importBosCalls(callNames, entries.calls);
    return out;
}

} // namespace tolvana
