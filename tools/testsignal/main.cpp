// tolvana-testsignal: writes recordings of generated radio traffic with the
// list of receptions a correct decoder reports, for demos, long runs and
// comparisons with other decoders. The signals come from the encoders of the
// test suite.
//
// Four ways to make audio:
//   traffic   one piece, held in memory (a file, or raw PCM on stdout)
//   --demo    the demo recording: a fixed script of every kind of reception
//   --stream  traffic in pieces of --chunk seconds, each from its own seed,
//             written as it is made, so a day of audio never sits in memory
//   --junk    no transmissions at all: silence, noise, clipping and DC, in
//             pieces like --stream; nothing in it may decode
#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "demo_script.h"
#include "support/pocsag_encoder.h"
#include "support/traffic.h"

namespace {

using tolvana::test::ExpectedReception;
using tolvana::test::Signal;
using tolvana::test::Traffic;
using tolvana::test::TrafficOptions;

void usage(std::FILE* to) {
    std::fprintf(to,
                 "usage: tolvana-testsignal [options] OUT\n"
                 "  OUT                 .wav or .flac file, .raw file (16-bit little-endian PCM),\n"
                 "                      or - for raw PCM on stdout\n"
                 "  --seconds N         length (default 60)\n"
                 "  --seed N            random seed (default 1)\n"
                 "  --snr DB            white noise at this signal-to-noise ratio (default: none)\n"
                 "  --level DBFS        peak level of the transmissions (default -10.3)\n"
                 "  --systems LIST      fms,zvei,pocsag (default: all)\n"
                 "  --left-only, --right-only\n"
                 "  --expect FILE       write the expected tolvana-decode lines to FILE\n"
                 "  --count N           N transmissions per channel; the length follows from them\n"
                 "  --pocsag-rates LIST 512,1200,2400 (default: all three)\n"
                 "  --pocsag-polarity P mixed, normal or inverted (default: mixed)\n"
                 "  --kennungs FILE     FMS identities to use, one per line\n"
                 "  --gap MIN,MAX       quiet seconds between transmissions (default 1,4)\n"
                 "  --mono              one channel only: the one with traffic\n"
                 "                      (needs --left-only or --right-only)\n"
                 "  --stream            make --seconds of traffic in pieces as it is written\n"
                 "  --chunk N           seconds per piece of --stream and --junk (default 60)\n"
                 "  --junk              no transmissions: silence, noise, clipping, DC\n"
                 "  --demo              the demo recording: every kind of reception on both\n"
                 "                      channels, always the same (no other traffic option)\n");
}

[[noreturn]] void usageError(const std::string& message) {
    std::fprintf(stderr, "tolvana-testsignal: %s\n", message.c_str());
    usage(stderr);
    std::exit(2);
}

double parseNumber(const std::string& option, const std::string& text) {
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        usageError(option + " expects a number, got \"" + text + "\"");
    }
    return value;
}

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');) {
        if (!item.empty()) {
            out.push_back(item);
        }
    }
    return out;
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::vector<std::string> readKennungs(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        usageError("cannot read " + path);
    }
    std::vector<std::string> out;
    int lineNumber = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        const bool hex = std::all_of(line.begin(), line.end(),
                                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
        if (line.size() != 8 || !hex) {
            usageError(path + ":" + std::to_string(lineNumber) + ": not an FMS identity (8 hex digits): \"" +
                       line + "\"");
        }
        out.push_back(line);
    }
    if (out.empty()) {
        usageError(path + " holds no FMS identity");
    }
    return out;
}

/// Where the samples go: a sound file through libsndfile, or raw 16-bit
/// little-endian PCM to a file or stdout. Written piece by piece.
class PcmWriter {
public:
    PcmWriter(const std::string& path, int channels) : m_path(path), m_channels(channels) {}
    ~PcmWriter() { close(); }
    PcmWriter(const PcmWriter&) = delete;
    PcmWriter& operator=(const PcmWriter&) = delete;

    bool open() {
        if (m_path == "-") {
            m_raw = stdout;
            return true;
        }
        if (endsWith(m_path, ".raw")) {
            m_raw = std::fopen(m_path.c_str(), "wb");
            m_ownsRaw = true;
            return report(m_raw != nullptr, std::strerror(errno));
        }
        SF_INFO info{};
        info.channels = m_channels;
        info.samplerate = tolvana::kSampleRate;
        info.format = (endsWith(m_path, ".flac") ? SF_FORMAT_FLAC : SF_FORMAT_WAV) | SF_FORMAT_PCM_16;
        m_sound = sf_open(m_path.c_str(), SFM_WRITE, &info);
        return report(m_sound != nullptr, sf_strerror(nullptr));
    }

