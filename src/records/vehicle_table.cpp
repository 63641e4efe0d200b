#include "records/vehicle_table.h"

#include <QDir>

#include <algorithm>
#include <limits>

#include "records/german_time.h"
#include "records/text_file.h"

namespace tolvana {

namespace {

constexpr qint64 kInt16Min = std::numeric_limits<qint16>::min();
constexpr qint64 kInt16Max = std::numeric_limits<qint16>::max();

// A number field of a status file; one that does not fit leaves the value.
void readNumber(const QString& text, int& value) {
    const qint64 n = leadingNumber(text);
    if (n >= kInt16Min && n <= kInt16Max) {
        value = static_cast<int>(n);
    }
}

// The index named by a status file, or -1 for any other file: the decimal
// index without leading zeros, as the program writes it, plus ".txt".
int statusFileIndex(const QString& fileName) {
    if (!fileName.endsWith(QLatin1String(".txt"))) {
        return -1;
    }
    const QString stem = fileName.chopped(4);
    bool ok = false;
    const int index = stem.toInt(&ok);
    return ok && index >= 0 && QString::number(index) == stem ? index : -1;
}

} // namespace

VehicleTable::VehicleTable(int size) {
    resize(size);
}

void VehicleTable::resize(int size) {
    m_entries.assign(static_cast<std::size_t>(std::max(size, 0)), Vehicle{});
    m_lastUsedIndex = 0;
    m_linesBeyondTable.clear();
}

void VehicleTable::noteUsed(int index) {
    if (index > m_lastUsedIndex && index < size() && !at(index).Rufname.isEmpty()) {
        m_lastUsedIndex = index;
    }
}

int VehicleTable::indexOfKennung(const QString& kennung) const {
    return findKennung(kennung, size());
}

int VehicleTable::indexOfKennungInUse(const QString& kennung) const {
    return findKennung(kennung, std::min(m_lastUsedIndex, size() - 1) + 1);
}

int VehicleTable::findKennung(const QString& kennung, int count) const {
    for (int i = 0; i < count; ++i) {
        if (at(i).Kennung.compare(kennung, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

void VehicleTable::setStatus(int index, int status, int tki, const QDateTime& now) {
    Vehicle& v = entry(index);
    v.Status = status;
    v.Tki = tki;
    v.Zeit = changeTime(now);
}

void VehicleTable::moveEntry(int from, int to, int emptiedStatus, const QString& emptiedZeit) {
    entry(to) = at(from);
    Vehicle& emptied = entry(from);
    emptied = Vehicle{};
    emptied.Status = emptiedStatus;
    emptied.Zeit = emptiedZeit;
    noteUsed(to);
}

void VehicleTable::recomputeLastUsedIndex() {
    m_lastUsedIndex = 0;
    for (int i = size() - 1; i > 0; --i) {
        if (!at(i).Rufname.isEmpty()) {
            m_lastUsedIndex = i;
            break;
        }
    }
}

FileResult VehicleTable::loadVehicles(const DataFolder& folder) {
    const TextLines file = readTextLines(folder.vehiclesFile());
    if (!file.result.ok() || !file.exists) {
        return file.result;
    }
    const int fitting = std::min(size(), static_cast<int>(file.lines.size()));
    for (int i = 0; i < fitting; ++i) {
        const QString& line = file.lines[i];
        if (line.isEmpty()) {
            continue;
        }
        const QStringList fields = splitFields(line);
        Vehicle& v = entry(i);
        v.Rufname = fields[0];
        if (fields.size() > 1) {
            v.Eigenschaft = fields[1];
        }
        if (fields.size() > 2) {
            v.Kennung = fields[2];
        }
    }
    m_linesBeyondTable = file.lines.mid(fitting);
    recomputeLastUsedIndex();
    return {};
}

FileResult VehicleTable::saveVehicles(const DataFolder& folder) const {
    QStringList lines;
    lines.reserve(size() + m_linesBeyondTable.size());
    for (int i = 0; i < size(); ++i) {
        const Vehicle& v = at(i);
        for (const QString* field : {&v.Rufname, &v.Eigenschaft, &v.Kennung}) {
            if (breaksFields(*field)) {
                return FileResult::failure(
                    QStringLiteral(
                        "Die Fahrzeugtabelle %1 wurde nicht gespeichert: Eintrag %2 (%3) "
                        "enth\u00E4lt einen Tabulator oder Zeilenumbruch.")
                        .arg(quotedName(QStringLiteral("Fzg.txt")), QString::number(i),
                             quotedName(*field)));
            }
        }
        lines.append(v.Rufname + kFieldSeparator + v.Eigenschaft + kFieldSeparator + v.Kennung);
    }
    lines.append(m_linesBeyondTable);
    return writeTextLines(folder.vehiclesFile(), lines);
}

FileResult VehicleTable::loadVehicleStatus(const DataFolder& folder) {
    // One listing of the folder instead of probing up to 6000 paths.
    std::vector<bool> hasFile(m_entries.size(), false);
    const QStringList names =
        QDir(folder.statusDir()).entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::NoSort);
    for (const QString& name : names) {
        const int index = statusFileIndex(name);
        if (index >= 0 && index < size()) {
            hasFile[static_cast<std::size_t>(index)] = true;
        }
    }
    FileResult result;
    for (int i = 0; i < size(); ++i) {
        Vehicle& v = entry(i);
        if (!hasFile[static_cast<std::size_t>(i)]) {
            v.Status = kStatusWithoutFile;
            continue;
        }
        const TextLines file = readTextLines(folder.statusFile(i));
        if (!file.result.ok()) {
            result.addWarning(file.result.error());
            v.Status = kStatusWithoutFile;
            continue;
        }
        // An empty file tells nothing, like a missing one.
        if (file.lines.isEmpty() || file.lines.front().isEmpty()) {
            v.Status = kStatusWithoutFile;
            continue;
        }
        const QStringList fields = splitFields(file.lines.front());
        readNumber(fields[0], v.Status);
        if (fields.size() > 1) {
            readNumber(fields[1], v.Tki);
        }
        if (fields.size() > 2) {
            v.Zeit = fields[2];
        }
    }
    return result;
}

FileResult VehicleTable::saveVehicleStatus(const DataFolder& folder, int index,
                                           const QString& timeText) const {
    if (index < 0 || index >= size()) {
        return FileResult::failure(
            QStringLiteral("Der Status von Eintrag %1 kann nicht gespeichert werden: "
                           "die Fahrzeugtabelle hat nur %2 Eintr\u00E4ge.")
                .arg(QString::number(index), QString::number(size())));
    }
    if (breaksFields(timeText)) {
        return FileResult::failure(
            QStringLiteral("Der Status von Eintrag %1 wurde nicht gespeichert: die Zeit %2 "
                           "enth\u00E4lt einen Tabulator oder Zeilenumbruch.")
                .arg(QString::number(index), quotedName(timeText)));
    }
    const Vehicle& v = at(index);
    return writeTextLines(folder.statusFile(index),
                          {QString::number(v.Status) + kFieldSeparator + QString::number(v.Tki) +
                           kFieldSeparator + timeText});
}

} // namespace tolvana
