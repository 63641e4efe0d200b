// Recorded input: a sound file (WAV, FLAC, OGG and whatever else libsndfile
// reads) or raw signed 16-bit little-endian PCM from a file or standard input,
// delivered as the sound card would deliver it: 22050 Hz, 16-bit, stereo
// interleaved. Other rates are resampled (soxr); a mono recording feeds the
// left channel and leaves the right one silent.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace tolvana {

/// How to read headerless PCM.
struct RawFormat {
    int rate = 22050;
    int channels = 2;
};

class AudioSource {
public:
    virtual ~AudioSource() = default;

    /// Opens a sound file (libsndfile), or raw PCM when `raw` is given. The path
    /// "-" means standard input and needs `raw` (a pipe cannot be probed).
    /// On failure returns null and sets `error` to a one-line English message.
    static std::unique_ptr<AudioSource> open(const std::string& path, const RawFormat* raw,
                                             std::string& error);

    /// Fills `out` with interleaved 22050 Hz stereo frames. Returns the number of
    /// frames written; fewer than requested only at the end of the input.
    virtual std::size_t readFrames(std::span<std::int16_t> out) = 0;

    /// A description of the input as opened ("FLAC, 44100 Hz, 1 channel").
    virtual std::string describe() const = 0;
    /// Set when the input ended with a read error rather than its proper end.
    virtual const std::string& readError() const = 0;

    /// Lets a read that waits for a pipe give up: `interrupted` is asked
    /// about every 100 ms while a read of raw PCM waits for input, and when
    /// it says true the input ends there, as at its end (whole frames read so
    /// far are kept). Files never wait. Called from the reading thread.
    virtual void setInterrupt(std::function<bool()> interrupted) { (void)interrupted; }
};

} // namespace tolvana
