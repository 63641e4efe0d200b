#include "records/station_names.h"

#include <QStringList>

#include "records/text_file.h"

namespace tolvana {

FileResult StationNames::loadStationNames(const DataFolder& folder) {
    const TextLines file = readTextLines(folder.stationNamesFile());
    if (!file.result.ok() || !file.exists) {
        return file.result;
    }
    for (int page = 0; page < kCount; ++page) {
        setName(page, page < file.lines.size() ? file.lines[page] : QString());
    }
    return file.result; // its warnings, if any
}

FileResult StationNames::saveStationNames(const DataFolder& folder) const {
    QStringList lines;
    for (int page = 0; page < kCount; ++page) {
        if (breaksLines(name(page))) {
            return FileResult::failure(
                QStringLiteral("Die Seitennamen wurden nicht gespeichert: der Name von Seite %1 "
                               "enth\u00E4lt einen Zeilenumbruch.")
                    .arg(page + 1));
        }
        lines.append(name(page));
    }
    return writeTextLines(folder.stationNamesFile(), lines);
}

} // namespace tolvana
