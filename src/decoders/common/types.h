// Shared vocabulary of the decoders: channel sides, the recording/live clock,
// the block that a decoder chain reads, and the typed receptions that leave a
// decoder through a ReceptionSink. Plain C++20, no Qt.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

namespace tolvana {

/// The sound card's sample rate; every duration in the decoders follows from it.
inline constexpr int kSampleRate = 22050;
/// Frames per captured buffer (4096 bytes of 16-bit stereo, about 46.4 ms).
inline constexpr int kBlockFrames = 1024;

/// Each stereo channel is an independent receiver: left is the even sample
/// position of a frame, right the odd one.
enum class ChannelSide : std::uint8_t { Left = 0, Right = 1 };

inline constexpr int sideIndex(ChannelSide side) { return static_cast<int>(side); }
inline constexpr char sideLetter(ChannelSide side) { return side == ChannelSide::Left ? 'L' : 'R'; }

/// A moment on the clock that drives reception times: the wall clock when live,
/// start time plus sample position when a recording is decoded. Milliseconds
/// since the Unix epoch (UTC); texts convert it to local time at the edge.
using TimePoint = std::chrono::sys_time<std::chrono::milliseconds>;

/// The 1024 samples of one channel of one buffer, in 16-bit sample units,
/// unscaled. Each decoder chain owns one and may process it in place.
using ChannelBlock = std::array<double, kBlockFrames>;

/// FMS status telegram as read from the air.
struct FmsTelegram {
    std::string kennung; ///< identity: BOS, Land, Ort (2), Kfz (4); normally 8 characters
    int tki = 0;         ///< tactical short information 0..3
    int status = 0;      ///< 0..15
    int richtung = 0;    ///< 0 vehicle to control room ("Fzg->Lst"), 1 control room to vehicle ("Lst->Fzg")

    bool operator==(const FmsTelegram&) const = default;
};

/// One FMS reception offered to the hand-off: the telegram (the first one of a
/// digital alarm sequence), the text gathered from its follow-up telegrams, and
/// whether it passed the decoder's plausibility check. The hand-off applies its
/// filter before it looks at `plausible`, as the reception grid rule needs.
struct FmsReception {
    FmsTelegram telegram;
    std::string followUpText; ///< ASCII 32..127, "---" marks a lost follow-up telegram
    bool plausible = false;
};

/// The FMS receiver's two long call tones.
enum class ToneCall : std::uint8_t { ToneI = 1, ToneII = 2 };

inline constexpr const char* toneCallText(ToneCall tone) {
    return tone == ToneCall::ToneI ? "Tonruf I" : "Tonruf II";
}

/// A five-tone sequence whose assembled text has exactly five characters.
/// Name, colour and duplicate suppression belong to the hand-off.
struct ZveiSequence {
    std::string number; ///< digits "0".."9" and the letters of the special tones
};

/// One address of a POCSAG transmission with the message that follows it.
struct PocsagPage {
    std::uint32_t ric = 0; ///< 21-bit address: 18 address bits times 8 plus the frame
    int function = 0;      ///< 0..3
    std::string text;      ///< UTF-8 (umlauts mapped from the German 7-bit set); empty: tone only

    bool operator==(const PocsagPage&) const = default;
};

} // namespace tolvana
