#include "records/settings.h"

#include <QStringList>

#include <bit>
#include <limits>
#include <type_traits>

#include "records/text_codec.h"
#include "records/text_file.h"

namespace tolvana {

namespace {

// The TCP port's line holds the port as a 16-bit number: ports 32768..65535
// stand there in their two's-complement form (40000 as -25536), which is how
// existing Mon.ini files keep them. Visited as this wrapper so that it is
// read and written in that form.
template <typename Int> struct PortLine {
    Int& value;
};
template <typename T> struct IsPortLine : std::false_type {};
template <typename Int> struct IsPortLine<PortLine<Int>> : std::true_type {};

constexpr qint64 kPortMax = 65535;

// Visits the fields in the order of their Mon.ini lines, with the caption of
// the setting as the user knows it (for messages). Works on a const record too.
template <typename Settings, typename Visit> void forEachLine(Settings& s, Visit&& visit) {
    visit(s.deviceIndex, u"Soundkarte");
    for (auto& colour : s.statusColours) {
        visit(colour, u"FMS-Statusfarben");
    }
    visit(s.appendOnImport, u"anh\u00E4ngen statt ersetzen");
    visit(s.actionProgram, u"Aktionen: Programm");
    visit(s.ftpHost, u"Hostname");
    visit(s.ftpLogin, u"Login");
    visit(s.ftpPassword, u"Passwort");
    visit(s.ftpDirectory, u"Ziel- Unterverzeichnis");
    visit(s.connectionKind, u"Verbindungsart");
    visit(s.htmlExport, u"HTML-Export");
    visit(s.tcpServer, u"Winsock-Server");
    visit(PortLine<std::remove_reference_t<decltype((s.tcpPort))>>{s.tcpPort}, u"Port");
    visit(s.tcpExport, u"Winsock-Export");
    visit(s.messageExport, u"Win-Messages-Export");
    visit(s.targetWindowTitle, u"Fenstertitel (Win-Messages)");
    visit(s.boardSizeIndex, u"Fahrzeugansicht");
    for (auto& enabled : s.decoderEnabled) {
        visit(enabled, u"Soundkarte: Dekoder");
    }
}

template <typename T> using Plain = std::remove_cvref_t<T>;

constexpr qint64 kInt16Min = std::numeric_limits<qint16>::min();
constexpr qint64 kInt16Max = std::numeric_limits<qint16>::max();

QString monIniName() {
    return QStringLiteral("Mon.ini");
}

} // namespace

FileResult loadSettings(const DataFolder& folder, MonitorSettings& settings) {
    MonitorSettings loaded;
    const TextLines file = readTextLines(folder.monIni());
    if (!file.result.ok()) {
        settings = loaded;
        return file.result;
    }
    qsizetype line = 0;
    forEachLine(loaded, [&](auto&& field, const char16_t*) {
        if (line >= file.lines.size()) {
            return;
        }
        const QString& text = file.lines[line++];
        using Field = Plain<decltype(field)>;
        if constexpr (IsPortLine<Field>::value) {
            const qint64 n = leadingNumber(text);
            if (n >= kInt16Min && n <= kPortMax) {
                field.value = static_cast<int>(n < 0 ? n + 65536 : n);
            }
        } else if constexpr (std::is_same_v<Field, QString>) {
            field = text;
        } else if constexpr (std::is_same_v<Field, quint32>) {
            // A Windows system colour was written as a negative 32-bit number.
            if (const auto colour = colourFromNumber(leadingNumber(text))) {
                field = *colour;
            }
        } else {
            const qint64 n = leadingNumber(text);
            if (n >= kInt16Min && n <= kInt16Max) {
                field = static_cast<int>(n);
            }
        }
    });
    settings = loaded;
    return file.result; // its warnings, if any
}

FileResult saveSettings(const DataFolder& folder, const MonitorSettings& settings) {
    QStringList lines;
    QString refusal;
    forEachLine(settings, [&](const auto& field, const char16_t* caption) {
        if (!refusal.isEmpty()) {
            return;
        }
        const QString name = quotedName(QString::fromUtf16(caption));
        using Field = Plain<decltype(field)>;
        if constexpr (IsPortLine<Field>::value) {
            const int port = field.value;
            if (port < 0 || port > kPortMax) {
                refusal = QStringLiteral("Die Einstellung %1 hat den Wert %2; ein Port liegt zwischen 0 "
                                         "und 65535.")
                              .arg(name, QString::number(port));
            }
            lines.append(QString::number(port > kInt16Max ? port - 65536 : port));
        } else if constexpr (std::is_same_v<Field, QString>) {
            if (breaksLines(field)) {
                refusal = QStringLiteral("Die Einstellung %1 enth\u00E4lt einen Zeilenumbruch; "
                                         "%2 kann sie nicht aufnehmen.")
                              .arg(name, monIniName());
            } else if (const auto bad = firstCharacterOutsideWindows1252(field)) {
                refusal = QStringLiteral("Die Einstellung %1 enth\u00E4lt das Zeichen %2 (U+%3), "
                                         "das %4 nicht aufnehmen kann (Zeichensatz Windows-1252).")
                              .arg(name, quotedName(QString::fromUcs4(&*bad, 1)),
                                   QStringLiteral("%1")
                                       .arg(static_cast<uint>(*bad), 4, 16, QChar(u'0'))
                                       .toUpper(),
                                   monIniName());
            }
            lines.append(field);
        } else if constexpr (std::is_same_v<Field, quint32>) {
            // System colours go back as the negative numbers Windows wrote.
            lines.append((field & kSystemColourFlag) != 0
                             ? QString::number(std::bit_cast<qint32>(field))
                             : QString::number(field));
        } else {
            if (field < kInt16Min || field > kInt16Max) {
                refusal = QStringLiteral("Die Einstellung %1 hat den Wert %2; %3 nimmt nur Zahlen "
                                         "von -32768 bis 32767 auf.")
                              .arg(name, QString::number(field), monIniName());
            }
            lines.append(QString::number(field));
        }
    });
    if (!refusal.isEmpty()) {
        return FileResult::failure(QStringLiteral("Die Einstellungen wurden nicht gespeichert. ") +
                                   refusal);
    }
    return writeTextLines(folder.monIni(), lines);
}

int effectiveBoardSizeIndex(int boardSizeIndex) {
    return boardSizeIndex >= 1 && boardSizeIndex <= 4 ? boardSizeIndex : 4;
}

BoardSize boardSizeFor(int boardSizeIndex) {
    switch (effectiveBoardSizeIndex(boardSizeIndex)) {
    case 1:
        return {5, 10};
    case 2:
        return {5, 20};
    case 3:
        return {10, 10};
    default:
        return {10, 20};
    }
}

} // namespace tolvana
