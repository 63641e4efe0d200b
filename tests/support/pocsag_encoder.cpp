#include "support/pocsag_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tolvana::test {

namespace {

constexpr int kDataBitsPerWord = 20;
constexpr std::size_t kWordsPerBatch = 16;

// Packs a stream of bits (first sent first) into the data bits 30..11 of
// message codewords; the last word's unused bits are filled with `fill`,
// repeated from its lowest bit.
class MessagePacker {
public:
    void put(unsigned value, int bits) {
        for (int i = 0; i < bits; ++i) {
            m_bits.push_back(((value >> i) & 1u) != 0);
        }
    }
    std::vector<std::uint32_t> words(unsigned fill, int fillBits) {
        while (m_bits.size() % kDataBitsPerWord != 0) {
            put(fill, fillBits);
        }
        m_bits.resize(m_bits.size() - m_bits.size() % kDataBitsPerWord);
        std::vector<std::uint32_t> out;
        for (std::size_t w = 0; w < m_bits.size(); w += kDataBitsPerWord) {
            std::uint32_t data = 1u << 20; // message flag
            for (int b = 0; b < kDataBitsPerWord; ++b) {
                if (m_bits[w + static_cast<std::size_t>(b)]) {
                    data |= 1u << (19 - b);
                }
            }
            out.push_back(pocsagCodeword(data));
        }
        return out;
    }

private:
    std::vector<bool> m_bits;
};

unsigned numericCode(char c) {
    static constexpr std::string_view kDigits = "0123456789*U -)(";
    const std::size_t at = kDigits.find(c);
    EXPECT_NE(at, std::string_view::npos) << "no POCSAG numeric code for '" << c << "'";
    return at == std::string_view::npos ? 0xCu : static_cast<unsigned>(at);
}

} // namespace

std::uint32_t pocsagCodeword(std::uint32_t top21) {
    // Shift-register division by g(x) = x^10+x^9+x^8+x^6+x^5+x^3+1, one
    // message bit at a time, highest first.
    constexpr std::uint32_t kFeedback = 0x369u; // g(x) without its x^10 term
    std::uint32_t reg = 0;
    for (int i = 20; i >= 0; --i) {
        const std::uint32_t in = (top21 >> i) & 1u;
        const std::uint32_t feedback = in ^ ((reg >> 9) & 1u);
        reg = (reg << 1) & 0x3FFu;
        if (feedback != 0) {
            reg ^= kFeedback;
        }
    }
    std::uint32_t word = (top21 & 0x1FFFFFu) << 11 | reg << 1;
    int ones = 0;
    for (std::uint32_t w = word; w != 0; w >>= 1) {
        ones += static_cast<int>(w & 1u);
    }
    return word | static_cast<std::uint32_t>(ones & 1);
}

std::uint32_t pocsagAddressCodeword(std::uint32_t ric, int function) {
    return pocsagCodeword((ric >> 3) << 2 | (static_cast<std::uint32_t>(function) & 3u));
}

std::vector<std::uint32_t> pocsagAlphanumericCodewords(std::string_view sevenBit) {
    MessagePacker packer;
    for (const char c : sevenBit) {
        packer.put(static_cast<unsigned char>(c) & 0x7Fu, 7);
    }
    return packer.words(0, 1);
}

std::vector<std::uint32_t> pocsagNumericCodewords(std::string_view digits) {
    MessagePacker packer;
    for (const char c : digits) {
        // The put() order (lowest bit first) is the reversed bit order of
        // numeric messages.
        packer.put(numericCode(c), 4);
    }
    return packer.words(numericCode(' '), 4);
}

std::string germanSevenBit(std::string_view utf8) {
    static constexpr std::pair<std::string_view, char> kMap[] = {
        {"\u00C4", '['}, {"\u00D6", '\\'}, {"\u00DC", ']'}, {"\u00E4", '{'},
        {"\u00F6", '|'}, {"\u00FC", '}'},  {"\u00DF", '~'}};
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        bool mapped = false;
        for (const auto& [from, to] : kMap) {
            if (utf8.substr(i, from.size()) == from) {
                out += to;
                i += from.size();
                mapped = true;
                break;
            }
        }
        if (!mapped) {
            out += utf8[i++];
        }
    }
    return out;
}

