#include "decoders/fms/fms_texts.h"

#include <array>
#include <string_view>

namespace tolvana {

namespace {

// Index = the digit as sent in the telegram.
constexpr std::array<std::string_view, 16> kOrganisations{
    "Sonstige",   "Polizei",  "BGS",  "BKA",            "Katastrophenschutz", "Zoll",
    "Feuerwehr",  "THW",      "ASB",  "DRK",            "Johanniter",         "Malteser",
    "DLRG",       "Rettungsdienst",   "Zivilschutz",    "Fernwirktel."};

// Digit 0 is Saxony and 1 the federal level; Bavaria has two digits (3, 13),
// and 14/15 are shared by two states each, split by the place digits.
constexpr std::array<std::string_view, 16> kStates{
    "Sachsen",    "Bund",       "Bad-W\u00FCrt", "Bay I",    "Berlin",  "Bremen",
    "Hamburg",    "Hessen",     "Nieders",       "Nord-Westf", "Rheinla-Pf", "Schlesw-Hol",
    "Saarland",   "Bay II",     "S/Meckl",       "Th/Brandenb"};

// Characters (code points) of a UTF-8 text: every byte that does not
// continue a multi-byte sequence starts a character.
std::size_t characterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (const char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0u) != 0x80u) {
            ++count;
        }
    }
    return count;
}

std::string padded(std::string_view name, int width) {
    std::string out(name);
    const auto wanted = static_cast<std::size_t>(width);
    const std::size_t have = characterCount(name);
    if (have < wanted) {
        out.append(wanted - have, ' ');
    }
    return out;
}

template <std::size_t N>
std::string lookUp(const std::array<std::string_view, N>& table, int index, int width) {
    if (index < 0 || static_cast<std::size_t>(index) >= table.size()) {
        return padded({}, width);
    }
    return padded(table[static_cast<std::size_t>(index)], width);
}

} // namespace

std::string organisationName(int index) {
    return lookUp(kOrganisations, index, kOrganisationNameWidth);
}

std::string stateName(int index) { return lookUp(kStates, index, kStateNameWidth); }

int hexDigitValue(char digit) noexcept {
    if (digit >= '0' && digit <= '9') {
        return digit - '0';
    }
    if (digit >= 'A' && digit <= 'F') {
        return digit - 'A' + 10;
    }
    if (digit >= 'a' && digit <= 'f') {
        return digit - 'a' + 10;
    }
    return -1;
}

} // namespace tolvana
