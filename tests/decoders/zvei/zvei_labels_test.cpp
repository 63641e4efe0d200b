// Tone frequencies to call characters: the label windows, their order where
// they overlap, the tie rule, and the repeat tone across sequences.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "decoders/zvei/zvei_labels.h"

namespace tolvana {
namespace {

struct LabelCase {
    double hz;
    const char* text; // "" = no character; "R" = repeat tone
};

std::string describe(ZveiToneLabel label) {
    switch (label.kind) {
    case ZveiToneKind::None:
        return "";
    case ZveiToneKind::Repeat:
        return "R";
    case ZveiToneKind::Character:
        break;
    }
    return std::string(label.text);
}

TEST(ZveiLabels, WindowsOrderAndTies) {
    const std::vector<LabelCase> cases{
        // the ZVEI1 digits, repeat tone and "Gr" at their centres
        {1060, "1"}, {1160, "2"}, {1270, "3"}, {1400, "4"}, {1530, "5"}, {1670, "6"},
        {1830, "7"}, {2000, "8"}, {2200, "9"}, {2400, "0"}, {2600, "R"}, {2800, "Gr"},
        // letters
        {810, "C"}, {885, "H"}, {1750, "U"}, {1860, "L"}, {2135, "J"}, {2280, "P"},
        // "7" owns R = 185; R = 185.5 goes to the even 186
        {1850, "7"}, {1854.9, "7"}, {1855, "L"}, {1874.9, "L"}, {1875, ""},
        // ties round to the even neighbour at both edges of a window
        {1045, ""}, {1055, "1"}, {1074.9, "1"}, {1075, ""}, {1065, "1"},
        {2375, "0"}, {2454.9, "0"}, {2455, ""},
        {875, "H"}, {895, ""}, {865, ""},
        // between the windows and outside the band
        {1100, ""}, {1200, ""}, {600, ""}, {3000, ""}, {0, ""}, {-1060, ""}, {1e12, ""},
    };
    for (const LabelCase& c : cases) {
        EXPECT_EQ(describe(zveiToneLabel(c.hz)), c.text) << c.hz << " Hz";
    }
    EXPECT_EQ(describe(zveiToneLabel(std::numeric_limits<double>::quiet_NaN())), "");
    EXPECT_EQ(describe(zveiToneLabel(std::numeric_limits<double>::infinity())), "");
}

struct AssemblyCase {
    std::vector<double> hz;
    char lastBefore;
    const char* text;
    bool anyLabel;
    char lastAfter;
};

TEST(ZveiLabels, AssemblyRepeatsAndCarriesTheLastCharacter) {
    const std::vector<AssemblyCase> cases{
        {{1060, 1160, 1270, 1400, 1530}, '\0', "12345", true, '5'},
        {{1060, 2600, 1060, 2600, 1060}, '\0', "11111", true, '1'},
        // a repeat tone first repeats the previous sequence's final character
        {{2600, 1160, 2600, 1400, 1530}, '9', "92245", true, '5'},
        {{2600, 1160, 1270, 1400, 1530}, '\0', "2345", true, '5'},
        // an unknown tone appends nothing; a repeat after it repeats the last known one
        {{1060, 1100, 2600, 1400, 1530}, '\0', "1145", true, '5'},
        {{1060, 1160, 2800, 1270, 1400}, '\0', "12Gr34", true, '4'},
        {{1060, 1160, 2800, 1270, 1100}, '\0', "12Gr3", true, '3'},
        // nothing a ZVEI tone: no label at all, the carried character stays
        {{600, 700, 950, 1100, 1200}, '7', "", false, '7'},
        {{2600, 600, 600, 600, 600}, '\0', "", true, '\0'},
    };
    for (const AssemblyCase& c : cases) {
        char last = c.lastBefore;
        const ZveiCallText call = assembleZveiCall(c.hz.data(), c.hz.size(), last);
        EXPECT_EQ(call.text, c.text);
        EXPECT_EQ(call.anyLabel, c.anyLabel) << c.text;
        EXPECT_EQ(last, c.lastAfter) << c.text;
    }
}

} // namespace
} // namespace tolvana