    /// `pcm` interleaved with the writer's channel count.
    bool write(const std::vector<std::int16_t>& pcm) {
        if (m_sound != nullptr) {
            const auto frames = static_cast<sf_count_t>(pcm.size() / static_cast<std::size_t>(m_channels));
            return report(sf_writef_short(m_sound, pcm.data(), frames) == frames, sf_strerror(m_sound));
        }
        m_bytes.resize(pcm.size() * 2);
        for (std::size_t i = 0; i < pcm.size(); ++i) {
            const auto u = static_cast<std::uint16_t>(pcm[i]);
            m_bytes[2 * i] = static_cast<unsigned char>(u & 0xFF);
            m_bytes[2 * i + 1] = static_cast<unsigned char>(u >> 8);
        }
        return report(std::fwrite(m_bytes.data(), 1, m_bytes.size(), m_raw) == m_bytes.size(),
                      std::strerror(errno));
    }

    bool close() {
        bool ok = true;
        if (m_sound != nullptr) {
            ok = sf_close(m_sound) == 0;
            m_sound = nullptr;
        }
        if (m_raw != nullptr) {
            ok = std::fflush(m_raw) == 0 && ok;
            if (m_ownsRaw) {
                ok = std::fclose(m_raw) == 0 && ok;
            }
            m_raw = nullptr;
        }
        return report(ok, "cannot finish the file");
    }

private:
    bool report(bool ok, const char* why) {
        if (!ok && !m_failed) {
            m_failed = true;
            std::fprintf(stderr, "tolvana-testsignal: cannot write %s: %s\n",
                         m_path == "-" ? "standard output" : m_path.c_str(), why);
        }
        return ok;
    }

    std::string m_path;
    int m_channels;
    SNDFILE* m_sound = nullptr;
    std::FILE* m_raw = nullptr;
    bool m_ownsRaw = false;
    bool m_failed = false;
    std::vector<unsigned char> m_bytes;
};

struct Settings {
    TrafficOptions traffic;
    std::string out;
    std::string expectPath;
    bool mono = false;
    bool stream = false;
    bool junk = false;
    bool demo = false;
    double chunkSeconds = 60.0;
};

/// The seed of piece `index` (and of its `attempt`-th replacement): spread
/// out so that neighbouring pieces share nothing.
std::uint32_t pieceSeed(std::uint32_t seed, std::uint64_t index, std::uint32_t attempt) {
    std::uint64_t z = (static_cast<std::uint64_t>(seed) << 32) ^ (index * 0x9E3779B97F4A7C15ull) ^
                      (static_cast<std::uint64_t>(attempt) << 20);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<std::uint32_t>((z ^ (z >> 31)) & 0xFFFFFFFFu);
}

std::vector<std::int16_t> channelsOut(const Signal& left, const Signal& right, const Settings& s) {
    if (!s.mono) {
        return tolvana::test::interleave(tolvana::test::toPcm(left), tolvana::test::toPcm(right));
    }
    return tolvana::test::toPcm(s.traffic.left ? left : right);
}

class ExpectWriter {
public:
    explicit ExpectWriter(const std::string& path) {
        if (!path.empty()) {
            m_file.open(path);
            if (!m_file) {
                usageError("cannot write " + path);
            }
        }
    }
    bool write(const std::vector<ExpectedReception>& expected) {
        if (!m_file.is_open()) {
            return true;
        }
        for (const ExpectedReception& e : expected) {
            m_file << e.printed() << '\n';
        }
        // Flushed per piece: a long run can be compared while it goes on.
        m_file.flush();
        return static_cast<bool>(m_file);
    }

private:
    std::ofstream m_file;
};

int writeTraffic(const Settings& s) {
    const Traffic traffic = s.demo ? tolvana::demo::makeDemoTraffic() : tolvana::test::makeTraffic(s.traffic);
    PcmWriter writer(s.out, s.mono ? 1 : 2);
    ExpectWriter expect(s.expectPath);
    const bool ok = writer.open() && writer.write(channelsOut(traffic.left, traffic.right, s)) &&
                    writer.close() && expect.write(traffic.expected);
    return ok ? 0 : 1;
}

// The hand-off shows a call or a pager's RIC once when it comes again on the
// same channel within 20 s. Pieces are made independently, so one that
// repeats a number near the end of the piece before it is made anew.
std::string repeatKey(const ExpectedReception& e) {
    const std::size_t kindEnd = e.line.find('#', 2);
    const std::string kind = e.line.substr(2, kindEnd - 2);
    if (kind != "ZVEI" && kind != "POC") {
        return {};
    }
    const std::size_t numberEnd = e.line.find('#', kindEnd + 1);
    return std::string(1, tolvana::sideLetter(e.side)) + kind + e.line.substr(kindEnd, numberEnd - kindEnd);
}

