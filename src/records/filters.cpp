#include "records/filters.h"

#include <QFileInfo>

#include "records/text_file.h"

namespace tolvana {

namespace {

struct ParsedLine {
    bool valid = false;
    FilterEntry entry;
};

ParsedLine parseLine(const QString& line) {
    const qsizetype tab = line.indexOf(kFieldSeparator);
    if (tab < 0) {
        return {};
    }
    const qint64 kind = leadingNumber(QStringView(line).mid(tab + 1));
    // Only 0 and 1 ever count; any other number stays inert, as does one too
    // large for the list kind field.
    return {true, {line.left(tab), kind >= -32768 && kind <= 32767 ? static_cast<int>(kind) : -1}};
}

} // namespace

FileResult FilterTable::load(const QString& path) {
    const TextLines file = readTextLines(path);
    if (!file.result.ok()) {
        return file.result;
    }
    FileResult result;
    QList<FilterEntry> entries;
    for (qsizetype i = 0; i < file.lines.size(); ++i) {
        const QString& line = file.lines[i];
        if (line.isEmpty()) {
            continue;
        }
        const ParsedLine parsed = parseLine(line);
        if (!parsed.valid) {
            result.addWarning(
                QStringLiteral("%1, Zeile %2: kein Tabulator mit der Listennummer "
                               "(0 oder 1) hinter %3; die Zeile wird \u00FCbergangen.")
                    .arg(QFileInfo(path).fileName(), QString::number(i + 1), quotedName(line)));
            continue;
        }
        entries.append(parsed.entry);
    }
    setEntries(std::move(entries));
    return result;
}

void FilterTable::setEntries(QList<FilterEntry> entries) {
    m_entries = std::move(entries);
    m_positiveCount = 0;
    m_negativeCount = 0;
    for (const FilterEntry& e : m_entries) {
        m_positiveCount += e.listKind == kPositiveList ? 1 : 0;
        m_negativeCount += e.listKind == kNegativeList ? 1 : 0;
    }
}

bool FilterTable::passes(const QString& text) const {
    const QStringView t = trimBlanks(text);
    const auto matches = [&](int listKind) {
        for (const FilterEntry& e : m_entries) {
            if (e.listKind == listKind && t.startsWith(e.text, Qt::CaseInsensitive)) {
                return true;
            }
        }
        return false;
    };
    bool result = m_positiveCount == 0 || matches(kPositiveList);
    if (m_negativeCount > 0 && matches(kNegativeList)) {
        result = false;
    }
    return result;
}

FileResult FilterTables::rebuildFilters() {
    FileResult result;
    for (const FilterKind kind : kReceptionKinds) {
        result.merge(m_tables.at(slot(kind)).load(m_folder.filterFile(kind)));
    }
    return result;
}

FileResult FilterTables::addFilterEntry(const QString& text, int listKind, FilterKind kind) {
    if (text.isEmpty() || breaksFields(text)) {
        return FileResult::failure(
            QStringLiteral("Der Filtereintrag %1 kann nicht gespeichert werden: "
                           "er ist leer oder enth\u00E4lt einen Tabulator oder "
                           "Zeilenumbruch.")
                .arg(quotedName(text)));
    }
    FileResult result = appendTextLine(m_folder.filterFile(kind),
                                       text + kFieldSeparator + QString::number(listKind));
    result.merge(rebuildFilters());
    return result;
}

FileResult FilterTables::removeFilterEntry(const QString& text, int listIndex) {
    if (listIndex < 0 || listIndex > 5) {
        return FileResult::failure(QStringLiteral("Es gibt keine Filterliste %1.").arg(listIndex));
    }
    const FilterKind kind = kindOfList(listIndex);
    const int listKind = listKindOfList(listIndex);
    const QString path = m_folder.filterFile(kind);
    const TextLines file = readTextLines(path);
    if (!file.result.ok()) {
        return file.result;
    }
    if (!file.exists) {
        return rebuildFilters();
    }
    QStringList kept;
    for (const QString& line : file.lines) {
        const ParsedLine parsed = parseLine(line);
        if (parsed.valid && parsed.entry.listKind == listKind &&
            parsed.entry.text.compare(text, Qt::CaseInsensitive) == 0) {
            continue;
        }
        kept.append(line);
    }
    FileResult result = writeTextLines(path, kept);
    result.merge(rebuildFilters());
    return result;
}

int FilterTables::listIndexOf(FilterKind kind, int listKind) {
    return 2 * (static_cast<int>(kind) - 1) + listKind;
}

FilterKind FilterTables::kindOfList(int listIndex) {
    return static_cast<FilterKind>(listIndex / 2 + 1);
}

QStringList FilterTables::listEntries(int listIndex) const {
    QStringList texts;
    if (listIndex < 0 || listIndex > 5) {
        return texts;
    }
    for (const FilterEntry& e : table(kindOfList(listIndex)).entries()) {
        if (e.listKind == listKindOfList(listIndex)) {
            texts.append(e.text);
        }
    }
    return texts;
}

} // namespace tolvana
