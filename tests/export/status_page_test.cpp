// The HTML status page: a byte-exact page for a small board, escaping of
// hostile texts, the arrangement of the board, the row limits of the lists,
// the legend, and writing the file.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <ostream>
#include <string>
#include <vector>

#include "export/status_page.h"
#include "support/small_disk.h"

namespace tolvana {
namespace {

const std::array<std::uint32_t, 9> kColours = {0x00FFFF, 0x00FF00, 0x0080FF, 0xFF0000, 0x808080,
                                               0xFF00FF, 0x000080, 0x408000, 0x0000FF};

StatusPageInput smallBoard() {
    StatusPageInput in;
    in.columns = 5;
    in.rows = 2;
    in.statusColours = kColours;
    in.vehicles = {
        {QStringLiteral("62345678"), QStringLiteral("Florian Musterstadt 1/44-1"), 2},
        {QString(), QStringLiteral("Wache Nord"), 0},
        {},
        {QStringLiteral("62345679"), QStringLiteral("RTW 1/83-1"), 3},
        {QStringLiteral("62345680"), QStringLiteral("L\u00F6schzug S\u00FCd"), 12},
        {QStringLiteral("62345681"), QStringLiteral("ELW & Co"), 9},
    };
    in.zveiRows = {
        {QStringLiteral("12345"), QStringLiteral("FF Musterstadt"), QStringLiteral("07.12.2004 15:50:01")},
        {QStringLiteral("23456"), QString(), QStringLiteral("07.12.2004 15:40:00")},
    };
    in.pocsagRows = {
        {QStringLiteral("1234567"), QStringLiteral("3"), QStringLiteral("Kreisbrandmeister"),
         QStringLiteral("07.12.2004 15:51:30"), QStringLiteral("Probealarm \u00DCbung")},
    };
    in.now = QDateTime(QDate(2004, 12, 7), QTime(15, 52, 42));
    return in;
}

QByteArray crlfLines(const std::vector<const char*>& lines) {
    QByteArray out;
    for (const char* line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

TEST(StatusPage, SmallBoardWithListsIsByteExact) {
    std::vector<const char*> lines = {
        "<HTML>",
        "<HEAD>",
        "<title>Tolvana Web-Statusanzeige</title>",
        "<meta http-equiv=refresh content=60; URL=offene.html>",
        "</HEAD>",
        "<BODY LINK=white VLINK=white BACKGROUND=back.jpg>",
        "<H2>Einsatzleitstelle - Status der Einsatzfahrzeuge</H2>",
        "letzte Daten\xE4nderung: 07.12.2004 - 15:52:42 Uhr (Refresh alle 60 Sekunden)",
        "<BR>",
        "<TABLE CELLSPACING=1 BORDER=1 width=800>",
        // row 0: entries 0, 2, 4, 6, 8
        "<TR>",
        "<TD width=5% BGCOLOR=#00FF00>", "<font size=3 color=black>Florian Musterstadt 1/44-1</FONT>", "</TD>",
        "<TD width=5% BGCOLOR=WHITE>", "<font size=3 color=WHITE>&nbsp;</FONT>", "</TD>",
        "<TD width=5% BGCOLOR=#E0E0E0>", "<font size=3 color=black>L\xF6schzug S\xFC" "d</FONT>", "</TD>",
        "<TD width=5% BGCOLOR=WHITE>", "<font size=3 color=WHITE>&nbsp;</FONT>", "</TD>",
        "<TD width=5% BGCOLOR=WHITE>", "<font size=3 color=WHITE>&nbsp;</FONT>", "</TD>",
        "</TR>",
        // row 1: entries 1, 3, 5, 7, 9
        "<TR>",
        "<TD width=5% BGCOLOR=BLACK>", "<font size=3 color=WHITE>Wache Nord</FONT>", "</TD>",
        "<TD width=5% BGCOLOR=#FF8000>", "<font size=3 color=black>RTW 1/83-1</FONT>", "</TD>",
        "<TD width=5% BGCOLOR=#FF0000>", "<font size=3 color=black>ELW &amp; Co</FONT>", "</TD>",
        "<TD width=5% BGCOLOR=WHITE>", "<font size=3 color=WHITE>&nbsp;</FONT>", "</TD>",
        "<TD width=5% BGCOLOR=WHITE>", "<font size=3 color=WHITE>&nbsp;</FONT>", "</TD>",
        "</TR>",
        "</TABLE>",
        "<BR>",
        "<H4>Letzte ZVEI-Eing\xE4nge</H4>",
        "<TABLE width=800 Border=1>",
        "<TR>",
        "<TD width=20% bgcolor=#E0E0E0>", "12345", "</TD>",
        "<TD width=20% bgcolor=#E0E0E0>", "FF Musterstadt", "</TD>",
        "<TD width=80% bgcolor=#E0E0E0>", "07.12.2004 15:50:01", "</TD>",
        "</TR>",
        "<TR>",
        "<TD width=20% bgcolor=#E0E0E0>", "23456", "</TD>",
        "<TD width=20% bgcolor=#E0E0E0>", "", "</TD>",
        "<TD width=80% bgcolor=#E0E0E0>", "07.12.2004 15:40:00", "</TD>",
        "</TR>",
        "</TABLE>",
        "<H4>Letzte POC-Eing\xE4nge</H4>",
        "<TABLE width=800 Border=1>",
        "<TR>",
        "<TD width=10% bgcolor=#E0E0E0>", "1234567", "</TD>",
        "<TD width=10% bgcolor=#E0E0E0>", "3", "</TD>",
        "<TD width=20% bgcolor=#E0E0E0>", "Kreisbrandmeister", "</TD>",
        "<TD width=25% bgcolor=#E0E0E0>", "07.12.2004 15:51:30", "</TD>",
        "<TD width=35% bgcolor=#E0E0E0>", "Probealarm \xDC" "bung", "</TD>",
        "</TR>",
        "</TABLE>",
        "<DIV style=\"position: absolute; top: 78px; left: 820px;\">",
        "<TABLE width=100 Border=1>",
        "<TR><TD bgcolor=#FFFF00>", "Status 1", "</TD></TR>",
        "<TR><TD bgcolor=#00FF00>", "Status 2", "</TD></TR>",
        "<TR><TD bgcolor=#FF8000>", "Status 3", "</TD></TR>",
        "<TR><TD bgcolor=#0000FF>", "Status 4", "</TD></TR>",
        "<TR><TD bgcolor=#808080>", "Status 5", "</TD></TR>",
        "<TR><TD bgcolor=#FF00FF>", "Status 6", "</TD></TR>",
        "<TR><TD bgcolor=#800000>", "Status 7", "</TD></TR>",
        "<TR><TD bgcolor=#008040>", "Status 8", "</TD></TR>",
        "<TR><TD bgcolor=#FF0000>", "Status 9", "</TD></TR>",
        "</TABLE>",
        "</DIV>",
        "</BODY>",
        "</HTML>",
    };
    EXPECT_EQ(statusPageBytes(smallBoard()), crlfLines(lines));
}

TEST(StatusPage, HostileTextsCannotPlaceMarkup) {
    StatusPageInput in = smallBoard();
    in.vehicles[0].rufname = QStringLiteral("<script>alert(\"x\")</script>");
    in.vehicles[1].rufname = QStringLiteral("</FONT></TD></TR></TABLE><H1>Wache</H1>");
    in.zveiRows[0][1] = QStringLiteral("<img src=x onerror=alert(1)>");
    in.pocsagRows[0][4] = QStringLiteral("Zeile 1\r\nZeile 2 & <b>fett</b> \u0416 \U0001F692");
    const QByteArray page = statusPageBytes(in);

    EXPECT_FALSE(page.contains("<script")) << page.toStdString();
    EXPECT_FALSE(page.contains("<img")) << page.toStdString();
    EXPECT_FALSE(page.contains("<H1>")) << page.toStdString();
    EXPECT_FALSE(page.contains("<b>")) << page.toStdString();
    EXPECT_TRUE(page.contains("<font size=3 color=black>&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;</FONT>\r\n"));
    EXPECT_TRUE(page.contains(
        "<font size=3 color=WHITE>&lt;/FONT&gt;&lt;/TD&gt;&lt;/TR&gt;&lt;/TABLE&gt;&lt;H1&gt;Wache&lt;/H1&gt;</FONT>\r\n"));
    EXPECT_TRUE(page.contains("\r\n&lt;img src=x onerror=alert(1)&gt;\r\n"));
    // A line break in a pager text stays inside its cell line; characters that
    // Windows-1252 lacks become numeric references instead of '?'.
    EXPECT_TRUE(page.contains("\r\nZeile 1  Zeile 2 &amp; &lt;b&gt;fett&lt;/b&gt; &#1046; &#128658;\r\n"));
    // The page keeps its structure: as many rows and cells as without the texts.
    EXPECT_EQ(page.count("<TR>"), statusPageBytes(smallBoard()).count("<TR>"));
    EXPECT_EQ(page.count("</TD>"), statusPageBytes(smallBoard()).count("</TD>"));
}

TEST(StatusPage, BoardIsFilledColumnByColumnAsOnTheScreen) {
    StatusPageInput in;
    in.columns = 10;
    in.rows = 10;
    in.statusColours = kColours;
    for (int s = 0; s < 100; ++s) {
        in.vehicles.push_back({QStringLiteral("6234%1").arg(5600 + s), QStringLiteral("F%1").arg(s), 1 + s % 9});
    }
    const QString page = QString::fromLatin1(statusPageBytes(in));
    const QString board = page.section(QStringLiteral("<TABLE CELLSPACING=1 BORDER=1 width=800>\r\n"), 1)
                              .section(QStringLiteral("</TABLE>"), 0, 0);
    const QStringList rows = board.split(QStringLiteral("</TR>\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 10);
    for (int r = 0; r < 10; ++r) {
        EXPECT_EQ(rows[r].count(QStringLiteral("<TD width=10% BGCOLOR=")), 10) << "row " << r;
        int from = 0;
        for (int c = 0; c < 10; ++c) {
            const QString text = QStringLiteral(">F%1</FONT>").arg(c * 10 + r);
            const int at = static_cast<int>(rows[r].indexOf(text, from));
            ASSERT_GE(at, 0) << "row " << r << " column " << c;
            from = at + 1;
        }
    }
}

struct ListCase {
    std::size_t zveiRows;
    std::size_t pocsagRows;
    int zveiShown;
    int pocsagShown;
};

void PrintTo(const ListCase& c, std::ostream* os) {
    *os << c.zveiRows << " ZVEI and " << c.pocsagRows << " POCSAG rows";
}

class StatusPageLists : public ::testing::TestWithParam<ListCase> {};

TEST_P(StatusPageLists, ShowTheNewestRowsUpToTen) {
    const ListCase& c = GetParam();
    StatusPageInput in = smallBoard();
    in.zveiRows.clear();
    in.pocsagRows.clear();
    for (std::size_t i = 0; i < c.zveiRows; ++i) {
        in.zveiRows.push_back({QStringLiteral("Z%1").arg(i), QString(), QString()});
    }
    for (std::size_t i = 0; i < c.pocsagRows; ++i) {
        in.pocsagRows.push_back({QStringLiteral("P%1").arg(i), QString(), QString(), QString(), QString()});
    }
    const QString page = QString::fromLatin1(statusPageBytes(in));
    const QString zvei = page.section(QStringLiteral("<H4>Letzte ZVEI"), 1).section(QStringLiteral("</TABLE>"), 0, 0);
    const QString pocsag = page.section(QStringLiteral("<H4>Letzte POC"), 1).section(QStringLiteral("</TABLE>"), 0, 0);
    EXPECT_EQ(zvei.count(QStringLiteral("<TR>")), c.zveiShown);
    EXPECT_EQ(zvei.count(QStringLiteral("<TD ")), 3 * c.zveiShown);
    EXPECT_EQ(pocsag.count(QStringLiteral("<TR>")), c.pocsagShown);
    EXPECT_EQ(pocsag.count(QStringLiteral("<TD ")), 5 * c.pocsagShown);
    // The newest (first) rows are the ones shown.
    if (c.zveiShown > 0) {
        EXPECT_TRUE(zvei.contains(QStringLiteral("\r\nZ0\r\n")));
        EXPECT_TRUE(zvei.contains(QStringLiteral("\r\nZ%1\r\n").arg(c.zveiShown - 1)));
        EXPECT_FALSE(zvei.contains(QStringLiteral("\r\nZ%1\r\n").arg(c.zveiShown)));
    }
    if (c.pocsagShown > 0) {
        EXPECT_TRUE(pocsag.contains(QStringLiteral("\r\nP%1\r\n").arg(c.pocsagShown - 1)));
        EXPECT_FALSE(pocsag.contains(QStringLiteral("\r\nP%1\r\n").arg(c.pocsagShown)));
    }
}

INSTANTIATE_TEST_SUITE_P(RowCounts, StatusPageLists,
                         ::testing::Values(ListCase{3, 25, 3, 10}, ListCase{25, 3, 10, 3}, ListCase{0, 0, 0, 0},
                                           ListCase{10, 11, 10, 10}, ListCase{11, 10, 10, 10}));

TEST(StatusPage, LegendHasNineRowsInTheStatusColours) {
    StatusPageInput in; // no board, no lists: the legend is still complete
    in.statusColours = {0x000001, 0x000002, 0x000003, 0x000004, 0x000005, 0x000006, 0x000007, 0x000008, 0x000009};
    const QString page = QString::fromLatin1(statusPageBytes(in));
    const QString legend = page.section(QStringLiteral("<TABLE width=100 Border=1>\r\n"), 1)
                               .section(QStringLiteral("</TABLE>"), 0, 0);
    EXPECT_EQ(legend.count(QStringLiteral("<TR>")), 9);
    for (int k = 1; k <= 9; ++k) {
        const QString row = QStringLiteral("<TR><TD bgcolor=#0") + QString::number(k) +
                            QStringLiteral("0000>\r\nStatus ") + QString::number(k) + QStringLiteral("\r\n</TD></TR>\r\n");
        EXPECT_TRUE(legend.contains(row))
            << "status " << k;
    }
}

TEST(StatusPage, HtmlColourReordersTheBytes) {
    const std::vector<std::pair<std::uint32_t, const char*>> table = {
        {0xE0E0E0, "#E0E0E0"}, {0x0000FF, "#FF0000"}, {0xFF0000, "#0000FF"}, {0x123456, "#563412"},
        {0x000001, "#010000"}, {0x000000, "#000000"}, {0x80000005, "#050000"}};
    for (const auto& [colour, text] : table) {
        EXPECT_EQ(htmlColour(colour), QString::fromLatin1(text)) << std::hex << colour;
    }
}

TEST(StatusPageFile, WritesStatusHtmlWholeAndReplacesTheOldPage) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("status.html"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));
    }
    QString error;
    ASSERT_TRUE(writeStatusPage(smallBoard(), dir.path(), &error)) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), statusPageBytes(smallBoard()));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("status.html")});
}

