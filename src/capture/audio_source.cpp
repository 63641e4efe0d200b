#include "capture/audio_source.h"

#include "decoders/common/types.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sndfile.h>
#include <soxr.h>
#include <unistd.h>
#include <vector>

namespace tolvana {

namespace {

constexpr std::size_t kChunkFrames = 4096;

/// Frames of 16-bit samples at the input's own rate and channel count.
class FrameReader {
public:
    virtual ~FrameReader() = default;
    /// Reads up to `frames` frames of `channels()` interleaved values.
    virtual std::size_t read(std::int16_t* out, std::size_t frames) = 0;
    virtual int rate() const = 0;
    virtual int channels() const = 0;
    virtual std::string describe() const = 0;
    virtual void setInterrupt(std::function<bool()>) {}
    std::string error;
};

class SndfileReader final : public FrameReader {
public:
    SndfileReader(SNDFILE* file, const SF_INFO& info) : m_file(file), m_info(info) {}
    ~SndfileReader() override { sf_close(m_file); }
    SndfileReader(const SndfileReader&) = delete;
    SndfileReader& operator=(const SndfileReader&) = delete;

    std::size_t read(std::int16_t* out, std::size_t frames) override {
        const sf_count_t got = sf_readf_short(m_file, out, static_cast<sf_count_t>(frames));
        if (got < static_cast<sf_count_t>(frames) && sf_error(m_file) != SF_ERR_NO_ERROR &&
            error.empty()) {
            error = sf_strerror(m_file);
        }
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }
    int rate() const override { return m_info.samplerate; }
    int channels() const override { return m_info.channels; }
    std::string describe() const override {
        SF_FORMAT_INFO fmt{};
        fmt.format = m_info.format & SF_FORMAT_TYPEMASK;
        const char* name = "audio";
        if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &fmt, sizeof fmt) == 0 && fmt.name) {
            name = fmt.name;
        }
        return std::string(name) + ", " + std::to_string(m_info.samplerate) + " Hz, " +
               std::to_string(m_info.channels) + (m_info.channels == 1 ? " channel" : " channels");
    }

private:
    SNDFILE* m_file;
    SF_INFO m_info;
};

/// Headerless signed 16-bit little-endian PCM, e.g. from `rtl_fm ... -s 22050 -`.
/// Read with plain read(2) on the descriptor, so that nothing sits in a
/// library's buffer that a wait for more input would hold back.
class RawReader final : public FrameReader {
public:
    RawReader(int fd, bool owned, RawFormat format) : m_fd(fd), m_owned(owned), m_format(format) {}
    ~RawReader() override {
        if (m_owned) {
            ::close(m_fd);
        }
    }
    RawReader(const RawReader&) = delete;
    RawReader& operator=(const RawReader&) = delete;

    void setInterrupt(std::function<bool()> interrupted) override {
        m_interrupted = std::move(interrupted);
    }

