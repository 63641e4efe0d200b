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
//
// Bit slips. When the receiver loses or gains a bit inside a batch, every
// later codeword is read one bit early or late:
//
//   sent      | idle 7A89C197 | address  | message  | ...
//   read      |  idle  |x| F513832E | shifted  | shifted  | ...   (a bit lost at x)
//
// Because the code is cyclic, a codeword read one bit off is always within
// two bits of another codeword (its rotation): the check alone would pass
// it, and half of them would look like addresses. The batch check therefore
// reads each codeword at up to two bits either side of its place and follows
// the reading that fits the batch best (see checkBatch).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

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

/// Codewords in a batch: the sync codeword and eight frames of two.
inline constexpr std::size_t kBatchCodewords = 17;
/// The largest slip, in bits either way, that the batch check follows.
inline constexpr int kMaxSlipBits = 2;
/// Where the sync codeword after a batch stood is not known (none came at
/// its place, or the transmission ended first).
inline constexpr int kUnknownOffset = 1000;

/// One codeword of a batch as the batch check read it.
struct BatchWord {
    CodewordCheck check;
    int offset = 0;    ///< bits the reading stands late (+) or early (-) of the nominal place
    bool slip = false; ///< the reading moved between the codeword before and this one
    /// Before a move, the codeword fits the reading after the move as well as
    /// its own: which of the two was sent cannot be told.
    bool doubtful = false;
};

/// A batch after the check; positions as in the batch given.
struct CheckedBatch {
    std::array<BatchWord, kBatchCodewords> words{};
    std::size_t size = 0;
};

/// Checks every codeword of a batch (position 0 the sync codeword, which the
/// receiver found exactly) and follows bit slips: among all ways of reading
/// the batch with the codeword boundaries moving by at most kMaxSlipBits, the
/// one whose codewords need the fewest corrections, idles counting as the
/// surest fit and every bit of movement as a cost, so that a batch received
/// in step is never moved. Where the reading moves, the codeword at the move
/// is marked, and so are the codewords before it that fit either reading.
/// At most kBatchCodewords words are read. `nextSyncOffset`: how many bits
/// late (+) or early (-) the receiver found the sync codeword after the
/// batch; the reading must end there.
void checkBatch(std::span<const std::uint32_t> batch, CheckedBatch& out,
                int nextSyncOffset = kUnknownOffset) noexcept;

} // namespace tolvana::pocsag
