// Organisation and federal-state names of unknown vehicles.
#include <gtest/gtest.h>

#include "decoders/fms/fms_texts.h"

namespace tolvana {
namespace {

// Width in characters of a UTF-8 text.
std::size_t characters(const std::string& s) {
    std::size_t n = 0;
    for (const char c : s) {
        n += (static_cast<unsigned char>(c) & 0xC0u) != 0x80u ? 1 : 0;
    }
    return n;
}

TEST(FmsTexts, EveryNameIsPaddedToItsWidthInCharacters) {
    for (int i = -1; i <= 16; ++i) {
        EXPECT_EQ(characters(organisationName(i)), 32u) << i;
        EXPECT_EQ(characters(stateName(i)), 16u) << i;
    }
    // The umlaut takes two bytes but one place.
    EXPECT_EQ(stateName(2), "Bad-W\u00FCrt        ");
    EXPECT_EQ(stateName(2).size(), 17u);
}

TEST(FmsTexts, IdentityDigitsPickTheirNames) {
    struct Row {
        const char* kennung;
        const char* organisation;
        const char* state;
    };
    for (const Row& r : {Row{"68", "Feuerwehr", "Nieders"}, Row{"F0", "Fernwirktel.", "Sachsen"},
                         Row{"01", "Sonstige", "Bund"}, Row{"3d", "BKA", "Bay II"},
                         Row{"DE", "Rettungsdienst", "S/Meckl"}, Row{"9F", "DRK", "Th/Brandenb"}}) {
        const std::string org = organisationName(hexDigitValue(r.kennung[0]));
        const std::string land = stateName(hexDigitValue(r.kennung[1]));
        EXPECT_EQ(org.substr(0, org.find_last_not_of(' ') + 1), r.organisation) << r.kennung;
        EXPECT_EQ(land.substr(0, land.find_last_not_of(' ') + 1), r.state) << r.kennung;
    }
    // The reception row joins them with one blank: 49 characters in all.
    EXPECT_EQ(organisationName(6) + " " + stateName(8),
              "Feuerwehr                        Nieders         ");
    EXPECT_EQ(hexDigitValue('G'), -1);
    EXPECT_EQ(organisationName(hexDigitValue('?')), std::string(32, ' '));
}

} // namespace
} // namespace tolvana