    std::size_t read(std::int16_t* out, std::size_t frames) override {
        const std::size_t frameBytes = 2 * static_cast<std::size_t>(m_format.channels);
        m_bytes.resize(frames * frameBytes);
        // A pipe delivers in pieces: take what one read gives, once it holds
        // a whole frame (what is there goes on at once, and a live stream is
        // never held back waiting for more), and keep a partial frame for
        // the next call.
        std::size_t have = m_carry.size();
        std::copy(m_carry.begin(), m_carry.end(), m_bytes.begin());
        m_carry.clear();
        while (have < frameBytes && !m_ended) {
            if (m_interrupted && !waitForInput()) {
                m_ended = true;
                break;
            }
            const ssize_t got = ::read(m_fd, m_bytes.data() + have, m_bytes.size() - have);
            if (got < 0) {
                if (errno == EINTR || errno == EAGAIN) {
                    continue;
                }
                if (error.empty()) {
                    error = std::strerror(errno);
                }
                m_ended = true;
                break;
            }
            if (got == 0) {
                m_ended = true;
                break;
            }
            have += static_cast<std::size_t>(got);
        }
        const std::size_t whole = have / frameBytes;
        const std::size_t values = whole * static_cast<std::size_t>(m_format.channels);
        for (std::size_t i = 0; i < values; ++i) {
            const auto lo = static_cast<unsigned>(m_bytes[2 * i]);
            const auto hi = static_cast<unsigned>(m_bytes[2 * i + 1]);
            out[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
        }
        // A trailing partial frame at the very end of the input is dropped.
        m_carry.assign(m_bytes.begin() + static_cast<std::ptrdiff_t>(whole * frameBytes),
                       m_bytes.begin() + static_cast<std::ptrdiff_t>(have));
        return whole;
    }
    int rate() const override { return m_format.rate; }
    int channels() const override { return m_format.channels; }
    std::string describe() const override {
        return "raw 16-bit PCM, " + std::to_string(m_format.rate) + " Hz, " +
               std::to_string(m_format.channels) +
               (m_format.channels == 1 ? " channel" : " channels");
    }

private:
    // Waits until the descriptor has input (or its end), asking the
    // interrupt in between. False when interrupted.
    bool waitForInput() {
        for (;;) {
            if (m_interrupted()) {
                return false;
            }
            pollfd p{m_fd, POLLIN, 0};
            const int ready = ::poll(&p, 1, 100);
            if (ready > 0) {
                return true; // data, end of input or an error: read() tells which
            }
            if (ready < 0 && errno != EINTR) {
                return true; // let read() report it
            }
        }
    }

    int m_fd;
    bool m_owned;
    RawFormat m_format;
    bool m_ended = false;
    std::function<bool()> m_interrupted;
    std::vector<unsigned char> m_bytes;
    std::vector<unsigned char> m_carry;
};

/// Turns any reader into 22050 Hz stereo: picks the first two channels (a mono
/// input goes to the left), resamples when the rate differs.
class StereoSource final : public AudioSource {
public:
    explicit StereoSource(std::unique_ptr<FrameReader> reader) : m_reader(std::move(reader)) {
        m_inChannels = std::min(m_reader->channels(), 2);
        if (m_reader->rate() != kSampleRate) {
            soxr_error_t err = nullptr;
            const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
            // Single-threaded and without dither: the same file always gives the
            // same samples. Low quality still passes everything below 8 kHz
            // untouched, far above the highest tone any decoder listens for.
            soxr_quality_spec_t quality = soxr_quality_spec(SOXR_LQ, 0);
            const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
            soxr_io_spec_t ioNoDither = io;
            ioNoDither.flags |= SOXR_NO_DITHER;
            m_soxr = soxr_create(m_reader->rate(), kSampleRate, static_cast<unsigned>(m_inChannels),
                                 &err, &ioNoDither, &quality, &runtime);
            if (err != nullptr) {
                m_error = std::string("cannot set up resampling: ") + err;
                m_soxr = nullptr;
            }
        }
    }
    ~StereoSource() override {
        if (m_soxr) {
            soxr_delete(m_soxr);
        }
    }
    StereoSource(const StereoSource&) = delete;
    StereoSource& operator=(const StereoSource&) = delete;

    bool ok() const { return m_error.empty(); }
    const std::string& setupError() const { return m_error; }

    std::size_t readFrames(std::span<std::int16_t> out) override {
        const std::size_t want = out.size() / 2;
        std::size_t done = 0;
        while (done < want) {
            if (m_pendingPos == m_pending.size() / static_cast<std::size_t>(m_inChannels)) {
                if (!refill()) {
                    break;
                }
                continue;
            }
            const std::size_t avail =
                m_pending.size() / static_cast<std::size_t>(m_inChannels) - m_pendingPos;
            const std::size_t n = std::min(avail, want - done);
            if (m_inChannels == 2) {
                std::copy_n(m_pending.begin() + static_cast<std::ptrdiff_t>(2 * m_pendingPos),
                            2 * n, out.begin() + static_cast<std::ptrdiff_t>(2 * done));
            } else {
                for (std::size_t i = 0; i < n; ++i) {
                    out[2 * (done + i)] = m_pending[m_pendingPos + i];
                    out[2 * (done + i) + 1] = 0;
                }
            }
            m_pendingPos += n;
            done += n;
        }
        return done;
    }

