// An FMS transmitter for golden test signals: continuous-phase FSK at
// 1200 bit/s (bit 1 = one period of 1200 Hz, bit 0 = one and a half periods
// of 1800 Hz), a preamble of ones, the block sync, the telegram with its CRC,
// and the follow-up telegrams of a digital alarm in the layout the receiver
// reads (see src/decoders/fms/fms_telegram.h).
//
// The CRC here is computed as a textbook polynomial division, independently
// of the receiver's shift register, so that a fault in one cannot hide in the
// other.
#pragma once

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "decoders/common/types.h"
#include "support/signal.h"

namespace tolvana {
/// Readable telegrams in test failures (every test that compares telegrams
/// includes this header, so all of them print alike).
inline void PrintTo(const FmsTelegram& t, std::ostream* os) {
    *os << t.kennung << " status " << t.status << " tki " << t.tki << " richtung " << t.richtung;
}
} // namespace tolvana

namespace tolvana::test {

using FmsBitVector = std::vector<std::uint8_t>;

/// What a transmitter puts into one status telegram.
struct FmsFields {
    /// Eight hex digits: BOS, Land, two place digits, four vehicle digits.
    /// A vehicle digit A..F is sent as its nibble (the receiver then reads
    /// two characters for it).
    std::string kennung = "62345678";
    int status = 0;   ///< 0..15
    int richtung = 0; ///< 0 vehicle to control room, 1 control room to vehicle
    int tki = 0;      ///< 0..3
    int baustufe = 0; ///< 0..1

    /// The telegram as the receiver reports it (vehicle digits must be 0..9).
    FmsTelegram telegram() const { return FmsTelegram{kennung, tki, status, richtung}; }
};

class FmsEncoder {
public:
    struct Options {
        double amplitude = 12000.0; ///< peak, in 16-bit sample units
        int preambleOnes = 16;      ///< ones before the block sync
        double leadSeconds = 0.02;  ///< silence before the transmission
        double tailSeconds = 0.06;  ///< silence after it
        /// Relative error of the transmitter's clock (0.01 = 1 % fast): bit
        /// rate and both tones move together, as they come from one clock.
        double clockError = 0.0;
        double startPhase = 0.0;    ///< radians at the first bit
    };

    FmsEncoder() = default;
    explicit FmsEncoder(const Options& options) : m_options(options) {}
    const Options& options() const { return m_options; }

    /// The 7 CRC bits (highest coefficient first) of 40 data bits in order of
    /// transmission, generator x^7 + x^6 + x^2 + 1.
    static std::array<std::uint8_t, 7> crc(const FmsBitVector& data);
    /// The 56 positions after the preamble: block sync 00011010, 40 data
    /// bits, CRC, end bit 0.
    static FmsBitVector telegramBits(const FmsFields& fields);
    /// 48 positions of the first follow-up: 0, the number of follow-ups
    /// after this one (7 bits), three characters, the end mark.
    static FmsBitVector firstFollowUpBits(int following, std::string_view chars, bool last);
    /// 48 positions of a later follow-up: four characters, the end mark.
    static FmsBitVector laterFollowUpBits(std::string_view chars, bool last);
    /// Follow-ups carrying `text` (7-bit characters 32..127): three characters
    /// in the first, four in each later one, the last one end-marked.
    static std::vector<FmsBitVector> alarmFollowUps(std::string_view text);

    /// One transmission: silence, preamble, the frames back to back, silence.
    /// Follow-ups have no preamble of their own: the receiver reads each one
    /// from where the previous one ended (every frame ends with a bit 0).
    Signal transmission(const std::vector<FmsBitVector>& frames) const;
    /// A single status telegram.
    Signal telegram(const FmsFields& fields) const;
    /// A control room's digital alarm (status 10, "Lst->Fzg") with its text.
    Signal digitalAlarm(FmsFields fields, std::string_view text) const;

private:
    Options m_options;
};

} // namespace tolvana::test
