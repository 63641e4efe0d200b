#include "checking_sink.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>

namespace tolvana::fuzz {

namespace {

// An FMS identity: four hex digits and four vehicle digits, each of which
// reads as one or two characters.
constexpr std::size_t kMinKennung = 8;
constexpr std::size_t kMaxKennung = 12;
// 26 follow-ups of at most four characters, or "---" for a lost one.
constexpr std::size_t kMaxFollowUpText = 26 * 4;
// 63 message codewords of 20 bits give 180 characters; "<127>" is the
// longest form a character takes.
constexpr std::size_t kMaxPocsagText = 180 * 5;
constexpr std::uint32_t kRicLimit = 1u << 21;
// Start of the recording clock for the fuzz runs: 7 December 2026, 15:52 UTC.
constexpr std::int64_t kStartMs = 1796658720000;
constexpr std::uint64_t kSeed = 20261207;

bool validUtf8(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        if (c < 0x80) {
            extra = 0;
        } else if ((c & 0xE0) == 0xC0 && c >= 0xC2) {
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
        } else if ((c & 0xF8) == 0xF0 && c <= 0xF4) {
            extra = 3;
        } else {
            return false;
        }
        if (i + extra >= text.size()) {
            return false; // cut off in the middle of a character
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += extra + 1;
    }
    return true;
}

bool printableAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return c >= 32 && c <= 127;
    });
}

} // namespace

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

void CheckingSink::record(ChannelSide side, std::string line, TimePoint time) {
    require(time == m_now, "a reception carries the time of the buffer that completed it");
    m_log.push_back(std::string(1, sideLetter(side)) + ' ' + std::move(line));
}

void CheckingSink::fmsReception(ChannelSide side, const FmsReception& reception, TimePoint time) {
    const FmsTelegram& t = reception.telegram;
    require(t.tki >= 0 && t.tki <= 3, "FMS tki within 0..3");
    require(t.status >= 0 && t.status <= 15, "FMS status within 0..15");
    require(t.richtung == 0 || t.richtung == 1, "FMS richtung 0 or 1");
    require(t.kennung.size() >= kMinKennung && t.kennung.size() <= kMaxKennung,
            "FMS kennung of 8 to 12 characters");
    require(printableAscii(t.kennung), "FMS kennung printable");
    require(!reception.plausible || t.kennung.size() == kMinKennung,
            "a plausible FMS kennung has 8 characters");
    require(reception.followUpText.size() <= kMaxFollowUpText, "FMS follow-up text bounded");
    require(printableAscii(reception.followUpText), "FMS follow-up text is ASCII 32..127");
    record(side,
           "FMS " + t.kennung + ' ' + std::to_string(t.status) + ' ' + std::to_string(t.tki) +
               std::to_string(t.richtung) + (reception.plausible ? " + " : " - ") +
               reception.followUpText,
           time);
}

void CheckingSink::toneCall(ChannelSide side, ToneCall tone, TimePoint time) {
    require(tone == ToneCall::ToneI || tone == ToneCall::ToneII, "a known call tone");
    record(side, toneCallText(tone), time);
}

void CheckingSink::zveiSequence(ChannelSide side, const ZveiSequence& sequence, TimePoint time) {
    require(sequence.number.size() == 5, "a five-tone sequence has five characters");
    require(printableAscii(sequence.number), "five-tone characters printable");
    record(side, "ZVEI " + sequence.number, time);
}

void CheckingSink::pocsagPage(ChannelSide side, const PocsagPage& page, TimePoint time) {
    require(page.ric < kRicLimit, "RIC within 21 bits");
    require(page.function >= 0 && page.function <= 3, "POCSAG function 0..3");
    require(page.text.size() <= kMaxPocsagText, "POCSAG text bounded");
    require(validUtf8(page.text), "POCSAG text is valid UTF-8");
    record(side,
           "POC " + std::to_string(page.ric) + ' ' + std::to_string(page.function) + ' ' +
               page.text,
           time);
}

void checkMeters(const LevelMeters& m) {
    for (const int v : {m.meanLeft, m.peakLeft, m.meanRight, m.peakRight}) {
        require(v >= 0 && v <= kMeterLimit, "level meter within 0..32760");
    }
    require(m.meanLeft <= m.peakLeft && m.meanRight <= m.peakRight, "mean level not above peak");
}

std::vector<std::string> dispatchAll(const std::vector<std::int16_t>& samples) {
    const std::size_t buffers = (samples.size() + kBufferValues - 1) / kBufferValues;
    CheckingSink sink;
    // Six chains hold a good deal of state: keep it off the stack.
    auto dispatcher = std::make_unique<Dispatcher>(sink, DecoderSwitches::all(), kSeed);
    std::array<std::int16_t, kBufferValues> buffer{};
    for (std::size_t b = 0; b < buffers; ++b) {
        const std::size_t first = b * kBufferValues;
        const std::size_t count = std::min<std::size_t>(kBufferValues, samples.size() - first);
        std::fill(std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(first), count,
                              buffer.begin()),
                  buffer.end(), std::int16_t{0});
        const TimePoint now{std::chrono::milliseconds(
            kStartMs + static_cast<std::int64_t>(b) * kBlockFrames * 1000 / kSampleRate)};
        sink.setNow(now);
        checkMeters(
            dispatcher->dispatchBuffer(std::span<const std::int16_t, kBufferValues>(buffer), now));
    }
    return sink.log();
}

void dispatchTwiceAndCompare(const std::vector<std::int16_t>& samples) {
    const std::vector<std::string> first = dispatchAll(samples);
    require(dispatchAll(samples) == first, "two runs of the same input report the same receptions");
}

} // namespace tolvana::fuzz
