// A ZVEI five-tone encoder for golden test signals.
//
//   digit  1    2    3    4    5    6    7    8    9    0   repeat
//   Hz   1060 1160 1270 1400 1530 1670 1830 2000 2200 2400  2600
//
// Tones follow each other with a continuous phase and, by default, no gap,
// 70 ms each, as a ZVEI1 sender keys them. A character equal to the one
// before it is sent as the repeat tone. Characters other than digits take
// their frequency from `specialTones` (e.g. {'L', 1860.0}); a raw list of
// frequencies and lengths covers anything else (too short or long tones,
// off-grid frequencies).
#pragma once

#include <map>
#include <span>
#include <string_view>
#include <vector>

#include "support/signal.h"

namespace tolvana::test {

inline constexpr double kZveiRepeatTone = 2600.0;
inline constexpr double kZveiToneSeconds = 0.070;

/// One tone of a raw tone list: frequency in Hz (0 for a pause) and length.
struct ZveiTone {
    double frequency = 0.0;
    double seconds = kZveiToneSeconds;
};

struct ZveiEncoderOptions {
    double toneSeconds = kZveiToneSeconds;
    double gapSeconds = 0.0; ///< silence between tones
    double amplitude = 12000.0;
    std::map<char, double> specialTones{}; ///< frequencies of non-digit characters
};

class ZveiEncoder {
public:
    explicit ZveiEncoder(ZveiEncoderOptions options = {}) : m_options(std::move(options)) {}

    /// The ZVEI1 frequency of a digit '0'..'9'; throws std::invalid_argument otherwise.
    static double digitFrequency(char digit);

    /// The tone frequencies of a call, with the repeat tone for equal neighbours.
    std::vector<double> frequencies(std::string_view call) const;

    /// Appends the call's tones (with the configured gaps) to `out`.
    void appendCall(Signal& out, std::string_view call) const;
    /// Appends a raw list of tones, each followed by the configured gap.
    void appendTones(Signal& out, std::span<const ZveiTone> tones) const;

    /// `lead` seconds of silence, the call, `tail` seconds of silence.
    Signal call(std::string_view call, double lead = 0.2, double tail = 0.5) const;

    const ZveiEncoderOptions& options() const { return m_options; }

private:
    ZveiEncoderOptions m_options;
};

} // namespace tolvana::test
