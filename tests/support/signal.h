// Building blocks for golden test signals: tones with continuous phase,
// white noise at a chosen signal-to-noise ratio, channel interleaving, and
// writing a recording with libsndfile.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "decoders/common/types.h"

namespace tolvana::test {

/// A mono signal in floating point, 16-bit sample units, at `rate` Hz.
struct Signal {
    int rate = kSampleRate;
    std::vector<double> samples;

    double seconds() const { return static_cast<double>(samples.size()) / rate; }
    void append(const Signal& other) { samples.insert(samples.end(), other.samples.begin(), other.samples.end()); }
};

/// Appends tone pieces with a continuous phase, as an FSK or tone transmitter does.
class ToneWriter {
public:
    explicit ToneWriter(Signal& out, double amplitude = 12000.0) : m_out(out), m_amplitude(amplitude) {}
    /// `duration` in seconds; fractions of a sample are carried to the next piece.
    void tone(double frequency, double duration);
    void silence(double duration);
    double phase() const { return m_phase; }

private:
    std::size_t take(double duration);

    Signal& m_out;
    double m_amplitude;
    double m_phase = 0.0; // radians
    double m_carry = 0.0; // fractional samples owed
};

Signal silence(double seconds, int rate = kSampleRate);

/// Adds white Gaussian noise so that signal power / noise power = snrDb, the
/// signal power measured over the non-silent part (|x| > 1).
void addNoise(Signal& signal, double snrDb, std::uint32_t seed);
/// Adds white Gaussian noise of the given RMS.
void addNoiseRms(Signal& signal, double rms, std::uint32_t seed);

/// Rounds and clips to 16 bit.
std::vector<std::int16_t> toPcm(const Signal& signal);
/// Interleaves two channels; the shorter one is padded with silence.
std::vector<std::int16_t> interleave(const std::vector<std::int16_t>& left,
                                     const std::vector<std::int16_t>& right);

/// Writes 16-bit PCM with libsndfile; `format` is an SF_FORMAT_* major type
/// (WAV when 0). Fails the current test when the file cannot be written.
void writeRecording(const std::string& path, const std::vector<std::int16_t>& interleaved,
                    int channels, int rate, int format = 0);

/// The project's testdata folder: $TOLVANA_TESTDATA when set, else the
/// folder of the source tree this test was built from.
std::string testDataDir();

/// A fresh, empty folder below the system's temporary folder.
std::string makeTempDir(const std::string& stem);

} // namespace tolvana::test
