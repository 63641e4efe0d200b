// A POCSAG transmitter for golden test signals: calls become codewords with
// valid BCH(31,21) check bits and even parity, codewords become batches
// behind a preamble, and bits become the two-level baseband audio that an FM
// receiver's discriminator gives for a POCSAG transmitter.
//
//   preamble (576 bits 1010...) | sync | 8 frames of 2 codewords | sync | ...
//
// Written from the public format description, independently of the
// decoder: the check bits come from a shift-register encoder, not from the
// decoder's syndrome arithmetic.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/signal.h"

namespace tolvana::test {

inline constexpr std::uint32_t kPocsagSync = 0x7CD215D8u;
inline constexpr std::uint32_t kPocsagIdle = 0x7A89C197u;
inline constexpr int kPocsagPreambleBits = 576;

/// One page to send: the address and what follows it.
struct PocsagCall {
    enum class Kind { AddressOnly, Numeric, Alphanumeric };
    std::uint32_t ric = 0; ///< 21 bits: the frame is ric % 8
    int function = 0;      ///< 0..3
    Kind kind = Kind::Alphanumeric;
    /// Alphanumeric: 7-bit codes (use germanSevenBit for umlauts).
    /// Numeric: the characters "0123456789*U -)(" (4-bit codes 0..15; "*"
    /// stands for the reserved code 0xA, which real transmitters never send).
    std::string content;
};

/// A codeword from its 21 leading bits (flag and 20 bits below it, right
/// aligned): appends the 10 check bits and the even parity bit.
std::uint32_t pocsagCodeword(std::uint32_t top21);
std::uint32_t pocsagAddressCodeword(std::uint32_t ric, int function);
/// 7-bit characters, least significant bit first, 20 bits per codeword; the
/// last codeword is filled up with zero bits.
std::vector<std::uint32_t> pocsagAlphanumericCodewords(std::string_view sevenBit);
/// 4-bit digits, bit order reversed, five per codeword; filled up with spaces.
std::vector<std::uint32_t> pocsagNumericCodewords(std::string_view digits);
/// UTF-8 text to the German 7-bit set: Ä Ö Ü ä ö ü ß become [ \ ] { | } ~.
std::string germanSevenBit(std::string_view utf8);

/// The codewords of one transmission: batches starting with the sync
/// codeword, each address in its frame, idle codewords in the gaps, at least
/// one idle codeword after the last message, the last batch filled with idles.
std::vector<std::uint32_t> pocsagBatches(const std::vector<PocsagCall>& calls);

/// Preamble of alternating bits (starting with 1), then the codewords, most
/// significant bit first.
std::vector<bool> pocsagBits(const std::vector<std::uint32_t>& codewords,
                             int preambleBits = kPocsagPreambleBits);

/// How the transmission sounds at the receiver's discriminator output.
struct PocsagAir {
    double bitRate = 1200.0;  ///< 512, 1200, 2400 (any value, e.g. off-nominal)
    double amplitude = 8000.0;
    bool inverted = false;    ///< false: the bit 1 is the high level
    double lowPassHz = 0.0;   ///< corner of a two-pole low-pass (0: sharp edges)
    double startOffset = 0.0; ///< fraction of a sample before the first bit edge
};

/// Renders bits as NRZ audio at 22050 Hz; each sample is the mean level over
/// its interval, so edges fall between samples as they do on the air.
Signal renderPocsag(const std::vector<bool>& bits, const PocsagAir& air);
/// Two one-pole low-pass sections in a row, like a receiver's audio
/// filtering; applied after noise is added, it shapes the noise too.
void lowPass(Signal& signal, double cornerHz);
/// pocsagBatches + pocsagBits + renderPocsag.
Signal pocsagTransmission(const std::vector<PocsagCall>& calls, const PocsagAir& air);

/// Index of the first codeword equal to `word` (codewords.size() if none).
std::size_t findCodeword(const std::vector<std::uint32_t>& codewords, std::uint32_t word);
/// Flips the bits set in `mask` of codeword `index`.
void flipBits(std::vector<std::uint32_t>& codewords, std::size_t index, std::uint32_t mask);

/// The text the decoder gives for 7-bit codes (German umlauts as UTF-8,
/// control characters dropped, 0x7F as "<127>"): what a test expects.
std::string expectedPocsagText(std::string_view sevenBit);

} // namespace tolvana::test
