#include "records/filters.h"

#include <QFileInfo>

#include "records/text_file.h"

namespace tolvana {

namespace {

struct ParsedLine {
    bool valid = false;
    FilterEntry entry;
};

// Empty, or blanks only: a received identifier has its blanks removed before
// it is compared, so such an entry would match nothing or everything.
bool isBlankEntry(const QString& text) {
    return trimBlanks(text).isEmpty();
}

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
    FileResult result = file.result; // its warnings, if any
    QList<FilterEntry> entries;
    for (qsizetype i = 0; i < file.lines.size(); ++i) {
        const QString& line = file.lines[i];
        if (line.isEmpty()) {
            continue;
        }
        const ParsedLine parsed = parseLine(line);
        const QString name = QFileInfo(path).fileName();
        if (!parsed.valid) {
            result.addWarning(
                QStringLiteral("%1, Zeile %2: kein Tabulator mit der Listennummer "
                               "(0 oder 1) hinter %3; die Zeile wird \u00FCbergangen.")
                    .arg(name, QString::number(i + 1), quotedName(line)),
                QStringLiteral("%1, line %2: no TAB and list number (0 or 1) after \"%3\"; line skipped")
                    .arg(name, QString::number(i + 1), line));
            continue;
        }
        if (isBlankEntry(parsed.entry.text)) {
            // An empty entry is a prefix of everything: in the negative list
            // it would drop every reception of the kind, in the positive one
            // it would let everything through.
            result.addWarning(
                QStringLiteral("%1, Zeile %2: leerer Filtereintrag (er passte auf jede Kennung); "
                               "die Zeile wird \u00FCbergangen.")
                    .arg(name, QString::number(i + 1)),
                QStringLiteral("%1, line %2: empty filter entry (it would match every identifier); line skipped")
                    .arg(name, QString::number(i + 1)));
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
    if (isBlankEntry(text)) {
        return FileResult::failure(
            QStringLiteral("Ein leerer Filtereintrag wird nicht gespeichert: er passte auf jede "
                           "Kennung und lie\u00DFe in der Negativ-Liste keinen Eingang mehr durch."),
            QStringLiteral("an empty filter entry is not saved: it would match every identifier"));
    }
    if (breaksFields(text)) {
        return FileResult::failure(
            QStringLiteral("Der Filtereintrag %1 kann nicht gespeichert werden: "
                           "er enth\u00E4lt einen Tabulator oder Zeilenumbruch.")
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
