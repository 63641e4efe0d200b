#include "export/status_page.h"

#include <QDir>
#include <QStringList>

#include <algorithm>

#include "records/text_codec.h"
#include "records/text_file.h"

namespace tolvana {

namespace {

/// Background of the list cells, and of a board field whose status has no
/// colour of its own (0 or 10..15, which only an edited status file brings):
/// the light grey that is the program's default background.
constexpr std::uint32_t kLightGrey = 0xE0E0E0;

bool fitsWindows1252(char32_t c) {
    if (c <= 0xFF) {
        return true;
    }
    const QByteArray encoded = toWindows1252(QString::fromUcs4(&c, 1));
    return encoded != "?";
}

std::uint32_t statusColour(const StatusPageInput& input, int status) {
    if (status < 1 || status > static_cast<int>(input.statusColours.size())) {
        return kLightGrey;
    }
    return input.statusColours[static_cast<std::size_t>(status - 1)];
}

class PageWriter {
public:
    void line(const QString& text) { m_lines.append(text); }
    void line(const char* text) { m_lines.append(QString::fromUtf8(text)); }

    QByteArray bytes() const {
        QString all;
        for (const QString& l : m_lines) {
            all += l;
            all += QStringLiteral("\r\n");
        }
        return toWindows1252(all);
    }

private:
    QStringList m_lines;
};

void writeBoard(PageWriter& page, const StatusPageInput& input) {
    const int columns = std::max(input.columns, 0);
    const int rows = std::max(input.rows, 0);
    // The cell width is the number of columns followed by "%" (5 columns give
    // width=5%), as on the pages that receivers already serve; the table's
    // fixed width of 800 decides the real layout.
    const QString cellStart = QStringLiteral("<TD width=%1% BGCOLOR=").arg(columns);
    for (int r = 0; r < rows; ++r) {
        page.line("<TR>");
        for (int c = 0; c < columns; ++c) {
            const auto s = static_cast<std::size_t>(c) * static_cast<std::size_t>(rows) +
                           static_cast<std::size_t>(r);
            const StatusPageVehicle empty;
            const StatusPageVehicle& v = s < input.vehicles.size() ? input.vehicles[s] : empty;
            if (!v.kennung.isEmpty()) {
                page.line(cellStart + htmlColour(statusColour(input, v.status)) + QLatin1Char('>'));
                page.line(QStringLiteral("<font size=3 color=black>") + htmlText(v.rufname) +
                          QStringLiteral("</FONT>"));
            } else if (!v.rufname.isEmpty()) {
                page.line(cellStart + QStringLiteral("BLACK>"));
                page.line(QStringLiteral("<font size=3 color=WHITE>") + htmlText(v.rufname) +
                          QStringLiteral("</FONT>"));
            } else {
                page.line(cellStart + QStringLiteral("WHITE>"));
                page.line("<font size=3 color=WHITE>&nbsp;</FONT>");
            }
            page.line("</TD>");
        }
        page.line("</TR>");
    }
}

template <std::size_t N>
void writeList(PageWriter& page, const QString& heading, const std::vector<std::array<QString, N>>& rows,
               const std::array<int, N>& widths) {
    page.line(QStringLiteral("<H4>") + heading + QStringLiteral("</H4>"));
    page.line("<TABLE width=800 Border=1>");
    const QString grey = htmlColour(kLightGrey);
    const std::size_t n = std::min(rows.size(), kStatusPageListRows);
    for (std::size_t i = 0; i < n; ++i) {
        page.line("<TR>");
        for (std::size_t col = 0; col < N; ++col) {
            page.line(QStringLiteral("<TD width=%1% bgcolor=%2>").arg(widths[col]).arg(grey));
            page.line(htmlText(rows[i][col]));
            page.line("</TD>");
        }
        page.line("</TR>");
    }
    page.line("</TABLE>");
}

} // namespace

QString htmlColour(std::uint32_t colour) {
    const std::uint32_t red = colour & 0xFFu;
    const std::uint32_t green = (colour >> 8) & 0xFFu;
    const std::uint32_t blue = (colour >> 16) & 0xFFu;
    return QStringLiteral("#%1%2%3")
        .arg(red, 2, 16, QLatin1Char('0'))
        .arg(green, 2, 16, QLatin1Char('0'))
        .arg(blue, 2, 16, QLatin1Char('0'))
        .toUpper();
}

QString htmlText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (char32_t c : text.toUcs4()) {
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
            out += QLatin1Char(' ');
        } else if (c == U'&') {
            out += QStringLiteral("&amp;");
        } else if (c == U'<') {
            out += QStringLiteral("&lt;");
        } else if (c == U'>') {
            out += QStringLiteral("&gt;");
        } else if (c == U'"') {
            out += QStringLiteral("&quot;");
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            // A lone surrogate is no character; show the replacement mark.
            out += QStringLiteral("&#65533;");
        } else if (fitsWindows1252(c)) {
            out += QString::fromUcs4(&c, 1);
        } else {
            out += QStringLiteral("&#%1;").arg(static_cast<std::uint32_t>(c));
        }
    }
    return out;
}

