// POCSAG message decoder: the batches of one transmission in, one page per
// address out.
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
// Every address taken is a page of its own: its RIC, its own function bits
// and the text of the message codewords after it, up to the next address,
// idle or the end of the transmission (empty for a tone-only page). A
// transmission often alerts several pagers at once (an alarm to several
// units), each with its own text or none. A message runs until a codeword
// that is neither a message codeword nor the sync codeword, so it continues
// across batches. The pages of a transmission are handed on at its end, in
// the order sent.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "decoders/common/types.h"
#include "decoders/pocsag/pocsag_bch.h"

namespace tolvana {

namespace pocsag {
struct BatchEvidence;
} // namespace pocsag

/// What the codeword check has seen since the decoder was made.
struct PocsagCodewordCounts {
    std::uint64_t codewords = 0;     ///< codewords read, sync codewords included
    std::uint64_t corrected = 0;     ///< of them, put right (one or two bits)
    std::uint64_t uncorrectable = 0; ///< of them, three or more bits wrong
    std::uint64_t slips = 0;         ///< bit slips followed inside a batch
    std::uint64_t untrusted = 0;     ///< valid addresses not taken where the reading was doubtful
    std::uint64_t overflow = 0;      ///< addresses dropped because kMaxPages pages were held
};

class PocsagMessageDecoder {
public:
    PocsagMessageDecoder() = default;

    /// Pages of one transmission held at most; a longer transmission hands
    /// its pages on as it goes (see PocsagDecoder::run).
    static constexpr std::size_t kMaxPages = 64;

    /// One batch as the demodulator collected it; position 0 is the sync
    /// codeword. Every batch is read from its position 0. `nextSyncOffset`:
    /// where the sync codeword after it was found (see checkBatch).
    void processBatch(std::span<const std::uint32_t> batch, int nextSyncOffset = pocsag::kUnknownOffset);
    /// The transmission has ended: the page still open is closed with the
    /// message codewords received up to here, and if the transmission was
    /// not seen to be POCSAG (no idle or sync codeword counted) its pages are
    /// dropped. Everything else of the transmission is forgotten; the pages
    /// stay in pages() until dropPages().
    void endTransmission();

    /// The pages closed so far, in the order their addresses were sent.
    std::span<const PocsagPage> pages() const noexcept { return {m_pages.data(), m_pageCount}; }
    /// Forgets the closed pages (after they were handed on).
    void dropPages() noexcept { m_pageCount = 0; }
    /// An address has been taken whose page is still open.
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

    void addressStep(const pocsag::CheckedBatch& batch, std::size_t position,
                     const pocsag::BatchEvidence& evidence);
    bool messageStep(const pocsag::BatchWord& word);
    /// Ends the message of the open page: its codewords become its text.
    void closePage();

    enum class Mode : std::uint8_t { Address, Message };

    Mode m_mode = Mode::Address;
    bool m_addressPending = false;
    std::uint32_t m_ric = 0;
    int m_function = 0;
    std::array<std::uint32_t, kMaxMessageWords> m_messageWords{};
    std::uint64_t m_damagedWords = 0; ///< bit i: message codeword i beyond repair
    std::size_t m_messageCount = 0;
    // Closed pages; their texts keep their room from one transmission to the
    // next, so that decoding allocates nothing once each slot has been used.
    std::array<PocsagPage, kMaxPages> m_pages{};
    std::size_t m_pageCount = 0;
    int m_idleCount = 0;
    int m_syncCount = 0;
    PocsagCodewordCounts m_counts;
};

} // namespace tolvana
