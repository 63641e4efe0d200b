// Names of the first two digits of an FMS identity: the organisation (BOS)
// and the federal state (Land). The reception row of a vehicle that is not in
// the vehicle table shows these instead of the vehicle's own texts.
//
//   Kennung   O L P P V V V V      O organisation, L Land (both hex 0..F),
//             ^ ^                  P place, V vehicle
//             | +-- stateName(L)         16 characters, blank-padded
//             +---- organisationName(O)  32 characters, blank-padded
//
// The texts are fixed-width, padded by characters (not bytes), so a name
// with an umlaut ("Bad-W\u00FCrt") is as wide on screen as the others. UTF-8.
#pragma once

#include <string>

namespace tolvana {

inline constexpr int kOrganisationNameWidth = 32;
inline constexpr int kStateNameWidth = 16;

/// Organisation name for digit 0..15, blank-padded to 32 characters. Any
/// other index gives 32 blanks.
std::string organisationName(int index);
/// Federal-state name for digit 0..15, blank-padded to 16 characters. Any
/// other index gives 16 blanks.
std::string stateName(int index);

/// Value of a hexadecimal identity digit ('0'..'9', 'A'..'F', 'a'..'f'), or
/// -1 for any other character.
int hexDigitValue(char digit) noexcept;

} // namespace tolvana
