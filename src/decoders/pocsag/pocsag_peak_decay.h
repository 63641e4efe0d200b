// The decay of the POCSAG slicer's whole-number peaks, in integers.
//
// Per sample each peak p becomes round(round(p * 0.999) * 0.999), both
// roundings to the nearest whole number with ties to even. In doubles that is
// two library calls per peak and sample. For whole numbers the same result
// comes from p * 999 / 1000 rounded the same way: the double 0.999 lies about
// 9e-19 below 999/1000, so for |p| up to 2^15 the product never crosses a
// rounding boundary, and the ties (p = 500 mod 1000) come out as exact
// halves in both. The test pocsag_peak_decay_test.cpp checks every entry of
// the table against the double formula.
//
//   table index  p + kPeakDecayLimit        p in [-kPeakDecayLimit, kPeakDecayLimit]
//   entry        decayed(p) + kPeakDecayLimit
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tolvana::pocsag {

/// The largest peak magnitude the table covers: round(x) of any dithered
/// 16-bit sample lies in [-32768, 32768].
inline constexpr std::int32_t kPeakDecayLimit = 32768;

/// p * 999 / 1000 rounded to the nearest whole number, ties to even.
constexpr std::int32_t decayPeakOnce(std::int32_t p) noexcept {
    const std::int32_t n = p * 999;
    std::int32_t q = n / 1000;
    std::int32_t r = n % 1000;
    if (r < 0) { // floor division for negative peaks
        q -= 1;
        r += 1000;
    }
    if (r > 500 || (r == 500 && (q & 1) != 0)) {
        ++q;
    }
    return q;
}

constexpr std::int32_t decayPeakTwice(std::int32_t p) noexcept {
    return decayPeakOnce(decayPeakOnce(p));
}

/// Where each peak in [-kPeakDecayLimit, kPeakDecayLimit] goes in one sample,
/// as a table index (peak + kPeakDecayLimit, 0..65536; a decayed peak never
/// reaches the ends, so each fits 16 bits): 128 KiB, immutable and shared,
/// built by the compiler. The slicer keeps its peaks as indexes too, so a
/// look-up takes one straight to the next.
struct PeakDecayTable {
    static constexpr std::size_t kSize = 2 * static_cast<std::size_t>(kPeakDecayLimit) + 1;
    std::array<std::uint16_t, kSize> once{};

    /// decayPeakTwice(p) for p in [-kPeakDecayLimit, kPeakDecayLimit].
    std::int32_t decayed(std::int32_t p) const noexcept {
        return once[static_cast<std::size_t>(p + kPeakDecayLimit)] - kPeakDecayLimit;
    }
};

constexpr PeakDecayTable makePeakDecayTable() noexcept {
    PeakDecayTable table;
    for (std::int32_t p = -kPeakDecayLimit; p <= kPeakDecayLimit; ++p) {
        table.once[static_cast<std::size_t>(p + kPeakDecayLimit)] =
            static_cast<std::uint16_t>(decayPeakTwice(p) + kPeakDecayLimit);
    }
    return table;
}

inline constexpr PeakDecayTable kPeakDecay = makePeakDecayTable();

} // namespace tolvana::pocsag
