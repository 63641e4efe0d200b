// Positive and negative filter lists per reception kind, and the check that
// every reception passes before it is shown, logged, exported or acted on.
//
//   filter_fms.txt, filter_zvei.txt, filter_poc.txt, one entry per line:
//     text <TAB> listKind <CR LF>       listKind 0: positive list, 1: negative list
//
// An entry is a plain prefix compared ignoring letter case ("123" matches
// every call that begins with 123; "*" is an ordinary character). A positive
// list lets only its prefixes through, but only once it holds an entry; a
// matching negative entry drops the reception whatever the positive list says.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <utility>

#include "records/data_folder.h"
#include "records/file_result.h"
#include "records/reception_kind.h"

namespace tolvana {

struct FilterEntry {
    QString text;     ///< a whole identifier or its beginning
    int listKind = 0; ///< 0 positive, 1 negative; any other value never matches

    bool operator==(const FilterEntry&) const = default;
};

inline constexpr int kPositiveList = 0;
inline constexpr int kNegativeList = 1;

class FilterTable {
public:
    const QList<FilterEntry>& entries() const { return m_entries; }
    int positiveCount() const { return m_positiveCount; }
    int negativeCount() const { return m_negativeCount; }

    /// Replaces the entries; empty lines are skipped, a line without its
    /// TAB and list number, or with an empty entry text (blanks only), is
    /// skipped and reported with its line number. A missing file gives an
    /// empty table.
    FileResult load(const QString& path);
    void setEntries(QList<FilterEntry> entries);

    /// True when a reception with this identifier, call or RIC is to be
    /// handed on. Blanks around `text` are ignored.
    bool passes(const QString& text) const;

    bool operator==(const FilterTable&) const = default;

private:
    QList<FilterEntry> m_entries;
    int m_positiveCount = 0;
    int m_negativeCount = 0;
};

/// The three filter tables and their files.
class FilterTables {
public:
    explicit FilterTables(DataFolder folder) : m_folder(std::move(folder)) {}

    const FilterTable& table(FilterKind kind) const { return m_tables.at(slot(kind)); }

    bool filterFms(const QString& kennung) const { return table(FilterKind::Fms).passes(kennung); }
    bool filterZvei(const QString& call) const { return table(FilterKind::Zvei).passes(call); }
    bool filterPocsag(const QString& ric) const { return table(FilterKind::Pocsag).passes(ric); }

    /// Reloads the three tables from their files (FMS, ZVEI, POCSAG).
    FileResult rebuildFilters();

    /// Appends an entry to the kind's file (created when missing) and
    /// rebuilds the tables. The text is taken as typed; refused when it is
    /// empty or blanks only (it would match every reception) or holds a TAB
    /// or a line break, which would break the line.
    FileResult addFilterEntry(const QString& text, int listKind, FilterKind kind);
    /// Rewrites the file of list `listIndex` (0..5, see listIndexOf) without
    /// the lines whose text equals `text` ignoring case and whose list kind is
    /// that of the list, and rebuilds the tables at once, so a removed entry
    /// stops filtering straight away.
    FileResult removeFilterEntry(const QString& text, int listIndex);

    /// The settings page shows six lists: 2 x (kind - 1) + listKind.
    static int listIndexOf(FilterKind kind, int listKind);
    static FilterKind kindOfList(int listIndex);
    static int listKindOfList(int listIndex) { return listIndex % 2; }
    /// The texts shown in settings list `listIndex`, in file order.
    QStringList listEntries(int listIndex) const;

private:
    static std::size_t slot(FilterKind kind) { return static_cast<std::size_t>(kind) - 1; }

    DataFolder m_folder;
    std::array<FilterTable, 3> m_tables;
};

} // namespace tolvana
