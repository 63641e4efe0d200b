// Names for five-tone calls and pager RICs, and the pagers carried on each
// vehicle.
//
//   ZVEI.txt, one line per call name, no header:
//     Nummer <TAB> Name <TAB> Farbe <CR LF>     Farbe: 0x00BBGGRR in decimal, may be empty
//
//   ZVEI_FMS_Zuord.txt, one line per pager on a vehicle:
//     Kennung <TAB> Nummer <TAB> Rufname <CR LF>
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "records/colour.h"
#include "records/data_folder.h"
#include "records/file_result.h"

namespace tolvana {

struct CallName {
    QString Nummer; ///< five-digit ZVEI call or seven-digit POCSAG RIC
    QString Name;   ///< shown for the call in the reception lists
    QString
        farbeText; ///< the colour cell as kept in the file (decimal text; empty when never chosen)
    quint32 Farbe = 0; ///< row colour: the leading number of farbeText, 0 when there is none

    bool operator==(const CallName&) const = default;
};

class CallNameTable {
public:
    int callNameCount() const { return static_cast<int>(m_entries.size()); }
    const CallName& at(int index) const { return m_entries.at(index); }

    /// Appends an entry; `farbeText` as the colour cell holds it.
    void append(const QString& nummer, const QString& name, const QString& farbeText);
    /// Appends an entry with a colour chosen by the user.
    void append(const QString& nummer, const QString& name, quint32 farbe);
    void replace(int index, const QString& nummer, const QString& name, const QString& farbeText);
    void remove(int index) { m_entries.removeAt(index); }
    void clear() { m_entries.clear(); }

    /// The first entry whose Nummer equals `number` ignoring letter case; -1 when none.
    int indexOfNummer(const QString& number) const;

    /// Reads every non-empty line of ZVEI.txt into the table, which it
    /// replaces; a line with fewer fields gets empty ones. Without the file
    /// the table stays as it is.
    FileResult loadCallNames(const DataFolder& folder);
    /// Writes ZVEI.txt anew; an empty table deletes the file. Refused when a
    /// cell holds a TAB or a line break.
    FileResult saveCallNames(const DataFolder& folder) const;

    bool operator==(const CallNameTable&) const = default;

private:
    QList<CallName> m_entries;
};

struct CallAssignment {
    QString Kennung; ///< FMS identity of the vehicle
    QString Nummer;  ///< ZVEI call or RIC of a pager carried on it
    QString Rufname; ///< the vehicle's call name when the entry was made

    bool operator==(const CallAssignment&) const = default;
};

class CallAssignmentTable {
public:
    int callAssignmentCount() const { return static_cast<int>(m_entries.size()); }
    const CallAssignment& at(int index) const { return m_entries.at(index); }

    /// The first entry whose Nummer equals `number` ignoring letter case; -1 when none.
    int indexOfNummer(const QString& number) const;
    /// The pager numbers assigned to a vehicle, in file order (identity compared ignoring case).
    QStringList numbersOf(const QString& kennung) const;

    /// Replaces the table with the non-empty lines of ZVEI_FMS_Zuord.txt.
    /// Without the file the table stays as it is.
    FileResult loadCallAssignments(const DataFolder& folder);
    /// Appends the entry to the file (created when missing) and then to the
    /// table. Refused, changing neither, when a text holds a TAB or a line
    /// break; a failed write leaves the table unchanged too.
    FileResult addCallAssignment(const DataFolder& folder, const QString& kennung,
                                 const QString& nummer, const QString& rufname);
    /// Writes the file anew with every entry except those whose Kennung and
    /// Nummer both equal the given ones (ignoring case); the table follows
    /// only when the file was written.
    FileResult removeCallAssignment(const DataFolder& folder, const QString& kennung,
                                    const QString& nummer);

    bool operator==(const CallAssignmentTable&) const = default;

private:
    QList<CallAssignment> m_entries;
};

/// Name and row colour shown for a five-tone call or a RIC: the Name and
/// Farbe of its first call-name entry (light grey for none or for colour 0),
/// followed by " (Rufname) " of the first vehicle that carries the pager.
struct CallDisplay {
    QString name;
    quint32 colour = kLightGrey;

    bool operator==(const CallDisplay&) const = default;
};
CallDisplay lookUpCall(const QString& number, const CallNameTable& names,
                       const CallAssignmentTable& assignments);

} // namespace tolvana
