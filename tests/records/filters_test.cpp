#include <gtest/gtest.h>

#include <vector>

#include "records/filters.h"
#include "records_fixture.h"

namespace tolvana {
namespace {

using test::readBytes;
using test::writeBytes;

struct FilterCase {
    const char* name;
    QList<FilterEntry> entries;
    const char* text;
    bool passes;
};
void PrintTo(const FilterCase& c, std::ostream* os) {
    *os << c.name;
}

class FilterCheck : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterCheck, DecidesAsTheListsSay) {
    FilterTable table;
    table.setEntries(GetParam().entries);
    EXPECT_EQ(table.passes(QString::fromLatin1(GetParam().text)), GetParam().passes);
}

const QList<FilterEntry> kFms{{"6", 0}, {"62", 1}};
const QList<FilterEntry> kZvei{{"123", 0}};

INSTANTIATE_TEST_SUITE_P(
    Filters, FilterCheck,
    ::testing::Values(FilterCase{"NoEntriesLetEverythingThrough", {}, "62345678", true},
                      FilterCase{"PositivePrefixPasses", kFms, "61234567", true},
                      FilterCase{"NegativeOverridesPositive", kFms, "62345678", false},
                      FilterCase{"NotOnThePositiveList", kFms, "71234567", false},
                      FilterCase{"ZveiPrefixPasses", kZvei, "12345", true},
                      FilterCase{"ZveiPrefixPassesToo", kZvei, "12399", true},
                      FilterCase{"ZveiOtherCallDropped", kZvei, "21234", false},
                      FilterCase{"TrailingBlankIgnored", kFms, "61234567 ", true},
                      FilterCase{"LeadingBlankIgnored", kFms, "  62345678", false},
                      FilterCase{"AsteriskIsNoWildcard", {{"123*", 0}}, "12345", false},
                      FilterCase{"AsteriskIsAnOrdinaryCharacter", {{"123*", 0}}, "123*5", true},
                      FilterCase{"LettersIgnoreCase", {{"6a", 0}}, "6A123456", true},
                      FilterCase{"NegativeOnly", {{"62", 1}}, "61234567", true},
                      FilterCase{"NegativeOnlyDrops", {{"62", 1}}, "62345678", false},
                      FilterCase{"OtherListKindCountsNowhere", {{"7", 2}}, "61234567", true},
                      FilterCase{
                          "OtherListKindNeverMatches", {{"6", 0}, {"6", 2}}, "61234567", true},
                      FilterCase{"RicPrefix", {{"12345", 0}}, "1234567", true},
                      FilterCase{"LongerEntryThanText", {{"1234567", 0}}, "12345", false}),
    [](const auto& p) { return std::string(p.param.name); });

using Filters = test::RecordsTest;

TEST_F(Filters, FilesLoadPerKindAndBadLinesAreReportedWithTheirNumber) {
    writeBytes(folder().filterFile(FilterKind::Fms), "6\t0\r\n62\t1\r\n\r\n7\t2\r\n ohne Tab\r\n");
    writeBytes(folder().filterFile(FilterKind::Zvei), "123\t0\n");
    FilterTables filters(folder());
    const FileResult result = filters.rebuildFilters();
    EXPECT_TRUE(result.ok());
    ASSERT_EQ(result.warnings().size(), 1);
    EXPECT_TRUE(result.warnings()[0].startsWith(QStringLiteral("filter_fms.txt, Zeile 5")))
        << result.warnings()[0].toStdString();

    const FilterTable& fms = filters.table(FilterKind::Fms);
    EXPECT_EQ(fms.entries().size(), 3);
    EXPECT_EQ(fms.positiveCount(), 1);
    EXPECT_EQ(fms.negativeCount(), 1);
    EXPECT_TRUE(filters.filterFms(QStringLiteral("61234567")));
    EXPECT_FALSE(filters.filterFms(QStringLiteral("62345678")));
    EXPECT_FALSE(filters.filterZvei(QStringLiteral("21234")));
    EXPECT_TRUE(filters.filterPocsag(QStringLiteral("1234567"))); // no file: everything passes
}

TEST_F(Filters, NewEntriesAreAppendedAndTakeEffect) {
    FilterTables filters(folder());
    ASSERT_TRUE(filters.addFilterEntry(QStringLiteral("6"), kPositiveList, FilterKind::Fms).ok());
    ASSERT_TRUE(
        filters.addFilterEntry(QStringLiteral("62\u00C4"), kNegativeList, FilterKind::Fms).ok());
    ASSERT_TRUE(
        filters.addFilterEntry(QStringLiteral("1200"), kNegativeList, FilterKind::Pocsag).ok());
    EXPECT_EQ(readBytes(folder().filterFile(FilterKind::Fms)), QByteArray("6\t0\r\n62\xC4\t1\r\n"));
    EXPECT_EQ(readBytes(folder().filterFile(FilterKind::Pocsag)), QByteArray("1200\t1\r\n"));
    EXPECT_FALSE(filters.filterFms(QStringLiteral("71234567")));
    EXPECT_FALSE(filters.filterPocsag(QStringLiteral("1200003")));
    EXPECT_EQ(filters.listEntries(FilterTables::listIndexOf(FilterKind::Fms, kNegativeList)),
              QStringList{QStringLiteral("62\u00C4")});
    EXPECT_EQ(filters.listEntries(5), QStringList{"1200"});
    EXPECT_TRUE(filters.listEntries(2).isEmpty());

    for (const char16_t* bad : {u"", u"6\t1", u"6\n"}) {
        EXPECT_FALSE(
            filters.addFilterEntry(QString::fromUtf16(bad), kPositiveList, FilterKind::Fms).ok());
    }
    EXPECT_EQ(readBytes(folder().filterFile(FilterKind::Fms)), QByteArray("6\t0\r\n62\xC4\t1\r\n"));
}

// An entry with no text is a prefix of every identifier: in the negative
// list it silently dropped every pager message. It is skipped with a word on
// load and refused by "neu"; the other entries keep working.
TEST_F(Filters, AnEmptyEntryIsSkippedOnLoadAndRefusedWhenAdded) {
    writeBytes(folder().filterFile(FilterKind::Pocsag), "\t1\r\n   \t1\r\n1200\t1\r\n");
    FilterTables filters(folder());
    const FileResult result = filters.rebuildFilters();
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.warnings(),
              (QStringList{QStringLiteral("filter_poc.txt, Zeile 1: leerer Filtereintrag (er passte auf jede "
                                          "Kennung); die Zeile wird \u00FCbergangen."),
                           QStringLiteral("filter_poc.txt, Zeile 2: leerer Filtereintrag (er passte auf jede "
                                          "Kennung); die Zeile wird \u00FCbergangen.")}));
    EXPECT_EQ(result.englishWarnings().front(),
              QStringLiteral("filter_poc.txt, line 1: empty filter entry (it would match every identifier); "
                             "line skipped"));
    EXPECT_EQ(filters.table(FilterKind::Pocsag).negativeCount(), 1);
    EXPECT_TRUE(filters.filterPocsag(QStringLiteral("1234567")));
    EXPECT_FALSE(filters.filterPocsag(QStringLiteral("1200003")));

