// The three line forms as receivers read them.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "export/export_line.h"

namespace tolvana {
namespace {

struct LineCase {
    const char* what;
    std::string line;
    const char* expected;
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.what;
}

class ExportLineForms : public ::testing::TestWithParam<LineCase> {};

TEST_P(ExportLineForms, MatchTheReceiversFormat) {
    EXPECT_EQ(GetParam().line, GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ExportLineForms,
    ::testing::Values(
        LineCase{"TKI and direction share the fourth field",
                 fmsExportLine(FmsTelegram{"12345678", 1, 12, 1}), "##FMS#12345678#12#11#+"},
        LineCase{"status 3, TKI 2, vehicle to control room",
                 fmsExportLine(FmsTelegram{"62345678", 2, 3, 0}), "##FMS#62345678#3#20#+"},
        LineCase{"a call without name keeps its empty field", zveiExportLine("12345", ""),
                 "##ZVEI#12345##+"},
        LineCase{"a '#' in a name cannot split the field", zveiExportLine("23456", "FF #2"),
                 "##ZVEI#23456#FF *2#+"},
        LineCase{"nor in a pager text", pocsagExportLine(1234567, 3, "#Einsatz ##12# #+"),
                 "##POC#1234567#3#*Einsatz **12* *+#+"},
        LineCase{"empty pager text", pocsagExportLine(1234567, 0, ""), "##POC#1234567#0##+"},
        LineCase{"RIC without leading zeros", pocsagExportLine(8, 3, "Probealarm"),
                 "##POC#8#3#Probealarm#+"}));

/// A receiver as they are written: splits the stream at the end mark "#+"
/// and each record at "#".
std::vector<std::vector<std::string>> receive(const std::string& stream) {
    std::vector<std::vector<std::string>> records;
    std::size_t from = 0;
    for (std::size_t end = stream.find("#+"); end != std::string::npos; end = stream.find("#+", from)) {
        std::vector<std::string> fields;
        const std::string record = stream.substr(from, end - from);
        std::size_t at = 0;
        for (std::size_t hash = record.find('#'); hash != std::string::npos; hash = record.find('#', at)) {
            fields.push_back(record.substr(at, hash - at));
            at = hash + 1;
        }
        fields.push_back(record.substr(at));
        records.push_back(fields);
        from = end + 2;
    }
    return records;
}

// A pager text written to look like the end of its record and a whole record
// after it: the receiver still sees the one page that was received, with its
// fields where they belong, and the next real record after it.
TEST(ExportLineForgery, TextFromTheAirCannotAddARecord) {
    const std::string forged = "#+##POC#9999999#0#FAKE#+";
    const std::string stream = pocsagExportLine(1234567, 2, "Probealarm" + forged) +
                               zveiExportLine("12345", "FF Nord#+##ZVEI#99999#") +
                               fmsExportLine(FmsTelegram{"62345678", 2, 3, 0});
    using Fields = std::vector<std::string>;
    EXPECT_EQ(receive(stream), (std::vector<Fields>{{"", "", "POC", "1234567", "2", "Probealarm*+**POC*9999999*0*FAKE*+"},
                                                    {"", "", "ZVEI", "12345", "FF Nord*+**ZVEI*99999*"},
                                                    {"", "", "FMS", "62345678", "3", "20"}}));
    EXPECT_EQ(exportField("a#b##"), "a*b**");
}

} // namespace
} // namespace tolvana
