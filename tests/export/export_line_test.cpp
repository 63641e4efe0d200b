// The three line forms as receivers read them.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

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
        LineCase{"a name with '#' stays as it is", zveiExportLine("23456", "FF #2"),
                 "##ZVEI#23456#FF #2#+"},
        LineCase{"empty pager text", pocsagExportLine(1234567, 0, ""), "##POC#1234567#0##+"},
        LineCase{"RIC without leading zeros", pocsagExportLine(8, 3, "Probealarm"),
                 "##POC#8#3#Probealarm#+"}));

} // namespace
} // namespace tolvana