    for (const char16_t* blank : {u"", u"   "}) {
        const FileResult refused =
            filters.addFilterEntry(QString::fromUtf16(blank), kNegativeList, FilterKind::Pocsag);
        EXPECT_FALSE(refused.ok());
        EXPECT_TRUE(refused.error().startsWith(QStringLiteral("Ein leerer Filtereintrag wird nicht gespeichert")))
            << refused.error().toStdString();
    }
    EXPECT_EQ(readBytes(folder().filterFile(FilterKind::Pocsag)), QByteArray("\t1\r\n   \t1\r\n1200\t1\r\n"));
    EXPECT_TRUE(filters.filterPocsag(QStringLiteral("1234567")));
}

TEST_F(Filters, RemovingAnEntryRewritesItsListAndStopsItAtOnce) {
    const QByteArray zvei("123\t0\r\n555\t1\r\n\r\n123\t1\r\nABC\t1\r\n");
    writeBytes(folder().filterFile(FilterKind::Zvei), zvei);
    FilterTables filters(folder());
    ASSERT_TRUE(filters.rebuildFilters().ok());
    EXPECT_FALSE(filters.filterZvei(QStringLiteral("12345")));

    // The negative list's "123" goes; the positive one stays.
    ASSERT_TRUE(filters.removeFilterEntry(QStringLiteral("123"), 3).ok());
    EXPECT_EQ(readBytes(folder().filterFile(FilterKind::Zvei)),
              QByteArray("123\t0\r\n555\t1\r\n\r\nABC\t1\r\n"));
    EXPECT_TRUE(filters.filterZvei(QStringLiteral("12345")));

    ASSERT_TRUE(filters.removeFilterEntry(QStringLiteral("abc"), 3).ok());
    EXPECT_EQ(filters.listEntries(3), QStringList{"555"});
    EXPECT_FALSE(filters.removeFilterEntry(QStringLiteral("123"), 6).ok());
}

} // namespace
} // namespace tolvana
