// The names of the 30 board pages (usually one station each).
//
//   Wachen.txt: 30 lines, line i holds the name of page i.
#pragma once

#include <QString>

#include <array>

#include "records/data_folder.h"
#include "records/file_result.h"

namespace tolvana {

class StationNames {
public:
    static constexpr int kCount = 30;

    const QString& name(int page) const { return m_names.at(static_cast<std::size_t>(page)); }
    void setName(int page, const QString& name) {
        m_names.at(static_cast<std::size_t>(page)) = name;
    }

    /// Reads up to 30 lines of Wachen.txt; pages without a line get an empty
    /// name. Without the file nothing changes.
    FileResult loadStationNames(const DataFolder& folder);
    /// Writes the 30 names. Refused when a name holds a line break.
    FileResult saveStationNames(const DataFolder& folder) const;

    bool operator==(const StationNames&) const = default;

private:
    std::array<QString, kCount> m_names;
};

} // namespace tolvana
