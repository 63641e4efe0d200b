// The vehicle table behind the status board: one entry per board field, and
// the files that keep it.
//
//   Fzg.txt, one line per entry in index order (the identity stands last):
//     Rufname <TAB> Eigenschaft <TAB> Kennung <CR LF>
//     an empty entry is a line of two TABs
//
//   Status/<index>.txt, one file per entry that ever had a status:
//     Status <TAB> Tki <TAB> Zeit <CR LF>        e.g. "3<TAB>0<TAB>07.12. 15:52"
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

#include "records/data_folder.h"
#include "records/file_result.h"

namespace tolvana {

struct Vehicle {
    QString Kennung;     ///< FMS identity (8 characters); empty for a heading entry
    QString Rufname;     ///< call name shown on the board; empty marks a free field
    QString Eigenschaft; ///< additional information ("Zusatzinfo")
    int Status = 0;      ///< last FMS status; 6 when the entry has no status file
    int Tki = 0;         ///< TKI of that status, 0..3
    QString Zeit;        ///< when the status last changed, "07.12. 15:52"

    bool operator==(const Vehicle&) const = default;
};

/// Status of an entry that has never received one ("Status 6": not on duty).
inline constexpr int kStatusWithoutFile = 6;

class VehicleTable {
public:
    /// `size` entries, all empty (BoardSize::tableSize()).
    explicit VehicleTable(int size = 0);

    /// Sizes the table anew, empty, as after a change of the board size; the
    /// tables are loaded again afterwards.
    void resize(int size);
    int size() const { return static_cast<int>(m_entries.size()); }

    const Vehicle& at(int index) const { return m_entries.at(static_cast<std::size_t>(index)); }
    Vehicle& entry(int index) { return m_entries.at(static_cast<std::size_t>(index)); }

    /// The highest index whose Rufname is not empty (0 when there is none).
    /// Set by loadVehicles(); the editor and the import raise it through noteUsed().
    int lastUsedIndex() const { return m_lastUsedIndex; }
    void setLastUsedIndex(int index) { m_lastUsedIndex = index; }
    /// Raises lastUsedIndex to `index` when that entry has a call name and stands behind it.
    void noteUsed(int index);

    /// The first entry, in index order over the whole table, whose Kennung
    /// equals `kennung` ignoring letter case; -1 when there is none.
    int indexOfKennung(const QString& kennung) const;
    /// The same over the entries 0 to min(lastUsedIndex, size - 1) only, the
    /// range in which a status from a vehicle is stored.
    int indexOfKennungInUse(const QString& kennung) const;

    /// Sets Status and Tki and stamps Zeit with the change time of `now`.
    void setStatus(int index, int status, int tki, const QDateTime& now);

    /// Moves all six fields of entry `from` to entry `to` and empties `from`:
    /// Kennung, Rufname and Eigenschaft empty, Status `emptiedStatus`, Tki 0,
    /// Zeit `emptiedZeit`. A vehicle moved behind lastUsedIndex raises it, so
    /// that its next status report still finds it.
    void moveEntry(int from, int to, int emptiedStatus, const QString& emptiedZeit);

    /// Reads Fzg.txt into entries 0..size-1: an empty line leaves its entry
    /// as it is, a line with fewer fields leaves the missing fields as they
    /// are. Without the file nothing changes. Lines beyond the table (a file
    /// from a larger board) are kept and written back by saveVehicles(), so
    /// trying a smaller board never loses the vehicles of the larger one.
    FileResult loadVehicles(const DataFolder& folder);
    /// Writes Fzg.txt anew. Refused when a field holds a TAB or a line
    /// break, which would shift the fields or entries of the file.
    FileResult saveVehicles(const DataFolder& folder) const;

    /// Sets Status, Tki and Zeit of every entry from its status file, and
    /// Status 6 where there is none. The status folder is listed once.
    FileResult loadVehicleStatus(const DataFolder& folder);
    /// Writes the status file of one entry with its Status and Tki and the
    /// given time text (normally its Zeit).
    FileResult saveVehicleStatus(const DataFolder& folder, int index,
                                 const QString& timeText) const;

private:
    int findKennung(const QString& kennung, int count) const;
    void recomputeLastUsedIndex();

    std::vector<Vehicle> m_entries;
    int m_lastUsedIndex = 0;
    QStringList m_linesBeyondTable; // Fzg.txt lines that did not fit, written back unchanged
};

} // namespace tolvana