bool repeatsAcrossPieces(const std::vector<ExpectedReception>& before, double pieceStart,
                         const std::vector<ExpectedReception>& piece) {
    constexpr double kWindow = 30.0; // beyond the hand-off's 20 s, whatever the time rounding
    std::map<std::string, double> recent;
    for (const ExpectedReception& e : before) {
        const std::string key = repeatKey(e);
        if (!key.empty() && e.endSeconds > pieceStart - kWindow) {
            recent[key] = e.endSeconds;
        }
    }
    for (const ExpectedReception& e : piece) {
        const auto it = recent.find(repeatKey(e));
        if (it != recent.end() && pieceStart + e.endSeconds - it->second < kWindow) {
            return true;
        }
    }
    return false;
}

int streamTraffic(const Settings& s) {
    PcmWriter writer(s.out, s.mono ? 1 : 2);
    ExpectWriter expect(s.expectPath);
    if (!writer.open()) {
        return 1;
    }
    std::vector<ExpectedReception> previous;
    double start = 0.0;
    for (std::uint64_t index = 0; start < s.traffic.seconds - 1e-9; ++index) {
        TrafficOptions options = s.traffic;
        options.seconds = std::min(s.chunkSeconds, s.traffic.seconds - start);
        Traffic piece;
        for (std::uint32_t attempt = 0;; ++attempt) {
            options.seed = pieceSeed(s.traffic.seed, index, attempt);
            piece = tolvana::test::makeTraffic(options);
            if (!repeatsAcrossPieces(previous, start, piece.expected)) {
                break;
            }
        }
        std::vector<ExpectedReception> expected = piece.expected;
        for (ExpectedReception& e : expected) {
            e.endSeconds += start;
        }
        if (!writer.write(channelsOut(piece.left, piece.right, s)) || !expect.write(expected)) {
            return 1;
        }
        previous = std::move(expected);
        start += options.seconds;
    }
    return writer.close() ? 0 : 1;
}

// One channel of a junk piece: stretches of a few seconds, each of one kind
// that a receiver gives when nothing is sent or when it is overdriven.
Signal junkChannel(double seconds, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Signal out;
    while (out.seconds() < seconds) {
        const double length = std::min(std::uniform_real_distribution<double>(2.0, 8.0)(rng),
                                       seconds - out.seconds());
        Signal part = tolvana::test::silence(length);
        const std::uint32_t noiseSeed = static_cast<std::uint32_t>(rng());
        const double sign = rng() % 2 == 0 ? 1.0 : -1.0;
        switch (rng() % 8) {
        case 0: // squelch closed
            break;
        case 1: // open squelch, weak and strong
            tolvana::test::addNoiseRms(part, 300.0, noiseSeed);
            break;
        case 2:
            tolvana::test::addNoiseRms(part, 6000.0, noiseSeed);
            break;
        case 3: // overdriven: the noise is clipped hard at full scale
            tolvana::test::addNoiseRms(part, 40000.0, noiseSeed);
            break;
        case 4: // noise through the receiver's audio filter, like a data channel
            tolvana::test::addNoiseRms(part, 20000.0, noiseSeed);
            tolvana::test::lowPass(part, 1200.0);
            break;
        case 5: // a DC offset, as from a badly coupled input
            for (double& x : part.samples) {
                x = sign * 20000.0;
            }
            break;
        case 6: // DC with noise on top
            tolvana::test::addNoiseRms(part, 3000.0, noiseSeed);
            for (double& x : part.samples) {
                x += sign * 15000.0;
            }
            break;
        default: // DC pinned at the rail
            for (double& x : part.samples) {
                x = sign * 40000.0;
            }
            break;
        }
        out.append(part);
    }
    out.samples.resize(static_cast<std::size_t>(std::lround(seconds * tolvana::kSampleRate)), 0.0);
    return out;
}

