// POCSAG message decoder: the batches of one transmission in, one page out.
//
//   address codeword (flag 0)              message codeword (flag 1)
//    31 30            13 12 11 10   1  0     31 30                 11 10   1  0
//   +--+----------------+-----+------+--+   +--+---------------------+------+--+
//   |0 | 18 address bits| fn  | BCH  |P |   |1 | 20 data bits         | BCH  |P |
//   +--+----------------+-----+------+--+   +--+---------------------+------+--+
//
//   RIC = address bits * 8 + frame, the frame (0..7) being the pair of batch
//   positions the address stands in: positions 1,2 are frame 0 ... 15,16 frame 7.
//
//   The data bits of a message's codewords (30 down to 11, codeword after
//   codeword) form one bit stream, read in one of two ways:
//
//   alphanumeric: 7-bit characters, least significant bit first, running on
//   from one codeword into the next, the last one filled up with zero bits
//   or end marks:
//     | c0.0 c0.1 ... c0.6 c1.0 ... c2.5 | c2.6 c3.0 ... |
//
//   numeric: 4-bit digits, least significant bit first, five per codeword,
//   the last one filled up with blanks:
//     | d0.0 d0.1 d0.2 d0.3 d1.0 ... d4.3 | d5.0 ... |
//     0..9 the digits, B "U", C blank, D "-", E ")", F "(", A reserved
//
// The function bits do not say which: German BOS pagers take text on every
// function (the function selects the alert), so the content decides
// (isNumeric).
//
// A transmission gives at most one page: the RIC and function of its first
// address, with the text of the message decoded last in it. A message runs
// until a codeword that is neither a message codeword nor the sync codeword,
// so it continues across batches.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "decoders/common/types.h"
#include "decoders/pocsag/pocsag_bch.h"

namespace tolvana {

/// What the codeword check has seen since the decoder was made.
struct PocsagCodewordCounts {
    std::uint64_t codewords = 0;     ///< codewords read, sync codewords included
    std::uint64_t corrected = 0;     ///< of them, put right (one or two bits)
    std::uint64_t uncorrectable = 0; ///< of them, three or more bits wrong
    std::uint64_t slips = 0;         ///< bit slips followed inside a batch
    std::uint64_t untrusted = 0;     ///< valid addresses not taken where the reading was doubtful
};

class PocsagMessageDecoder {
public:
    PocsagMessageDecoder() { m_text.reserve(kMaxTextBytes); }

    /// One batch as the demodulator collected it; position 0 is the sync
    /// codeword. Every batch is read from its position 0.
    void processBatch(std::span<const std::uint32_t> batch);
    /// The transmission has ended: the page, if an address was taken and the
    /// transmission was seen to be POCSAG (an idle or sync codeword counted);
    /// then everything of the transmission is forgotten.
    std::optional<PocsagPage> endTransmission();

    bool addressPending() const noexcept { return m_addressPending; }
    const PocsagCodewordCounts& counts() const noexcept { return m_counts; }

    /// Whether message codewords carry numeric digits rather than text. Bit i
    /// of `damaged` marks codeword i as received beyond repair: what it holds
    /// is no evidence either way. Without clear evidence the answer is text.
    static bool isNumeric(std::span<const std::uint32_t> words, std::uint64_t damaged) noexcept;
    /// The text of a message, read as isNumeric decides, UTF-8.
    static void decodeMessage(std::span<const std::uint32_t> words, std::uint64_t damaged,
                              std::string& text);
    /// The text of 7-bit characters in `words`' data bits, UTF-8, with the
    /// German characters of the 7-bit set mapped; an incomplete last
    /// character is dropped.
    static void decodeText(std::span<const std::uint32_t> words, std::string& text);
    /// The digits in `words`' data bits; the blanks that fill the last
    /// codeword are dropped.
    static void decodeNumeric(std::span<const std::uint32_t> words, std::string& text);

private:
    static constexpr std::size_t kMaxMessageWords = 63; // 180 characters
    static constexpr std::size_t kMaxTextBytes = 5 * 180;

    void addressStep(const pocsag::CheckedBatch& batch, std::size_t position);
    bool messageStep(const pocsag::BatchWord& word);

    enum class Mode : std::uint8_t { Address, Message };

    Mode m_mode = Mode::Address;
    bool m_addressPending = false;
    std::uint32_t m_ric = 0;
    int m_function = 0;
    std::array<std::uint32_t, kMaxMessageWords> m_messageWords{};
    std::uint64_t m_damagedWords = 0; ///< bit i: message codeword i beyond repair
    std::size_t m_messageCount = 0;
    std::string m_text;
    int m_idleCount = 0;
    int m_syncCount = 0;
    PocsagCodewordCounts m_counts;
};

} // namespace tolvana