TEST(StatusPageFile, AFailedWriteIsReportedAndLeavesWhatWasThere) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A folder where the page should go: the page cannot take its place.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("status.html")));
    QString error;
    EXPECT_FALSE(writeStatusPage(smallBoard(), dir.path(), &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Die Statusseite"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("status.html"))) << error.toStdString();
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("status.html"))).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{});

    EXPECT_FALSE(writeStatusPage(smallBoard(), dir.filePath(QStringLiteral("fehlt")), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("fehlt"))) << error.toStdString();
}

// The page the web server shows stays whole and as it was when the disk is
// full: the new page is written beside it and only replaces it once it is
// complete and on the disk. The message says what happened.
TEST(StatusPageFile, AFullDiskKeepsThePreviousPageAndSaysSo) {
    test::SmallDisk disk(64);
    if (!disk.mounted()) {
        GTEST_SKIP() << disk.why();
    }
    const QString dir = QString::fromStdString(disk.path());
    const QString path = dir + QStringLiteral("/status.html");
    ASSERT_TRUE(saveStatusPage(smallBoard(), dir).ok());
    const QByteArray before = statusPageBytes(smallBoard());

    // The next page (a few kilobytes, as the page of a small board is) finds
    // the disk full: the old one stays.
    StatusPageInput bigger = smallBoard();
    bigger.zveiRows.insert(bigger.zveiRows.begin(), {QStringLiteral("34567"), QStringLiteral("FF Nord"),
                                                     QStringLiteral("07.12.2004 15:52:42")});
    disk.fill();
    const FileResult full = saveStatusPage(bigger, dir);
    ASSERT_FALSE(full.ok());
    EXPECT_EQ(full.error(), QStringLiteral("Die Statusseite \u201E%1\u201C kann nicht gespeichert werden: der "
                                           "Datentr\u00E4ger ist voll. Die bisherige Fassung bleibt erhalten.")
                                .arg(path));
    EXPECT_EQ(full.englishError(),
              QStringLiteral("cannot save %1: no space left on the disk; the previous version is kept").arg(path));
    QString error;
    EXPECT_FALSE(writeStatusPage(bigger, dir, &error));
    EXPECT_EQ(error, full.error());
    QFile page(path);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_EQ(page.readAll(), before);
    EXPECT_EQ(QDir(dir).entryList(QDir::Files), QStringList{QStringLiteral("status.html")});

    disk.release();
    ASSERT_TRUE(saveStatusPage(bigger, dir).ok());
    page.close();
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_EQ(page.readAll(), statusPageBytes(bigger));
}

} // namespace
} // namespace tolvana
