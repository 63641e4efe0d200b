// Protection of a POCSAG codeword: a BCH(31,21) code plus an even parity bit.
//
//   bit 31 30                                  11 10                  1   0
//      +--+--------------------------------------+---------------------+---+
//      |F |  20 data bits (message, F = 1)        | 10 BCH check bits   | P |
//      |  |  18 address bits + 2 function bits    |                     |   |
//      +--+--------------------------------------+---------------------+---+
//      sent first                                                 sent last
//
// Bits 31..1 are a word of the cyclic BCH(31,21) code with the generator
// g(x) = x^10 + x^9 + x^8 + x^6 + x^5 + x^3 + 1, bit 31 standing for x^30.
// Bit 0 makes the number of ones in all 32 bits even. The code's minimum
// distance is 5, with the parity bit 6: any one or two wrong bits of the 32
// can be put right, and three wrong bits are always seen, never mistaken
// for another codeword.
#pragma once

#include <cstdint>

namespace tolvana::pocsag {

/// Starts every batch; the receiver finds the batch by it.
inline constexpr std::uint32_t kSyncCodeword = 0x7CD215D8u;
/// Fills frames that carry no address or message.
inline constexpr std::uint32_t kIdleCodeword = 0x7A89C197u;

/// The remainder of bits 31..1 divided by the generator (10 bits); zero for a
/// word of the code.
std::uint32_t bchSyndrome(std::uint32_t word) noexcept;

/// What the check of one received codeword found.
struct CodewordCheck {
    std::uint32_t word = 0; ///< corrected when `valid`, else as received
    int corrected = 0;      ///< bits put right: 0, 1 or 2
    bool valid = false;     ///< false: three or more bits wrong, left as received
};

/// Checks a received codeword and puts one or two wrong bits right (the
/// parity bit counts as one of them). A correction is accepted only when the
/// whole word then has even parity, so that three wrong bits are reported as
/// uncorrectable instead of being turned into a different codeword.
CodewordCheck checkCodeword(std::uint32_t received) noexcept;

} // namespace tolvana::pocsag
