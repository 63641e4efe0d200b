// POCSAG address and message steps (codeword layout in pocsag_message_decoder.h).
#include "decoders/pocsag/pocsag_message_decoder.h"

#include "decoders/pocsag/pocsag_bch.h"

namespace tolvana {

namespace {

constexpr std::uint32_t kMessageFlag = 1u << 31;
constexpr int kDataHighBit = 30;
constexpr int kDataLowBit = 11;
constexpr int kCharacterBits = 7;

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

} // namespace

void PocsagMessageDecoder::processBatch(std::span<const std::uint32_t> batch) {
    std::size_t position = 0;
    while (position < batch.size()) {
        // Each codeword is checked once, even when the end of a message sends
        // it on to the address step.
        const pocsag::CodewordCheck check = pocsag::checkCodeword(batch[position]);
        ++m_counts.codewords;
        if (!check.valid) {
            ++m_counts.uncorrectable;
        } else if (check.corrected > 0) {
            ++m_counts.corrected;
        }
        // A message codeword too damaged to correct is still used as
        // received: a few wrong characters are better than a lost text.
        if (m_mode == Mode::Message && messageStep(check.word)) {
            ++position;
            continue;
        }
        addressStep(check.word, check.valid, position);
        ++position;
    }
}

void PocsagMessageDecoder::addressStep(std::uint32_t word, bool valid, std::size_t position) {
    if ((word & kMessageFlag) != 0) {
        return; // a message whose address was not taken
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
    if (!valid || position == 0) {
        return;
    }
    if (!m_addressPending) {
        const auto frame = static_cast<std::uint32_t>((position - 1) / 2);
        m_ric = ((word >> 13) & 0x3FFFFu) * 8u + frame;
        m_function = static_cast<int>((word >> 11) & 3u);
        m_addressPending = true;
    }
    m_mode = Mode::Message;
}

bool PocsagMessageDecoder::messageStep(std::uint32_t word) {
    if ((word & kMessageFlag) != 0) {
        if (m_messageCount < m_messageWords.size()) {
            m_messageWords[m_messageCount++] = word;
        }
        return true;
    }
    if (word == pocsag::kSyncCodeword) {
        ++m_syncCount;
        return true;
    }
    // Idle, an address or anything else ends the message; the same codeword
    // then goes to the address step.
    if (m_messageCount > 0) {
        decodeText({m_messageWords.data(), m_messageCount}, m_text);
    }
    m_messageCount = 0;
    m_mode = Mode::Address;
    return false;
}

void PocsagMessageDecoder::decodeText(std::span<const std::uint32_t> words, std::string& text) {
    text.clear();
    unsigned partial = 0;
    int characterBit = 0;
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

std::optional<PocsagPage> PocsagMessageDecoder::endTransmission() {
    std::optional<PocsagPage> page;
    if (m_addressPending && m_idleCount + m_syncCount > 0) {
        page = PocsagPage{m_ric, m_function, m_text};
    }
    // Message codewords of a message cut off by the end are not decoded and
    // do not reach the next transmission.
    m_text.clear();
    m_addressPending = false;
    m_messageCount = 0;
    m_idleCount = 0;
    m_syncCount = 0;
    m_mode = Mode::Address;
    m_ric = 0;
    m_function = 0;
    return page;
}

} // namespace tolvana