int writeJunk(const Settings& s) {
    PcmWriter writer(s.out, s.mono ? 1 : 2);
    ExpectWriter expect(s.expectPath);
    if (!writer.open() || !expect.write({})) {
        return 1;
    }
    double start = 0.0;
    for (std::uint64_t index = 0; start < s.traffic.seconds - 1e-9; ++index) {
        const double seconds = std::min(s.chunkSeconds, s.traffic.seconds - start);
        const Signal left = s.traffic.left ? junkChannel(seconds, pieceSeed(s.traffic.seed, index, 1))
                                           : tolvana::test::silence(seconds);
        const Signal right = s.traffic.right ? junkChannel(seconds, pieceSeed(s.traffic.seed, index, 2))
                                             : tolvana::test::silence(seconds);
        if (!writer.write(channelsOut(left, right, s))) {
            return 1;
        }
        start += seconds;
    }
    return writer.close() ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    Settings s;
    TrafficOptions& options = s.traffic;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                usageError(a + " needs a value");
            }
            return argv[++i];
        };
        if (a == "--seconds") {
            options.seconds = parseNumber(a, value());
        } else if (a == "--seed") {
            const double seed = parseNumber(a, value());
            if (seed < 0 || seed > 4294967295.0 || seed != std::floor(seed)) {
                usageError("--seed expects a whole number from 0 to 4294967295");
            }
            options.seed = static_cast<std::uint32_t>(seed);
        } else if (a == "--snr") {
            options.snrDb = parseNumber(a, value());
        } else if (a == "--level") {
            const double dbfs = parseNumber(a, value());
            if (dbfs > 0.0 || dbfs < -60.0) {
                usageError("--level expects a peak level from -60 to 0 dBFS");
            }
            options.amplitude = 32767.0 * std::pow(10.0, dbfs / 20.0);
        } else if (a == "--systems") {
            const std::string list = value();
            options.fms = list.find("fms") != std::string::npos;
            options.zvei = list.find("zvei") != std::string::npos;
            options.pocsag = list.find("pocsag") != std::string::npos;
        } else if (a == "--left-only") {
            options.right = false;
        } else if (a == "--right-only") {
            options.left = false;
        } else if (a == "--expect") {
            s.expectPath = value();
        } else if (a == "--count") {
            const double count = parseNumber(a, value());
            if (count < 1 || count > 1e6 || count != std::floor(count)) {
                usageError("--count expects a whole number from 1 to 1000000");
            }
            options.count = static_cast<int>(count);
        } else if (a == "--pocsag-rates") {
            options.pocsagRates.clear();
            for (const std::string& rate : splitList(value())) {
                const double r = parseNumber(a, rate);
                if (r != 512.0 && r != 1200.0 && r != 2400.0) {
                    usageError("--pocsag-rates takes 512, 1200 and 2400, got " + rate);
                }
                options.pocsagRates.push_back(r);
            }
            if (options.pocsagRates.empty()) {
                usageError("--pocsag-rates needs at least one rate");
            }
        } else if (a == "--pocsag-polarity") {
            const std::string p = value();
            if (p == "mixed") {
                options.pocsagPolarity = TrafficOptions::Polarity::Mixed;
            } else if (p == "normal") {
                options.pocsagPolarity = TrafficOptions::Polarity::Normal;
            } else if (p == "inverted") {
                options.pocsagPolarity = TrafficOptions::Polarity::Inverted;
            } else {
                usageError("--pocsag-polarity is mixed, normal or inverted, got \"" + p + "\"");
            }
        } else if (a == "--kennungs") {
            options.kennungs = readKennungs(value());
        } else if (a == "--gap") {
            const std::vector<std::string> gap = splitList(value());
            if (gap.size() != 2) {
                usageError("--gap expects MIN,MAX");
            }
            options.minGapSeconds = parseNumber(a, gap[0]);
            options.maxGapSeconds = parseNumber(a, gap[1]);
            if (options.minGapSeconds < 0.2 || options.maxGapSeconds < options.minGapSeconds) {
                usageError("--gap expects 0.2 <= MIN <= MAX");
            }
        } else if (a == "--mono") {
            s.mono = true;
        } else if (a == "--stream") {
            s.stream = true;
        } else if (a == "--chunk") {
            s.chunkSeconds = parseNumber(a, value());
            if (s.chunkSeconds < 10.0) {
                usageError("--chunk expects at least 10 seconds");
            }
        } else if (a == "--junk") {
            s.junk = true;
        } else if (a == "--demo") {
            s.demo = true;
        } else if (a == "-h" || a == "--help") {
            usage(stdout);
            return 0;
        } else if (s.out.empty() && (a == "-" || a[0] != '-')) {
            s.out = a;
        } else {
            usageError("unexpected argument \"" + a + "\"");
        }
    }
    if (s.out.empty()) {
        usageError("no output given");
    }
    if (options.seconds <= 0) {
        usageError("--seconds expects a positive length");
    }
    if (!options.fms && !options.zvei && !options.pocsag) {
        usageError("--systems names none of fms, zvei, pocsag");
    }
    if (!options.left && !options.right) {
        usageError("--left-only and --right-only exclude each other");
    }
    if (s.mono && options.left && options.right) {
        usageError("--mono needs --left-only or --right-only");
    }
    if ((s.stream || s.junk) && options.count > 0) {
        usageError("--count makes one piece; it does not go with --stream or --junk");
    }
    if (s.demo && (s.stream || s.junk || s.mono)) {
        usageError("--demo makes the demo recording; it goes with none of --stream, --junk, --mono");
    }
    if (s.stream && s.junk) {
        usageError("--stream and --junk exclude each other");
    }
    if (s.junk) {
        return writeJunk(s);
    }
    return s.stream ? streamTraffic(s) : writeTraffic(s);
}
