#include "support/fms_encoder.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace tolvana::test {

namespace {

constexpr std::array<std::uint8_t, 8> kSync{0, 0, 0, 1, 1, 0, 1, 0};
// x^7 + x^6 + x^2 + 1, coefficients of x^7 down to x^0
constexpr std::array<std::uint8_t, 8> kGenerator{1, 1, 0, 0, 0, 1, 0, 1};
constexpr int kEndMark = 11;

void appendValue(FmsBitVector& bits, int value, int width) {
    for (int j = 0; j < width; ++j) {
        bits.push_back(static_cast<std::uint8_t>((value >> j) & 1)); // least significant first
    }
}

int nibble(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    throw std::invalid_argument(std::string("not a hex digit in an FMS identity: ") + c);
}

int characterCode(char c) {
    const auto code = static_cast<unsigned char>(c);
    if (code > 127) {
        throw std::invalid_argument("follow-up text must be 7-bit");
    }
    return code;
}

// Characters of one follow-up; slots without a character carry 0 (no text).
void appendCharacters(FmsBitVector& bits, std::string_view chars, std::size_t slots) {
    for (std::size_t i = 0; i < slots; ++i) {
        appendValue(bits, i < chars.size() ? characterCode(chars[i]) : 0, 7);
        bits.push_back(0);
    }
}

// Exact continuous-phase FSK: the phase of every sample follows from the
// time since the start of its bit, so bit edges fall between samples as the
// bit clock wants and no rounding builds up.
class Modulator {
public:
    Modulator(Signal& out, double amplitude, double phase) : m_out(out), m_amplitude(amplitude), m_phase(phase) {}

    void silence(double seconds) {
        const double end = m_time + seconds * m_out.rate;
        while (static_cast<double>(m_out.samples.size()) < end) {
            m_out.samples.push_back(0.0);
        }
        m_time = end;
    }

    void bit(std::uint8_t value, double clock) {
        const double frequency = (value != 0 ? 1200.0 : 1800.0) * clock;
        const double samples = m_out.rate / (1200.0 * clock);
        const double step = 2.0 * std::numbers::pi * frequency / m_out.rate;
        const double end = m_time + samples;
        for (auto n = static_cast<double>(m_out.samples.size()); n < end; n += 1.0) {
            m_out.samples.push_back(m_amplitude * std::sin(m_phase + step * (n - m_time)));
        }
        m_phase = std::fmod(m_phase + step * samples, 2.0 * std::numbers::pi);
        m_time = end;
    }

private:
    Signal& m_out;
    double m_amplitude;
    double m_phase;
    double m_time = 0.0; // in samples
};

} // namespace

std::array<std::uint8_t, 7> FmsEncoder::crc(const FmsBitVector& data) {
    // Long division of data * x^7 by the generator; the remainder is the CRC.
    FmsBitVector work(data);
    work.insert(work.end(), 7, 0);
    for (std::size_t i = 0; i + 7 < work.size(); ++i) {
        if (work[i] != 0) {
            for (std::size_t g = 0; g < kGenerator.size(); ++g) {
                work[i + g] ^= kGenerator[g];
            }
        }
    }
    std::array<std::uint8_t, 7> out{};
    for (std::size_t i = 0; i < 7; ++i) {
        out[i] = work[work.size() - 7 + i];
    }
    return out;
}

FmsBitVector FmsEncoder::telegramBits(const FmsFields& f) {
    if (f.kennung.size() != 8) {
        throw std::invalid_argument("an FMS identity has eight digits: " + f.kennung);
    }
    FmsBitVector data;
    for (const char c : f.kennung) {
        appendValue(data, nibble(c), 4);
    }
    appendValue(data, f.status, 4);
    appendValue(data, f.baustufe, 1);
    appendValue(data, f.richtung, 1);
    appendValue(data, f.tki, 2);

    FmsBitVector bits;
    bits.reserve(56);
    for (const auto& part : {FmsBitVector(kSync.begin(), kSync.end()), data}) {
        for (const std::uint8_t b : part) {
            bits.push_back(b);
        }
    }
    for (const std::uint8_t b : crc(data)) {
        bits.push_back(b);
    }
    bits.push_back(0); // end bit
    return bits;
}

FmsBitVector FmsEncoder::firstFollowUpBits(int following, std::string_view chars, bool last) {
    FmsBitVector bits{0};
    appendValue(bits, following, 7);
    appendCharacters(bits, chars, 3);
    appendValue(bits, last ? kEndMark : 0, 4);
    bits.resize(48, 0);
    return bits;
}

FmsBitVector FmsEncoder::laterFollowUpBits(std::string_view chars, bool last) {
    FmsBitVector bits;
    appendCharacters(bits, chars, 4);
    appendValue(bits, last ? kEndMark : 0, 4);
    bits.resize(48, 0);
    return bits;
}

std::vector<FmsBitVector> FmsEncoder::alarmFollowUps(std::string_view text) {
    std::vector<std::string_view> chunks{text.substr(0, std::min<std::size_t>(3, text.size()))};
    for (std::size_t at = 3; at < text.size(); at += 4) {
        chunks.push_back(text.substr(at, 4));
    }
    std::vector<FmsBitVector> frames;
    const int following = static_cast<int>(chunks.size()) - 1;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        const bool last = i + 1 == chunks.size();
        frames.push_back(i == 0 ? firstFollowUpBits(following, chunks[i], last)
                                : laterFollowUpBits(chunks[i], last));
    }
    return frames;
}

Signal FmsEncoder::transmission(const std::vector<FmsBitVector>& frames) const {
    Signal out;
    Modulator m(out, m_options.amplitude, m_options.startPhase);
    m.silence(m_options.leadSeconds);
    for (int i = 0; i < m_options.preambleOnes; ++i) {
        m.bit(1, 1.0 + m_options.clockError);
    }
    for (const FmsBitVector& frame : frames) {
        for (const std::uint8_t b : frame) {
            m.bit(b, 1.0 + m_options.clockError);
        }
    }
    m.silence(m_options.tailSeconds);
    return out;
}

Signal FmsEncoder::telegram(const FmsFields& fields) const {
    return transmission({telegramBits(fields)});
}

Signal FmsEncoder::digitalAlarm(FmsFields fields, std::string_view text) const {
    fields.status = 10;
    fields.richtung = 1;
    std::vector<FmsBitVector> frames{telegramBits(fields)};
    for (FmsBitVector& f : alarmFollowUps(text)) {
        frames.push_back(std::move(f));
    }
    return transmission(frames);
}

} // namespace tolvana::test
