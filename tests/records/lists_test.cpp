#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include "records/alert_lists.h"
#include "records/colour.h"
#include "records/reception_lists.h"
#include "records_fixture.h"

namespace tolvana {
namespace {

const QDateTime kNow(QDate(2004, 12, 7), QTime(15, 52, 42));

QString row(int n) {
    return QStringLiteral("%1\tName %1\t07.12.2004 15:52:42").arg(n);
}

TEST(ReceptionList, NewestRowOnTopWithTheGridHeadings) {
    ReceptionListModel list(ReceptionKind::Zvei);
    const QAbstractItemModelTester tester(&list,
                                          QAbstractItemModelTester::FailureReportingMode::Fatal);
    list.addRow(row(1), rgb(255, 0, 0));
    list.addRow(row(2), kLightGrey);
    list.addRow(QStringLiteral("12345\t\u00C4rzte"), 0u); // fewer cells than columns
    ASSERT_EQ(list.rowCount(), 3);
    EXPECT_EQ(list.rowText(0), QStringLiteral("12345\t\u00C4rzte"));
    EXPECT_EQ(list.rowText(2), row(1));
    EXPECT_EQ(list.data(list.index(1, 1)).toString(), QStringLiteral("Name 2"));
    EXPECT_EQ(list.data(list.index(0, 2)).toString(), QString());
    EXPECT_EQ(list.data(list.index(2, 0), ReceptionListModel::RowTextRole).toString(), row(1));
    EXPECT_EQ(list.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Name"));
    EXPECT_EQ(
        ReceptionListModel::headings(ReceptionKind::Fms),
        (QStringList{"Rufname", "Eigenschaft", "FMS", "Status", "TKI", "Rtg", "Zeit", "Text"}));
    EXPECT_EQ(ReceptionListModel::headings(ReceptionKind::Pocsag),
              (QStringList{"Nummer", "Funktion", "Name", "Zeit", "Text"}));
    EXPECT_EQ(ReceptionListModel::columnWidthsTwips(ReceptionKind::Zvei),
              (QList<int>{1500, 4000, 3000}));
}

TEST(ReceptionList, OnlyTheNameCellOfZveiAndPocsagRowsIsColoured) {
    ReceptionLists lists;
    lists.addZveiRow(row(1), rgb(0, 0, 255));
    lists.addPocsagRow(QStringLiteral("1234567\t3\tPager\t07.12.2004 15:52:42\tText"),
                       rgb(0, 255, 0));
    lists.fms.addRow(QStringLiteral("RTW\t\t62345678\t3\t0\tFzg->Lst\t07.12.2004 15:52:42\t"),
                     rgb(1, 1, 1));
    const auto colour = [](const ReceptionListModel& m, int column) {
        return m.data(m.index(0, column), ReceptionListModel::CellColourRole);
    };
    EXPECT_EQ(colour(lists.zvei, 1).toUInt(), rgb(0, 0, 255));
    EXPECT_FALSE(colour(lists.zvei, 0).isValid());
    EXPECT_EQ(colour(lists.pocsag, 2).toUInt(), rgb(0, 255, 0));
    EXPECT_FALSE(colour(lists.pocsag, 1).isValid());
    for (int c = 0; c < lists.fms.columnCount(); ++c) {
        EXPECT_FALSE(colour(lists.fms, c).isValid());
    }
    EXPECT_EQ(lists.list(ReceptionKind::Pocsag).nameColour(0), rgb(0, 255, 0));
}

TEST(ReceptionList, FmsListIsEmptiedOnceItHoldsFiveHundredReceptions) {
    ReceptionListModel fms(ReceptionKind::Fms);
    const QAbstractItemModelTester tester(&fms,
                                          QAbstractItemModelTester::FailureReportingMode::Fatal);
    for (int i = 0; i < ReceptionListModel::kFmsRowLimit - 1; ++i) {
        EXPECT_FALSE(fms.clearIfFull());
        fms.addRow(row(i));
    }
    EXPECT_FALSE(fms.clearIfFull()); // 499 receptions
    fms.addRow(row(499));
    EXPECT_EQ(fms.rowCount(), 500);
    EXPECT_TRUE(fms.clearIfFull()); // the 501st arrives
    fms.addRow(row(500));
    EXPECT_EQ(fms.rowCount(), 1);
    EXPECT_EQ(fms.rowText(0), row(500));

    ReceptionListModel zvei(ReceptionKind::Zvei);
    QStringList many;
    for (int i = 0; i < 600; ++i) {
        many.append(row(i));
    }
    zvei.addRows(many);
    EXPECT_FALSE(zvei.clearIfFull());
    EXPECT_EQ(zvei.rowCount(), 600);
    EXPECT_EQ(zvei.rowText(0), row(599));
}

TEST(ReceptionList, EveryListKeepsOnlyItsNewestRows) {
    // A monitor runs for months: the pager list must not grow without end.
    ReceptionListModel pocsag(ReceptionKind::Pocsag);
    for (int i = 0; i < ReceptionListModel::kMaxRows - 1; ++i) {
        pocsag.addRow(row(i), 0xE0E0E0u);
    }
    // The model checker walks every row after each change: attach it only
    // for the rows that cross the limit.
    const QAbstractItemModelTester tester(&pocsag,
                                          QAbstractItemModelTester::FailureReportingMode::Fatal);
    for (int i = ReceptionListModel::kMaxRows - 1; i < ReceptionListModel::kMaxRows + 7; ++i) {
        pocsag.addRow(row(i), 0xE0E0E0u);
    }
    EXPECT_EQ(pocsag.rowCount(), ReceptionListModel::kMaxRows);
    EXPECT_EQ(pocsag.rowText(0), row(ReceptionListModel::kMaxRows + 6));
    EXPECT_EQ(pocsag.rowText(ReceptionListModel::kMaxRows - 1), row(7));

    // A long day's log reloaded at start-up is held to the same size.
    ReceptionListModel fms(ReceptionKind::Fms);
    QStringList day;
    for (int i = 0; i < ReceptionListModel::kMaxRows + 100; ++i) {
        day.append(row(i));
    }
    fms.addRows(day);
    EXPECT_EQ(fms.rowCount(), ReceptionListModel::kMaxRows);
    EXPECT_EQ(fms.rowText(0), row(ReceptionListModel::kMaxRows + 99));
}

TEST(AlertList, EntryTextSelectionAndGreen) {
    AlertLists lists;
    QSignalSpy background(&lists.List3, &AlertListModel::backgroundChanged);
    EXPECT_EQ(lists.List1.label(), QStringLiteral(" SprechTaste"));
    EXPECT_EQ(lists.List3.background(), kLightGrey);
    EXPECT_FALSE(AppendAlertLine(lists.List3, QStringLiteral("00000000"), kNow));
    EXPECT_EQ(lists.List3.rowCount(), 0);
    EXPECT_TRUE(AppendAlertLine(lists.List3, QStringLiteral(" 62345678 "), kNow));
    EXPECT_TRUE(
        AppendAlertLine(lists.List1, QStringLiteral("Tonruf II"), kNow.addSecs(-3600 * 10)));
    EXPECT_EQ(lists.List3.entries(), QStringList{"15:52:42 62345678        \t07.12.2004 15:52:42"});
    EXPECT_EQ(lists.List1.entries(),
              QStringList{"05:52:42 Tonruf II        \t07.12.2004 05:52:42"});
    EXPECT_EQ(lists.List3.selectedRow(), 0);
    EXPECT_EQ(lists.List3.background(), kAlertGreen);
    EXPECT_EQ(background.count(), 1);

    // A press on the list removes the selected entry; empty, it turns grey.
    EXPECT_TRUE(lists.List3.removeSelected());
    EXPECT_EQ(lists.List3.rowCount(), 0);
    EXPECT_EQ(lists.List3.background(), kLightGrey);
    EXPECT_FALSE(lists.List3.removeSelected());
}

TEST(AlertList, RemovingOneOfSeveralKeepsItGreenAndSelectsNothing) {
    AlertListModel list(QStringLiteral("Status5"));
    const QAbstractItemModelTester tester(&list,
                                          QAbstractItemModelTester::FailureReportingMode::Fatal);
    AppendAlertLine(list, QStringLiteral("61111111"), kNow);
    AppendAlertLine(list, QStringLiteral("62222222"), kNow);
    EXPECT_EQ(list.selectedRow(), 1);
    EXPECT_TRUE(list.removeSelected());
    EXPECT_EQ(list.selectedRow(), -1);
    EXPECT_EQ(list.background(), kAlertGreen);
    EXPECT_FALSE(list.removeSelected());
    list.setSelectedRow(0);
    EXPECT_TRUE(list.removeSelected());
    EXPECT_EQ(list.background(), kLightGrey);
}

TEST(AlertList, MoreThanHundredEntriesAreClearedBeforeTheNext) {
    AlertListModel list(QStringLiteral("Status 0"));
    for (int i = 0; i < 101; ++i) {
        AppendAlertLine(list, QStringLiteral("6%1").arg(i, 7, 10, QChar(u'0')), kNow);
    }
    EXPECT_EQ(list.rowCount(), 101); // the 101st still went in (100 were not more than 100)
    AppendAlertLine(list, QStringLiteral("69999999"), kNow);
    EXPECT_EQ(list.rowCount(), 1);
    EXPECT_TRUE(list.entries().front().contains(QStringLiteral("69999999")));
    EXPECT_EQ(list.selectedRow(), 0);
}

TEST(AlertList, HousekeepingRemovesEntriesOlderThanFourMinutes) {
    AlertLists lists;
    const QAbstractItemModelTester tester(&lists.List2,
                                          QAbstractItemModelTester::FailureReportingMode::Fatal);
    const QDateTime beforeMidnight(QDate(2004, 12, 7), QTime(23, 58, 0));
    AppendAlertLine(lists.List2, QStringLiteral("61111111"), beforeMidnight); // 5 min old
    AppendAlertLine(lists.List2, QStringLiteral("62222222"),
                    beforeMidnight.addSecs(60)); // exactly 4 min
    AppendAlertLine(lists.List2, QStringLiteral("63333333"),
                    beforeMidnight.addSecs(150)); // 2.5 min
    lists.List2.appendEntry(QStringLiteral("no time here"));
    lists.List2.setSelectedRow(2);
    AppendAlertLine(lists.List3, QStringLiteral("64444444"), beforeMidnight);
    const QDateTime now = beforeMidnight.addSecs(300); // 00:03 on the next day

    EXPECT_EQ(lists.removeExpired(now), 2);
    EXPECT_EQ(lists.List2.rowCount(), 3);
    EXPECT_TRUE(lists.List2.entries().front().contains(QStringLiteral("62222222")));
    EXPECT_EQ(lists.List2.selectedRow(), 1); // still the 63333333 entry
    EXPECT_EQ(lists.List2.background(), kAlertGreen);
    EXPECT_EQ(lists.List3.rowCount(), 0);
    EXPECT_EQ(lists.List3.background(), kLightGrey);
    EXPECT_EQ(lists.List1.background(), kLightGrey);

    EXPECT_EQ(lists.removeExpired(now.addSecs(600)), 2);
    EXPECT_EQ(lists.List2.entries(), QStringList{"no time here"}); // left for the user
}

} // namespace
} // namespace tolvana
