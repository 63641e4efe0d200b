#include "support/zvei_encoder.h"

#include <array>
#include <stdexcept>
#include <string>

namespace tolvana::test {

double ZveiEncoder::digitFrequency(char digit) {
    static constexpr std::array<double, 10> kHz{2400.0, 1060.0, 1160.0, 1270.0, 1400.0,
                                                1530.0, 1670.0, 1830.0, 2000.0, 2200.0};
    if (digit < '0' || digit > '9') {
        throw std::invalid_argument(std::string("not a ZVEI digit: ") + digit);
    }
    return kHz[static_cast<std::size_t>(digit - '0')];
}

std::vector<double> ZveiEncoder::frequencies(std::string_view call) const {
    std::vector<double> out;
    char previous = '\0';
    for (const char c : call) {
        if (c == previous) {
            out.push_back(kZveiRepeatTone);
        } else if (const auto it = m_options.specialTones.find(c); it != m_options.specialTones.end()) {
            out.push_back(it->second);
        } else {
            out.push_back(digitFrequency(c));
        }
        // A repeat tone stands for the character, so a third equal character
        // is the character's own tone again.
        previous = c == previous ? '\0' : c;
    }
    return out;
}

void ZveiEncoder::appendTones(Signal& out, std::span<const ZveiTone> tones) const {
    ToneWriter writer(out, m_options.amplitude);
    for (const ZveiTone& tone : tones) {
        if (tone.frequency > 0.0) {
            writer.tone(tone.frequency, tone.seconds);
        } else {
            writer.silence(tone.seconds);
        }
        if (m_options.gapSeconds > 0.0) {
            writer.silence(m_options.gapSeconds);
        }
    }
}

void ZveiEncoder::appendCall(Signal& out, std::string_view call) const {
    std::vector<ZveiTone> tones;
    for (const double hz : frequencies(call)) {
        tones.push_back({hz, m_options.toneSeconds});
    }
    appendTones(out, tones);
}

Signal ZveiEncoder::call(std::string_view text, double lead, double tail) const {
    Signal out = silence(lead);
    appendCall(out, text);
    out.append(silence(tail));
    return out;
}

} // namespace tolvana::test
