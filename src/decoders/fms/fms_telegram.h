// FMS telegram decoder of one channel side: sliced bits in, FmsTelegram and
// the text of a digital alarm's follow-up telegrams out.
//
// First telegram, 56 positions in order of reception. Every field is sent
// least significant bit first: value = sum of bit[a + j] * 2^j.
//
//   0       8    12   16   20   24   28   32   36   40   44 45 46  48      55
//   | sync  | BOS| Land|Ort1|Ort2|Kfz1|Kfz2|Kfz3|Kfz4|Stat| B| R|TKI| CRC  |E|
//   00011010                                              |  |  `- 0..3
//                                   Baustufe (not used) --'  `-- Richtung
//
//   sync  block synchronisation after the preamble of ones (not examined)
//   CRC   7 bits over positions 8..47, generator x^7 + x^6 + x^2 + 1, the
//         highest coefficient first (position 48), register starting at 0
//   E     end bit (not examined)
//
// Kennung: BOS, Land and the two place digits as hex digits "0".."F"; the
// four vehicle digits as the decimal text of their value (a nibble of 10..15
// gives two characters, and the identity is then rejected as too long).
//
// A control room's status 10 ("Lst->Fzg") announces a digital alarm: the
// next telegrams are follow-ups of 48 positions carrying 7-bit characters.
//
//   first follow-up:  0 | 1..7 count | 8..14 ch | 16..22 ch | 24..30 ch | 32..35 end mark
//   later ones:    0..6 ch | 8..14 ch | 16..22 ch | 24..30 ch | 32..35 end mark
//
//   "count" is the number of follow-ups that come after the first one; a
//   character 4 or an end mark of 11 ends the text early, and so does a 26th
//   follow-up. Characters below 32 are not text.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "decoders/common/types.h"
#include "decoders/fms/fms_demodulator.h"

namespace tolvana {

/// Why a telegram failed the plausibility check (the first reason that holds).
enum class FmsRejection : std::uint8_t {
    None = 0,
    UndecodableBit, ///< a bit among positions 0..47 fitted neither tone
    CrcMismatch,    ///< positions 48..54 do not match the CRC of 8..47
    KennungLength,  ///< a vehicle digit above 9 made the identity longer than 8
    TooManyZeros,   ///< six or more "0" characters in the identity
    ReservedPrefix, ///< the identity starts with "0000" or "FFFF"
};
inline constexpr std::size_t kFmsRejectionCount = 6;

/// What the decoder has seen, by kind, rtl_433 style.
struct FmsCounters {
    std::uint64_t telegrams = 0; ///< first telegrams decoded
    std::uint64_t plausible = 0;
    std::array<std::uint64_t, kFmsRejectionCount> rejected{}; ///< indexed by FmsRejection
    std::uint64_t followUps = 0;     ///< follow-up telegrams read
    std::uint64_t lostFollowUps = 0; ///< follow-ups with undecodable bits ("---")

    std::uint64_t rejections(FmsRejection why) const noexcept {
        return rejected[static_cast<std::size_t>(why)];
    }
};

/// The 7-bit CRC of positions 8..47 as it is sent in positions 48..54
/// (bit 6 of the result is position 48). Bits other than 0 count as 1.
std::uint8_t fmsCrc(const FmsBits& bits) noexcept;

class FmsTelegramDecoder {
public:
    /// Number of positions the slicer must deliver next.
    int bitsToSlice() const noexcept {
        return m_followUpPending ? kFmsFollowUpBits : kFmsTelegramBits;
    }
    /// Decodes one slicing (a first telegram, or a follow-up while one is
    /// awaited). Returns true when a reception is ready in reception().
    bool decode(const FmsBits& bits);

    /// The last first telegram with its follow-up text and plausibility.
    const FmsReception& reception() const noexcept { return m_reception; }
    bool followUpPending() const noexcept { return m_followUpPending; }
    /// Reason of the last first telegram's rejection, None when plausible.
    FmsRejection rejection() const noexcept { return m_rejection; }
    const FmsCounters& counters() const noexcept { return m_counters; }

private:
    void decodeFirst(const FmsBits& bits);
    void decodeFollowUp(const FmsBits& bits);
    void appendCharacter(int code);

    FmsReception m_reception;
    FmsRejection m_rejection = FmsRejection::None;
    int m_followUpCount = 0;
    int m_followUpTotal = 0;
    bool m_followUpPending = false;
    FmsCounters m_counters;
};

} // namespace tolvana
