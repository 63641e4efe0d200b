#include <gtest/gtest.h>

#include "records/colour.h"
#include "records/daily_log.h"
#include "records/german_time.h"
#include "records/row_text.h"
#include "records_fixture.h"

namespace tolvana {
namespace {

using test::readBytes;
using test::writeBytes;

const QDateTime kNow(QDate(2004, 12, 7), QTime(15, 52, 42));

QStringList rowsOf(const ReceptionListModel& list) {
    QStringList rows;
    for (int r = 0; r < list.rowCount(); ++r) {
        rows.append(list.rowText(r));
    }
    return rows;
}

using DailyLog = test::RecordsTest;

TEST_F(DailyLog, MidnightStartsANewFileAndARestartShowsOnlyToday) {
    const QDateTime before(QDate(2004, 12, 7), QTime(23, 59, 59));
    const QDateTime after(QDate(2004, 12, 8), QTime(0, 0, 1));
    const QString late = QStringLiteral("RTW 1\t\t62345678\t3\t0\tFzg->Lst\t07.12.2004 23:59:59\t");
    const QString early =
        QStringLiteral("RTW 1\t\t62345678\t4\t0\tFzg->Lst\t08.12.2004 00:00:01\t");
    ASSERT_TRUE(appendFmsLog(folder(), late, before).ok());
    ASSERT_TRUE(appendFmsLog(folder(), early, after).ok());
    EXPECT_EQ(readBytes(folder().logDir() + QStringLiteral("/FMS-2004-12-7.txt")),
              QByteArray("RTW 1\t\t62345678\t3\t0\tFzg->Lst\t07.12.2004 23:59:59\t\r\n"));
    EXPECT_EQ(readBytes(folder().logDir() + QStringLiteral("/FMS-2004-12-8.txt")),
              QByteArray("RTW 1\t\t62345678\t4\t0\tFzg->Lst\t08.12.2004 00:00:01\t\r\n"));

    ReceptionLists restarted;
    ASSERT_TRUE(reloadTodaysLogs(folder(), after.date(), restarted).ok());
    EXPECT_EQ(rowsOf(restarted.fms), QStringList{early});
}

TEST_F(DailyLog, RestartShowsTheListsAsTheyWere) {
    ReceptionLists live;
    const QStringList zvei{
        zveiRowText(QStringLiteral("12345"), QStringLiteral("Wehr M\u00FCnchen"), kNow),
        zveiRowText(QStringLiteral("23456"), QString(), kNow.addSecs(60))};
    const QStringList poc{pocsagRowText(QStringLiteral("1234567"), 3, QStringLiteral("Pager"), kNow,
                                        QStringLiteral("Brand, \"gro\u00DF\""))};
    for (const QString& text : zvei) {
        live.addZveiRow(text, rgb(255, 0, 0));
        ASSERT_TRUE(appendZveiLog(folder(), text, kNow).ok());
    }
    for (const QString& text : poc) {
        live.addPocsagRow(text, kLightGrey);
        ASSERT_TRUE(appendPocsagLog(folder(), text, kNow).ok());
    }
    EXPECT_EQ(readBytes(folder().logFile(ReceptionKind::Zvei, kNow.date())),
              QByteArray("12345\tWehr M\xFC"
                         "nchen\t07.12.2004 15:52:42\r\n23456\t\t07.12.2004 15:53:42\r\n"));
    EXPECT_EQ(live.zvei.rowText(0), zvei[1]);

    ReceptionLists restarted;
    ASSERT_TRUE(reloadTodaysLogs(folder(), kNow.date(), restarted).ok());
    EXPECT_EQ(rowsOf(restarted.zvei), rowsOf(live.zvei));
    EXPECT_EQ(rowsOf(restarted.pocsag), rowsOf(live.pocsag));
    EXPECT_EQ(restarted.fms.rowCount(), 0);
    EXPECT_FALSE(restarted.zvei.nameColour(0).has_value());
}

TEST_F(DailyLog, ReloadSkipsEmptyLinesAndKnowsNoRowLimit) {
    QByteArray bytes;
    for (int i = 0; i < 600; ++i) {
        bytes += "RTW " + QByteArray::number(i) +
                 "\t\t62345678\t3\t0\tFzg->Lst\t07.12.2004 15:52:42\t\n";
        if (i % 100 == 0) {
            bytes += "\r\n";
        }
    }
    writeBytes(folder().logFile(ReceptionKind::Fms, kNow.date()), bytes);
    ReceptionLists lists;
    ASSERT_TRUE(reloadTodaysLogs(folder(), kNow.date(), lists).ok());
    EXPECT_EQ(lists.fms.rowCount(), 600);
    EXPECT_TRUE(lists.fms.rowText(0).startsWith(QStringLiteral("RTW 599\t")));
}

TEST_F(DailyLog, FailedAppendIsReportedAndLineBreaksNeverSplitALine) {
    ASSERT_TRUE(
        appendPocsagLog(folder(), QStringLiteral("1\t0\t\t07.12.2004 15:52:42\ta\r\nb"), kNow)
            .ok());
    EXPECT_EQ(readBytes(folder().logFile(ReceptionKind::Pocsag, kNow.date())),
              QByteArray("1\t0\t\t07.12.2004 15:52:42\ta  b\r\n"));
    ASSERT_TRUE(QDir(folder().logDir()).removeRecursively());
    const FileResult result = appendFmsLog(folder(), QStringLiteral("x"), kNow);
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.error().contains(QStringLiteral("FMS-2004-12-7.txt")));
}

TEST(RowText, FmsRowsForKnownAndUnknownVehicles) {
    FmsReception r;
    r.telegram = {"62345678", 2, 3, 0};
    const Vehicle rtw{QStringLiteral("62345678"),
                      QStringLiteral("RTW 1"),
                      QStringLiteral("M\u00FCnchen"),
                      0,
                      0,
                      {}};
    EXPECT_EQ(
        fmsRowKnown(rtw, r, kNow),
        QStringLiteral("RTW 1\tM\u00FCnchen\t62345678\t3\t2\tFzg->Lst\t07.12.2004 15:52:42\t"));

    r.telegram.richtung = 1;
    r.followUpText = "Brand Hauptstr. 1";
    const QString origin = QStringLiteral("Feuerwehr").leftJustified(32) + u' ' +
                           QStringLiteral("Nieders").leftJustified(16);
    EXPECT_EQ(
        fmsRowUnknown(origin, r, kNow),
        QStringLiteral("?\t") + origin +
            QStringLiteral("\t62345678\tC\t2\tLst->Fzg\t07.12.2004 15:52:42\tBrand Hauptstr. 1"));
}

TEST(RowText, StatusIsANumberFromVehiclesAndALetterTowardsThem) {
    const QStringList letters{"0", "A", "E", "C", "F", "H", "J", "L",
                              "P", "U", "c", "d", "h", "o", "u", "Quittung"};
    for (int status = 0; status < 16; ++status) {
        EXPECT_EQ(fmsStatusText(status, 0), QString::number(status));
        EXPECT_EQ(fmsStatusText(status, 1), letters[status]);
    }
    EXPECT_EQ(fmsDirectionText(0), QStringLiteral("Fzg->Lst"));
    EXPECT_EQ(fmsDirectionText(1), QStringLiteral("Lst->Fzg"));
}

TEST(RowText, ZveiAndPocsagRowsAndTheFixedGermanTimes) {
    EXPECT_EQ(zveiRowText(QStringLiteral("12345"), QStringLiteral(" (RTW 1) "), kNow),
              QStringLiteral("12345\t (RTW 1) \t07.12.2004 15:52:42"));
    EXPECT_EQ(pocsagRowText(QStringLiteral("1200003"), 0, QString(), kNow, QString()),
              QStringLiteral("1200003\t0\t\t07.12.2004 15:52:42\t"));
    const QDateTime early(QDate(2005, 2, 1), QTime(3, 4, 5));
    EXPECT_EQ(gridDateTime(early), QStringLiteral("01.02.2005 03:04:05"));
    EXPECT_EQ(longTime(early), QStringLiteral("03:04:05"));
    EXPECT_EQ(changeTime(kNow), QStringLiteral("07.12. 15:52"));
    EXPECT_EQ(parseGridDateTime(QStringLiteral("01.02.2005 03:04:05")), early);
    EXPECT_FALSE(parseGridDateTime(QStringLiteral("gestern")).isValid());
}

struct RootCase {
    const char* name;
    const char* option;
    const char* environment;
    bool isDefault;
};
void PrintTo(const RootCase& c, std::ostream* os) {
    *os << c.name;
}

class DataFolderRoot : public ::testing::TestWithParam<RootCase> {};

TEST_P(DataFolderRoot, HomeOptionThenEnvironmentThenDefault) {
    const QString root = DataFolder::chooseRoot(QString::fromLatin1(GetParam().option),
                                                QString::fromLatin1(GetParam().environment));
    EXPECT_EQ(root, GetParam().isDefault ? DataFolder::defaultRoot() : QStringLiteral("/a"));
    EXPECT_TRUE(DataFolder::defaultRoot().endsWith(QStringLiteral("/tolvana")));
}

INSTANTIATE_TEST_SUITE_P(DataFolder, DataFolderRoot,
                         ::testing::Values(RootCase{"Option", "/a", "/b", false},
                                           RootCase{"Environment", "", "/a", false},
                                           RootCase{"Default", "", "", true}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(DataFolderOpen, CreatesItsFoldersAndNamesEveryFile) {
    QTemporaryDir temp;
    const auto folder = DataFolder::open(temp.path() + QStringLiteral("/a/b/"));
    ASSERT_TRUE(folder.has_value());
    const QString root = temp.path() + QStringLiteral("/a/b");
    EXPECT_EQ(folder->root(), root);
    EXPECT_TRUE(QFileInfo(root + QStringLiteral("/Status")).isDir());
    EXPECT_TRUE(QFileInfo(root + QStringLiteral("/Logbuch")).isDir());
    EXPECT_EQ(folder->monIni(), root + QStringLiteral("/Mon.ini"));
    EXPECT_EQ(folder->callAssignmentsFile(), root + QStringLiteral("/ZVEI_FMS_Zuord.txt"));
    EXPECT_EQ(folder->filterFile(FilterKind::Pocsag), root + QStringLiteral("/filter_poc.txt"));
    EXPECT_EQ(folder->statusFile(17), root + QStringLiteral("/Status/17.txt"));
    EXPECT_EQ(folder->statusPage(), root + QStringLiteral("/status.html"));
    EXPECT_EQ(dailyLogFileName(ReceptionKind::Fms, QDate(2004, 12, 7)),
              QStringLiteral("FMS-2004-12-7.txt"));
    EXPECT_EQ(dailyLogFileName(ReceptionKind::Zvei, QDate(2005, 1, 9)),
              QStringLiteral("zvei-2005-1-9.txt"));
    EXPECT_EQ(dailyLogFileName(ReceptionKind::Pocsag, QDate(2026, 10, 31)),
              QStringLiteral("poc-2026-10-31.txt"));
}

TEST(DataFolderOpen, FolderThatCannotBeCreatedIsNamed) {
    QTemporaryDir temp;
    const QString blocker = temp.path() + QStringLiteral("/home");
    test::writeBytes(blocker, "a file where the folder should be");
    QString failed;
    EXPECT_FALSE(DataFolder::open(blocker, &failed).has_value());
    EXPECT_EQ(failed, blocker);
    EXPECT_TRUE(DataFolder::creationError(failed).contains(blocker));

    test::writeBytes(temp.path() + QStringLiteral("/Logbuch"), "x");
    EXPECT_FALSE(DataFolder::open(temp.path(), &failed).has_value());
    EXPECT_EQ(failed, temp.path() + QStringLiteral("/Logbuch"));
}

} // namespace
} // namespace tolvana
