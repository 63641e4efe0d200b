// tolvana-testsignal: writes recordings of generated radio traffic with the
// list of receptions a correct decoder reports, for demos, long runs and
// comparisons with other decoders. The signals come from the encoders of the
// test suite.
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "support/traffic.h"

namespace {

void usage() {
    std::fprintf(stderr,
                 "usage: tolvana-testsignal [options] OUT\n"
                 "  OUT            .wav or .flac file, or - for raw 16-bit stereo PCM on stdout\n"
                 "  --seconds N    length (default 60)\n"
                 "  --seed N       random seed (default 1)\n"
                 "  --snr DB       white noise at this signal-to-noise ratio (default: none)\n"
                 "  --systems LIST fms,zvei,pocsag (default: all)\n"
                 "  --left-only, --right-only\n"
                 "  --expect FILE  write the expected tolvana-decode lines to FILE\n");
}

bool writeFile(const std::string& path, const std::vector<std::int16_t>& pcm) {
    SF_INFO info{};
    info.channels = 2;
    info.samplerate = tolvana::kSampleRate;
    const bool flac = path.size() > 5 && path.compare(path.size() - 5, 5, ".flac") == 0;
    info.format = (flac ? SF_FORMAT_FLAC : SF_FORMAT_WAV) | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (f == nullptr) {
        std::fprintf(stderr, "tolvana-testsignal: cannot write %s: %s\n", path.c_str(), sf_strerror(nullptr));
        return false;
    }
    const auto frames = static_cast<sf_count_t>(pcm.size() / 2);
    const bool ok = sf_writef_short(f, pcm.data(), frames) == frames;
    sf_close(f);
    return ok;
}

bool writeRaw(const std::vector<std::int16_t>& pcm) {
    std::vector<unsigned char> bytes(pcm.size() * 2);
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        const auto u = static_cast<std::uint16_t>(pcm[i]);
        bytes[2 * i] = static_cast<unsigned char>(u & 0xFF);
        bytes[2 * i + 1] = static_cast<unsigned char>(u >> 8);
    }
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
}

} // namespace

int main(int argc, char* argv[]) {
    tolvana::test::TrafficOptions options;
    std::string out;
    std::string expectPath;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                usage();
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--seconds") {
            options.seconds = std::stod(value());
        } else if (a == "--seed") {
            options.seed = static_cast<std::uint32_t>(std::stoul(value()));
        } else if (a == "--snr") {
            options.snrDb = std::stod(value());
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
            expectPath = value();
        } else if (a == "-h" || a == "--help") {
            usage();
            return 0;
        } else if (out.empty() && (a == "-" || a[0] != '-')) {
            out = a;
        } else {
            usage();
            return 2;
        }
    }
    if (out.empty() || options.seconds <= 0 || (!options.fms && !options.zvei && !options.pocsag)) {
        usage();
        return 2;
    }
    const tolvana::test::Traffic traffic = tolvana::test::makeTraffic(options);
    const std::vector<std::int16_t> pcm = traffic.stereoPcm();
    if (!(out == "-" ? writeRaw(pcm) : writeFile(out, pcm))) {
        return 1;
    }
    if (!expectPath.empty()) {
        std::ofstream f(expectPath);
        for (const std::string& line : traffic.printedLines()) {
            f << line << '\n';
        }
    }
    return 0;
}
