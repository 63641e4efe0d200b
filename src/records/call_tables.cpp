#include "records/call_tables.h"

#include "records/text_file.h"

namespace tolvana {

namespace {

QStringList paddedFields(const QString& line, qsizetype count) {
    QStringList fields = splitFields(line);
    while (fields.size() < count) {
        fields.append(QString());
    }
    return fields;
}

quint32 farbeOf(const QString& farbeText) {
    return colourFromNumber(leadingNumber(farbeText)).value_or(0);
}

FileResult refusal(const QString& fileName, const QString& text) {
    return FileResult::failure(
        QStringLiteral("%1 wurde nicht gespeichert: der Eintrag %2 enth\u00E4lt "
                       "einen Tabulator oder Zeilenumbruch.")
            .arg(quotedName(fileName), quotedName(text)));
}

} // namespace

void CallNameTable::append(const QString& nummer, const QString& name, const QString& farbeText) {
    m_entries.append({nummer, name, farbeText, farbeOf(farbeText)});
}

void CallNameTable::append(const QString& nummer, const QString& name, quint32 farbe) {
    m_entries.append({nummer, name, QString::number(farbe), farbe});
}

void CallNameTable::replace(int index, const QString& nummer, const QString& name,
                            const QString& farbeText) {
    m_entries[index] = {nummer, name, farbeText, farbeOf(farbeText)};
}

int CallNameTable::indexOfNummer(const QString& number) const {
    for (int i = 0; i < callNameCount(); ++i) {
        if (at(i).Nummer.compare(number, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

FileResult CallNameTable::loadCallNames(const DataFolder& folder) {
    const TextLines file = readTextLines(folder.callNamesFile());
    if (!file.result.ok() || !file.exists) {
        return file.result;
    }
    m_entries.clear();
    for (const QString& line : file.lines) {
        if (!line.isEmpty()) {
            const QStringList f = paddedFields(line, 3);
            append(f[0], f[1], f[2]);
        }
    }
    return file.result; // its warnings, if any
}

FileResult CallNameTable::saveCallNames(const DataFolder& folder) const {
    // No entries, no file: ZVEI.txt has always been written only with rows.
    if (m_entries.isEmpty()) {
        return removeFileIfPresent(folder.callNamesFile());
    }
    QStringList lines;
    for (const CallName& e : m_entries) {
        for (const QString* cell : {&e.Nummer, &e.Name, &e.farbeText}) {
            if (breaksFields(*cell)) {
                return refusal(QStringLiteral("ZVEI.txt"), *cell);
            }
        }
        lines.append(e.Nummer + kFieldSeparator + e.Name + kFieldSeparator + e.farbeText);
    }
    return writeTextLines(folder.callNamesFile(), lines);
}

int CallAssignmentTable::indexOfNummer(const QString& number) const {
    for (int i = 0; i < callAssignmentCount(); ++i) {
        if (at(i).Nummer.compare(number, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

QStringList CallAssignmentTable::numbersOf(const QString& kennung) const {
    QStringList numbers;
    for (const CallAssignment& e : m_entries) {
        if (e.Kennung.compare(kennung, Qt::CaseInsensitive) == 0) {
            numbers.append(e.Nummer);
        }
    }
    return numbers;
}

FileResult CallAssignmentTable::loadCallAssignments(const DataFolder& folder) {
    const TextLines file = readTextLines(folder.callAssignmentsFile());
    if (!file.result.ok() || !file.exists) {
        return file.result;
    }
    m_entries.clear();
    for (const QString& line : file.lines) {
        if (!line.isEmpty()) {
            const QStringList f = paddedFields(line, 3);
            m_entries.append({f[0], f[1], f[2]});
        }
    }
    return file.result; // its warnings, if any
}

FileResult CallAssignmentTable::addCallAssignment(const DataFolder& folder, const QString& kennung,
                                                  const QString& nummer, const QString& rufname) {
    for (const QString* text : {&kennung, &nummer, &rufname}) {
        if (breaksFields(*text)) {
            return refusal(QStringLiteral("ZVEI_FMS_Zuord.txt"), *text);
        }
    }
    FileResult result =
        appendTextLine(folder.callAssignmentsFile(),
                       kennung + kFieldSeparator + nummer + kFieldSeparator + rufname);
    if (result.ok()) {
        m_entries.append({kennung, nummer, rufname});
    }
    return result;
}

FileResult CallAssignmentTable::removeCallAssignment(const DataFolder& folder,
                                                     const QString& kennung,
                                                     const QString& nummer) {
    QList<CallAssignment> kept;
    QStringList lines;
    for (const CallAssignment& e : m_entries) {
        if (e.Kennung.compare(kennung, Qt::CaseInsensitive) == 0 &&
            e.Nummer.compare(nummer, Qt::CaseInsensitive) == 0) {
            continue;
        }
        kept.append(e);
        lines.append(e.Kennung + kFieldSeparator + e.Nummer + kFieldSeparator + e.Rufname);
    }
    FileResult result = writeTextLines(folder.callAssignmentsFile(), lines);
    if (result.ok()) {
        m_entries = kept;
    }
    return result;
}

CallDisplay lookUpCall(const QString& number, const CallNameTable& names,
                       const CallAssignmentTable& assignments) {
    CallDisplay display;
    if (const int i = names.indexOfNummer(number); i >= 0) {
        display.name = names.at(i).Name;
        if (names.at(i).Farbe != 0) {
            display.colour = names.at(i).Farbe;
        }
    }
    if (const int i = assignments.indexOfNummer(number); i >= 0) {
        display.name += QStringLiteral(" (") + assignments.at(i).Rufname + QStringLiteral(") ");
    }
    return display;
}

} // namespace tolvana
