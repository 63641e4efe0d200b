#include "support/signal.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>

namespace tolvana::test {

std::size_t ToneWriter::take(double duration) {
    const double exact = duration * m_out.rate + m_carry;
    const auto n = static_cast<std::size_t>(std::floor(exact));
    m_carry = exact - static_cast<double>(n);
    return n;
}

void ToneWriter::tone(double frequency, double duration) {
    const std::size_t n = take(duration);
    const double step = 2.0 * std::numbers::pi * frequency / m_out.rate;
    for (std::size_t i = 0; i < n; ++i) {
        m_out.samples.push_back(m_amplitude * std::sin(m_phase));
        m_phase = std::fmod(m_phase + step, 2.0 * std::numbers::pi);
    }
}

void ToneWriter::silence(double duration) {
    const std::size_t n = take(duration);
    m_out.samples.insert(m_out.samples.end(), n, 0.0);
}

Signal silence(double seconds, int rate) {
    Signal s;
    s.rate = rate;
    s.samples.assign(static_cast<std::size_t>(std::lround(seconds * rate)), 0.0);
    return s;
}

void addNoiseRms(Signal& signal, double rms, std::uint32_t seed) {
    std::mt19937 gen(seed);
    std::normal_distribution<double> dist(0.0, rms);
    for (double& x : signal.samples) {
        x += dist(gen);
    }
}

void addNoise(Signal& signal, double snrDb, std::uint32_t seed) {
    double power = 0.0;
    std::size_t count = 0;
    for (double x : signal.samples) {
        if (std::abs(x) > 1.0) {
            power += x * x;
            ++count;
        }
    }
    if (count == 0) {
        return;
    }
    power /= static_cast<double>(count);
    addNoiseRms(signal, std::sqrt(power / std::pow(10.0, snrDb / 10.0)), seed);
}

std::vector<std::int16_t> toPcm(const Signal& signal) {
    std::vector<std::int16_t> out(signal.samples.size());
    std::transform(signal.samples.begin(), signal.samples.end(), out.begin(), [](double x) {
        return static_cast<std::int16_t>(std::clamp(std::lround(x), -32768L, 32767L));
    });
    return out;
}

std::vector<std::int16_t> interleave(const std::vector<std::int16_t>& left,
                                     const std::vector<std::int16_t>& right) {
    const std::size_t n = std::max(left.size(), right.size());
    std::vector<std::int16_t> out(2 * n, 0);
    for (std::size_t i = 0; i < left.size(); ++i) {
        out[2 * i] = left[i];
    }
    for (std::size_t i = 0; i < right.size(); ++i) {
        out[2 * i + 1] = right[i];
    }
    return out;
}

void writeRecording(const std::string& path, const std::vector<std::int16_t>& interleaved,
                    int channels, int rate, int format) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = (format != 0 ? format : SF_FORMAT_WAV) | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << "cannot write " << path << ": " << sf_strerror(nullptr);
    const auto frames = static_cast<sf_count_t>(interleaved.size() / static_cast<std::size_t>(channels));
    EXPECT_EQ(sf_writef_short(file, interleaved.data(), frames), frames);
    sf_close(file);
}

std::string testDataDir() {
    if (const char* env = std::getenv("TOLVANA_TESTDATA"); env != nullptr && *env != '\0') {
        return env;
    }
    return TOLVANA_SOURCE_TESTDATA;
}

std::string makeTempDir(const std::string& stem) {
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / (stem + "-XXXXXX")).string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    const char* made = mkdtemp(buf.data());
    if (made == nullptr) {
        ADD_FAILURE() << "cannot create a temporary folder from " << pattern;
        return {};
    }
    return made;
}

} // namespace tolvana::test