QByteArray statusPageBytes(const StatusPageInput& input) {
    PageWriter page;
    page.line("<HTML>");
    page.line("<HEAD>");
    page.line("<title>Tolvana Web-Statusanzeige</title>");
    // Unquoted as it always was: browsers read content=60 and reload the page
    // itself every minute, which is what the date line promises.
    page.line("<meta http-equiv=refresh content=60; URL=offene.html>");
    page.line("</HEAD>");
    page.line("<BODY LINK=white VLINK=white BACKGROUND=back.jpg>");
    page.line("<H2>Einsatzleitstelle - Status der Einsatzfahrzeuge</H2>");
    page.line(QStringLiteral("letzte Daten\u00E4nderung: ") + input.now.toString(QStringLiteral("dd.MM.yyyy")) +
              QStringLiteral(" - ") + input.now.toString(QStringLiteral("HH:mm:ss")) +
              QStringLiteral(" Uhr (Refresh alle 60 Sekunden)"));
    page.line("<BR>");
    page.line("<TABLE CELLSPACING=1 BORDER=1 width=800>");
    writeBoard(page, input);
    page.line("</TABLE>");
    page.line("<BR>");

    writeList<3>(page, QStringLiteral("Letzte ZVEI-Eing\u00E4nge"), input.zveiRows, {20, 20, 80});
    writeList<5>(page, QStringLiteral("Letzte POC-Eing\u00E4nge"), input.pocsagRows, {10, 10, 20, 25, 35});

    page.line("<DIV style=\"position: absolute; top: 78px; left: 820px;\">");
    page.line("<TABLE width=100 Border=1>");
    for (std::size_t k = 0; k < input.statusColours.size(); ++k) {
        page.line(QStringLiteral("<TR><TD bgcolor=") + htmlColour(input.statusColours[k]) + QLatin1Char('>'));
        page.line(QStringLiteral("Status %1").arg(k + 1));
        page.line("</TD></TR>");
    }
    page.line("</TABLE>");
    page.line("</DIV>");
    page.line("</BODY>");
    page.line("</HTML>");
    return page.bytes();
}

FileResult saveStatusPage(const StatusPageInput& input, const QString& dataDir) {
    return writeFileAtomically(QDir(dataDir).filePath(QString::fromLatin1(kStatusPageFileName)),
                               statusPageBytes(input), QStringLiteral("Die Statusseite"));
}

bool writeStatusPage(const StatusPageInput& input, const QString& dataDir, QString* errorMessage) {
    const FileResult result = saveStatusPage(input, dataDir);
    if (!result.ok() && errorMessage != nullptr) {
        *errorMessage = result.error();
    }
    return result.ok();
}

} // namespace tolvana
