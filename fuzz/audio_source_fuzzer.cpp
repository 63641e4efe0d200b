// Fuzz target: recorded input. The input bytes become a file that
// AudioSource opens and reads to the end, as tolvana-decode does with a
// recording; the first byte chooses how it is opened.
//
//   byte 0: 0..127    a sound file: libsndfile recognises the format from
//                     the header (WAV, FLAC, OGG, AIFF, AU, ...)
//           128..255  headerless 16-bit PCM:
//                       bits 0-2  rate: 22050 8000 11025 16000 44100 48000 1000 384000
//                       bit  3    channels: 0 mono, 1 stereo
//   bytes 1..        the file
//
// Checks: nothing crashes, no read returns more than was asked for, and raw
// PCM at 22050 Hz comes out exactly as it went in (mono on the left, the
// right channel silent), since nothing needs to be resampled.
#include "capture/audio_source.h"
#include "checking_sink.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/types.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using tolvana::fuzz::require;

constexpr std::array<int, 8> kRawRates = {22050, 8000, 11025, 16000, 44100, 48000, 1000, 384000};
// A few bytes of FLAC can stand for minutes of sound; reading stops after
// this many frames so one input cannot take the fuzzer's whole time budget.
constexpr std::size_t kMaxFrames = std::size_t{1} << 22;
constexpr std::size_t kReadFrames = 1024;

// One file per process, removed at exit.
class ScratchFile {
public:
    ScratchFile() {
        std::error_code ec;
        m_dir = fs::temp_directory_path(ec) / ("tolvana-fuzz-audio-" + std::to_string(::getpid()));
        fs::create_directories(m_dir, ec);
        m_path = m_dir / "input";
    }
    ~ScratchFile() {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const fs::path& write(const std::uint8_t* data, std::size_t size) {
        std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        require(static_cast<bool>(out), "the scratch file can be written");
        return m_path;
    }

private:
    fs::path m_dir;
    fs::path m_path;
};

std::int16_t sampleAt(const std::uint8_t* bytes, std::size_t index) {
    return static_cast<std::int16_t>(
        static_cast<std::uint16_t>(bytes[2 * index] | (bytes[2 * index + 1] << 8)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static ScratchFile scratch;
    const std::uint8_t mode = data[0];
    const std::uint8_t* body = data + 1;
    const std::size_t bodySize = size - 1;
    const fs::path& path = scratch.write(body, bodySize);

    const bool raw = mode >= 128;
    tolvana::RawFormat format;
    format.rate = kRawRates[mode & 7u];
    format.channels = (mode & 8u) != 0 ? 2 : 1;
    std::string error;
    auto source = tolvana::AudioSource::open(path.string(), raw ? &format : nullptr, error);
    if (!source) {
        require(!error.empty(), "a refused input comes with a message");
        return 0;
    }
    require(!source->describe().empty(), "an opened input describes itself");

    std::vector<std::int16_t> all;
    std::array<std::int16_t, 2 * kReadFrames> chunk{};
    std::size_t frames = 0;
    while (frames < kMaxFrames) {
        const std::size_t got = source->readFrames(chunk);
        require(got <= kReadFrames, "a read returns at most the frames asked for");
        if (raw && format.rate == tolvana::kSampleRate) {
            all.insert(all.end(), chunk.begin(),
                       chunk.begin() + static_cast<std::ptrdiff_t>(2 * got));
        }
        frames += got;
        if (got < kReadFrames) {
            // The end: a further read must find nothing more.
            require(source->readFrames(chunk) == 0, "nothing comes after the end");
            break;
        }
    }

    if (raw && format.rate == tolvana::kSampleRate) {
        const std::size_t inFrames = bodySize / (2 * static_cast<std::size_t>(format.channels));
        require(frames == inFrames, "raw 22050 Hz input keeps its frame count");
        for (std::size_t f = 0; f < inFrames; ++f) {
            if (format.channels == 2) {
                require(all[2 * f] == sampleAt(body, 2 * f) &&
                            all[2 * f + 1] == sampleAt(body, 2 * f + 1),
                        "raw stereo passes unchanged");
            } else {
                require(all[2 * f] == sampleAt(body, f) && all[2 * f + 1] == 0,
                        "raw mono goes to the left channel unchanged");
            }
        }
    }
    return 0;
}