    std::string describe() const override { return m_reader->describe(); }
    const std::string& readError() const override { return m_reader->error; }
    void setInterrupt(std::function<bool()> interrupted) override {
        m_reader->setInterrupt(std::move(interrupted));
    }

private:
    // Reads the next chunk of input frames into m_pending (at 22050 Hz, with
    // m_inChannels values per frame). False when nothing more will come.
    bool refill() {
        m_pendingPos = 0;
        m_pending.clear();
        if (m_finished) {
            return false;
        }
        const int inCh = m_reader->channels();
        m_raw.resize(kChunkFrames * static_cast<std::size_t>(inCh));
        // The first empty read ends the input for good. Some decoders (MPEG
        // after a damaged frame) deliver frames again after an empty read,
        // and the resampler, once told that its input has ended, must get
        // no more: it writes through a null pointer then.
        const std::size_t got = m_inputEnded ? 0 : m_reader->read(m_raw.data(), kChunkFrames);
        m_inputEnded = got == 0;
        // Keep the first one or two channels.
        m_raw.resize(got * static_cast<std::size_t>(inCh));
        if (inCh == m_inChannels) {
            m_selected.swap(m_raw); // nothing to pick: take the chunk as it is
        } else {
            m_selected.resize(got * static_cast<std::size_t>(m_inChannels));
            for (std::size_t f = 0; f < got; ++f) {
                for (int c = 0; c < m_inChannels; ++c) {
                    m_selected[f * static_cast<std::size_t>(m_inChannels) +
                               static_cast<std::size_t>(c)] =
                        m_raw[f * static_cast<std::size_t>(inCh) + static_cast<std::size_t>(c)];
                }
            }
        }
        if (!m_soxr) {
            if (got == 0) {
                m_finished = true;
                return false;
            }
            m_pending.swap(m_selected);
            return true;
        }
        // Resample; at the end of the input, flush the resampler's tail.
        const std::size_t maxOut =
            static_cast<std::size_t>(static_cast<double>(got) * kSampleRate / m_reader->rate()) +
            64;
        m_pending.resize(std::max<std::size_t>(maxOut, 4096) *
                         static_cast<std::size_t>(m_inChannels));
        std::size_t produced = 0;
        if (got > 0) {
            std::size_t used = 0;
            soxr_process(m_soxr, m_selected.data(), got, &used, m_pending.data(),
                         m_pending.size() / static_cast<std::size_t>(m_inChannels), &produced);
        } else {
            soxr_process(m_soxr, nullptr, 0, nullptr, m_pending.data(),
                         m_pending.size() / static_cast<std::size_t>(m_inChannels), &produced);
            if (produced == 0) {
                m_finished = true;
            }
        }
        m_pending.resize(produced * static_cast<std::size_t>(m_inChannels));
        return !m_finished;
    }

    std::unique_ptr<FrameReader> m_reader;
    int m_inChannels = 2;
    soxr_t m_soxr = nullptr;
    std::string m_error;
    std::vector<std::int16_t> m_raw;
    std::vector<std::int16_t> m_selected;
    std::vector<std::int16_t> m_pending;
    std::size_t m_pendingPos = 0;
    bool m_finished = false;
    bool m_inputEnded = false;
};

} // namespace

std::unique_ptr<AudioSource> AudioSource::open(const std::string& path, const RawFormat* raw,
                                               std::string& error) {
    std::unique_ptr<FrameReader> reader;
    if (raw != nullptr) {
        if (raw->rate < 1000 || raw->rate > 384000) {
            error = "raw sample rate must lie between 1000 and 384000 Hz";
            return nullptr;
        }
        if (raw->channels != 1 && raw->channels != 2) {
            error = "raw input must have 1 or 2 channels";
            return nullptr;
        }
        int fd = STDIN_FILENO;
        bool owned = false;
        if (path != "-") {
            fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            owned = true;
            if (fd < 0) {
                error = "cannot open " + path + ": " + std::strerror(errno);
                return nullptr;
            }
        }
        reader = std::make_unique<RawReader>(fd, owned, *raw);
    } else {
        if (path == "-") {
            error = "standard input carries no header: give --raw (and --rate, --channels)";
            return nullptr;
        }
        SF_INFO info{};
        SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
        if (file == nullptr) {
            error = "cannot read " + path + ": " + sf_strerror(nullptr);
            return nullptr;
        }
        if (info.channels < 1 || info.samplerate < 1000 || info.samplerate > 384000) {
            sf_close(file);
            error = "cannot read " + path + ": unsupported channel count or sample rate";
            return nullptr;
        }
        reader = std::make_unique<SndfileReader>(file, info);
    }
    auto source = std::make_unique<StereoSource>(std::move(reader));
    if (!source->ok()) {
        error = source->setupError();
        return nullptr;
    }
    return source;
}

} // namespace tolvana