std::vector<std::uint32_t> pocsagBatches(const std::vector<PocsagCall>& calls) {
    std::vector<std::uint32_t> words{kPocsagSync};
    std::size_t slot = 0; // codeword slot of the current batch, 0..15
    const auto put = [&](std::uint32_t w) {
        if (slot == kWordsPerBatch) {
            words.push_back(kPocsagSync);
            slot = 0;
        }
        words.push_back(w);
        ++slot;
    };
    bool messageOpen = false;
    for (const PocsagCall& call : calls) {
        const std::size_t frameSlot = 2 * (call.ric % 8);
        if (slot > frameSlot + 1) { // the frame has passed: wait for the next batch
            while (slot < kWordsPerBatch) {
                put(kPocsagIdle);
            }
        }
        if (slot == kWordsPerBatch) {
            words.push_back(kPocsagSync);
            slot = 0;
        }
        while (slot < frameSlot) {
            put(kPocsagIdle);
        }
        put(pocsagAddressCodeword(call.ric, call.function));
        std::vector<std::uint32_t> message;
        if (call.kind == PocsagCall::Kind::Alphanumeric) {
            message = pocsagAlphanumericCodewords(call.content);
        } else if (call.kind == PocsagCall::Kind::Numeric) {
            message = pocsagNumericCodewords(call.content);
        }
        for (const std::uint32_t w : message) {
            put(w);
        }
        messageOpen = !message.empty();
    }
    // A message ends at the next non-message codeword: send at least one idle.
    if (messageOpen || slot == 0) {
        put(kPocsagIdle);
    }
    while (slot < kWordsPerBatch) {
        put(kPocsagIdle);
    }
    return words;
}

std::vector<bool> pocsagBits(const std::vector<std::uint32_t>& codewords, int preambleBits) {
    std::vector<bool> bits;
    bits.reserve(static_cast<std::size_t>(preambleBits) + 32 * codewords.size());
    for (int i = 0; i < preambleBits; ++i) {
        bits.push_back(i % 2 == 0);
    }
    for (const std::uint32_t w : codewords) {
        for (int b = 31; b >= 0; --b) {
            bits.push_back(((w >> b) & 1u) != 0);
        }
    }
    return bits;
}

Signal renderPocsag(const std::vector<bool>& bits, const PocsagAir& air) {
    Signal out;
    const double samplesPerBit = kSampleRate / air.bitRate;
    const double total = static_cast<double>(bits.size()) * samplesPerBit;
    const auto count = static_cast<std::size_t>(std::ceil(total + air.startOffset));
    const auto level = [&](std::size_t bit) {
        if (bit >= bits.size()) {
            return 0.0; // the carrier is gone
        }
        return (bits[bit] != air.inverted) ? air.amplitude : -air.amplitude;
    };
    out.samples.reserve(count);
    for (std::size_t n = 0; n < count; ++n) {
        // Time in bit periods over the interval [n, n + 1) of sample n.
        const double from = (static_cast<double>(n) - air.startOffset) / samplesPerBit;
        const double to = from + 1.0 / samplesPerBit;
        const double firstBit = std::floor(std::max(from, 0.0));
        const double edge = firstBit + 1.0;
        const auto bit = static_cast<std::size_t>(firstBit);
        if (from < 0.0 && to <= 0.0) {
            out.samples.push_back(0.0);
        } else if (edge >= to) {
            out.samples.push_back(level(bit) * (to - std::max(from, 0.0)) * samplesPerBit);
        } else {
            const double before = (edge - std::max(from, 0.0)) * samplesPerBit;
            const double after = (to - edge) * samplesPerBit;
            out.samples.push_back(level(bit) * before + level(bit + 1) * after);
        }
    }
    if (air.lowPassHz > 0.0) {
        lowPass(out, air.lowPassHz);
    }
    return out;
}

void lowPass(Signal& signal, double cornerHz) {
    const double a = 1.0 - std::exp(-2.0 * std::numbers::pi * cornerHz / signal.rate);
    double s1 = signal.samples.empty() ? 0.0 : signal.samples.front();
    double s2 = s1;
    for (double& x : signal.samples) {
        s1 += a * (x - s1);
        s2 += a * (s1 - s2);
        x = s2;
    }
}

Signal pocsagTransmission(const std::vector<PocsagCall>& calls, const PocsagAir& air) {
    return renderPocsag(pocsagBits(pocsagBatches(calls)), air);
}

std::size_t findCodeword(const std::vector<std::uint32_t>& codewords, std::uint32_t word) {
    return static_cast<std::size_t>(std::find(codewords.begin(), codewords.end(), word) - codewords.begin());
}

void flipBits(std::vector<std::uint32_t>& codewords, std::size_t index, std::uint32_t mask) {
    ASSERT_LT(index, codewords.size());
    codewords[index] ^= mask;
}

std::string expectedPocsagText(std::string_view sevenBit) {
    std::string out;
    for (const char c : sevenBit) {
        const auto code = static_cast<unsigned char>(c) & 0x7Fu;
        switch (code) {
        case '[': out += "\u00C4"; break;
        case '\\': out += "\u00D6"; break;
        case ']': out += "\u00DC"; break;
        case '{': out += "\u00E4"; break;
        case '|': out += "\u00F6"; break;
        case '}': out += "\u00FC"; break;
        case '~': out += "\u00DF"; break;
        case 0x7F: out += "<127>"; break;
        default:
            if (code >= 0x20) {
                out += static_cast<char>(code);
            }
        }
    }
    return out;
}

} // namespace tolvana::test
