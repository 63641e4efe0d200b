#include "decoders/fms/fms_telegram.h"

#include <algorithm>

namespace tolvana {

namespace {

constexpr int kAlarmStatus = 10; // "Lst->Fzg" status 10: text follows
constexpr int kEndMark = 11;     // positions 32..35 of a follow-up: last one
constexpr int kEndOfText = 4;    // character that ends the text
constexpr int kMaxFollowUps = 25;
constexpr std::uint8_t kCrcGenerator = 0x45; // x^7 + x^6 + x^2 + 1 without x^7

// Value of positions a..b, least significant bit first.
int field(const FmsBits& bits, int a, int b) noexcept {
    int value = 0;
    for (int j = 0; j <= b - a; ++j) {
        value += bits.value[static_cast<std::size_t>(a + j)] << j;
    }
    return value;
}

// The same with an undecodable bit read as 1, as the CRC reads it, so that a
// number field never exceeds its width (status 0..15, TKI 0..3, direction
// 0..1) even in a telegram that is rejected for that bit.
int numberField(const FmsBits& bits, int a, int b) noexcept {
    int value = 0;
    for (int j = 0; j <= b - a; ++j) {
        value |= (bits.value[static_cast<std::size_t>(a + j)] != 0 ? 1 : 0) << j;
    }
    return value;
}

bool anyUndecodable(const FmsBits& bits, int last) noexcept {
    const auto end = bits.value.begin() + std::min(last + 1, bits.count);
    return std::find(bits.value.begin(), end, kFmsUndecodable) != end;
}

char hexDigit(int value) noexcept {
    if (value < 0 || value > 15) {
        return '?'; // only possible with undecodable bits in the nibble
    }
    return static_cast<char>(value < 10 ? '0' + value : 'A' + value - 10);
}

std::string kennungOf(const FmsBits& bits) {
    std::string k;
    k.reserve(12);
    for (int pos = 8; pos < 24; pos += 4) {
        k += hexDigit(field(bits, pos, pos + 3));
    }
    for (int pos = 24; pos < 40; pos += 4) {
        const int value = field(bits, pos, pos + 3); // decimal: 10..15 take two places
        if (value >= 10) {
            k += static_cast<char>('0' + value / 10);
        }
        k += static_cast<char>('0' + value % 10);
    }
    return k;
}

FmsRejection plausibility(const FmsBits& bits, const std::string& kennung) {
    if (anyUndecodable(bits, 47)) {
        return FmsRejection::UndecodableBit;
    }
    // The CRC goes out highest coefficient first, unlike the data fields.
    bool crcOk = bits.count > 54 && !anyUndecodable(bits, 54);
    if (crcOk) {
        unsigned sent = 0;
        for (std::size_t pos = 48; pos <= 54; ++pos) {
            sent = (sent << 1) | bits.value[pos];
        }
        crcOk = sent == fmsCrc(bits);
    }
    if (!crcOk) {
        return FmsRejection::CrcMismatch;
    }
    if (kennung.size() != 8) {
        return FmsRejection::KennungLength;
    }
    if (std::count(kennung.begin(), kennung.end(), '0') >= 6) {
        return FmsRejection::TooManyZeros;
    }
    if (kennung.starts_with("0000") || kennung.starts_with("FFFF")) {
        return FmsRejection::ReservedPrefix;
    }
    return FmsRejection::None;
}

} // namespace

std::uint8_t fmsCrc(const FmsBits& bits) noexcept {
    unsigned reg = 0;
    for (std::size_t pos = 8; pos < 48; ++pos) {
        const unsigned in = bits.value[pos] != 0 ? 1u : 0u;
        const unsigned feedback = ((reg >> 6) & 1u) ^ in;
        reg = (reg << 1) & 0x7Fu;
        if (feedback != 0) {
            reg ^= kCrcGenerator;
        }
    }
    return static_cast<std::uint8_t>(reg);
}

bool FmsTelegramDecoder::decode(const FmsBits& bits) {
    if (m_followUpPending) {
        decodeFollowUp(bits);
    } else {
        decodeFirst(bits);
    }
    // A digital alarm goes out once, when its follow-ups have ended.
    return !m_followUpPending;
}

void FmsTelegramDecoder::decodeFirst(const FmsBits& bits) {
    FmsTelegram& t = m_reception.telegram;
    t.kennung = kennungOf(bits);
    t.status = numberField(bits, 40, 43);
    t.richtung = numberField(bits, 45, 45);
    t.tki = numberField(bits, 46, 47);
    m_reception.followUpText.clear();
    m_followUpCount = 0;
    m_followUpTotal = 0;

    m_rejection = plausibility(bits, t.kennung);
    m_reception.plausible = m_rejection == FmsRejection::None;
    ++m_counters.telegrams;
    ++m_counters.rejected[static_cast<std::size_t>(m_rejection)];
    if (m_reception.plausible) {
        ++m_counters.plausible;
    }

    // Only an intact alarm telegram opens the follow-up reading: a bit error
    // must not hold the channel's other decoders back for nothing.
    const bool intact = m_rejection != FmsRejection::UndecodableBit &&
                        m_rejection != FmsRejection::CrcMismatch;
    m_followUpPending = intact && t.status == kAlarmStatus && t.richtung == 1;
}

void FmsTelegramDecoder::appendCharacter(int code) {
    if (code > 31) {
        m_reception.followUpText += static_cast<char>(code);
    }
    if (code == kEndOfText) {
        m_followUpPending = false;
    }
}

void FmsTelegramDecoder::decodeFollowUp(const FmsBits& bits) {
    ++m_followUpCount;
    ++m_counters.followUps;
    const bool first = m_followUpCount == 1;

    if (anyUndecodable(bits, 47)) {
        // A lost follow-up leaves a visible gap in the text. When the first
        // one is lost, the announced count is unknown: read on to an end
        // mark or the limit.
        m_reception.followUpText += "---";
        ++m_counters.lostFollowUps;
        if (first) {
            m_followUpTotal = kMaxFollowUps;
        }
    } else {
        if (first) {
            m_followUpTotal = field(bits, 1, 7);
        } else {
            appendCharacter(field(bits, 0, 6));
        }
        appendCharacter(field(bits, 8, 14));
        appendCharacter(field(bits, 16, 22));
        appendCharacter(field(bits, 24, 30));
        if (field(bits, 32, 35) == kEndMark) {
            m_followUpPending = false;
        }
    }
    if (!first && (m_followUpCount > m_followUpTotal || m_followUpCount > kMaxFollowUps)) {
        m_followUpPending = false;
    }
}

} // namespace tolvana
