#include "decoders/common/zero_crossings.h"

#include <algorithm>
#include <bit>
#include <cmath>

#if defined(__x86_64__) || defined(_M_X64)
#include <emmintrin.h>
#define TOLVANA_CROSSINGS_SSE2 1
#endif

namespace tolvana {

// Every version computes, per sample and bit for bit:
//   rise = previous < 0 and x >= 0;  fall = not (previous < 0) and x < 0
//   d = max(|x - previous|, 1);  t = |previous| / d
// For a rising crossing |x - previous| and |previous| are x - previous and
// -previous, for a falling one previous - x and previous: the same numbers,
// so one formula serves both directions.

namespace {

// Below this the running mean's next value can be subnormal.
constexpr double kTinyMean = 0x1.0p-1021;

bool tiny(double mean) noexcept { return std::abs(mean) < kTinyMean; }

// A block of exact (positive) zeros: what a squelched receiver or a muted
// input delivers, often for minutes.
bool silent(const ChannelBlock& block) noexcept {
    std::uint64_t any = 0;
    for (const double v : block) {
        any |= std::bit_cast<std::uint64_t>(v);
    }
    return any == 0;
}

// round(m * k / 2^53), ties to even, for m, k below 2^53.
std::uint64_t scaleRounded(std::uint64_t m, std::uint64_t k) noexcept {
    // The 106-bit product from 32-bit halves, so that any compiler will do.
    const std::uint64_t mLow = m & 0xFFFFFFFFu;
    const std::uint64_t mHigh = m >> 32;
    const std::uint64_t kLow = k & 0xFFFFFFFFu;
    const std::uint64_t kHigh = k >> 32;
    const std::uint64_t lowLow = mLow * kLow;
    const std::uint64_t middle = mHigh * kLow + mLow * kHigh + (lowLow >> 32); // below 2^54
    const std::uint64_t low = (middle << 32) | (lowLow & 0xFFFFFFFFu);
    const std::uint64_t high = mHigh * kHigh + (middle >> 32);
    // Split at bit 53: quotient and remainder.
    const std::uint64_t quotient = (high << 11) | (low >> 53);
    const std::uint64_t remainder = low & ((std::uint64_t{1} << 53) - 1);
    const std::uint64_t half = std::uint64_t{1} << 52;
    const bool up = remainder > half || (remainder == half && (quotient & 1) != 0);
    return quotient + (up ? 1 : 0);
}

// Offset removal and dither over a silent block while the mean is tiny,
// with the values the plain loop gives, bit for bit, but without subnormal
// arithmetic, which the processor does in slow microcode: a tiny mean
// decays towards a subnormal value that no longer changes (m * keep rounds
// back to m) and would stay there for as long as the silence lasts.
//
// The mean is s * m * 2^-1074 with m below 2^53 (every double below 2^-1021
// is a multiple of 2^-1074), keep is k * 2^-53, so mean * keep is exactly
// s * m * k * 2^-1127, rounded to the grid 2^-1074 whether the result is
// subnormal or in the lowest normal binade: s * round(m * k / 2^53) * 2^-1074,
// whose bit pattern is the integer itself. Adding x * weight = +0 (the
// weight is positive) leaves it, only a -0 becomes +0. Then (0 - mean) +
// offset is the offset exactly whenever the offset is not zero: its half ulp
// is at least 2^-107, far above the mean.
void silentTinyFront(const ChannelBlock& block, CrossingFront& front, ChannelBlock& clean) noexcept {
    const auto keep = static_cast<std::uint64_t>(front.keep * 0x1.0p53); // exact: keep in [0.5, 1)
    const std::uint64_t sign = std::bit_cast<std::uint64_t>(front.mean) & 0x8000000000000000u;
    std::uint64_t m = std::bit_cast<std::uint64_t>(front.mean) & 0x7FFFFFFFFFFFFFFFu;
    double mean = front.mean;
    Dither dither = front.dither;
    for (std::size_t n = 0; n < block.size(); ++n) {
        m = scaleRounded(m, keep);
        mean = m == 0 ? 0.0 : std::bit_cast<double>(sign | m);
        const double offset = dither.offset();
        // An offset of exactly 0 comes once in 2^53 samples: then the plain way.
        clean[n] = offset != 0.0 ? offset : (0.0 - mean) + offset;
    }
    front.mean = mean;
    front.dither = dither;
}

} // namespace

void runFront(const ChannelBlock& block, CrossingFront& front, CrossingList& out) noexcept {
    ChannelBlock clean;
    if (tiny(front.mean) && front.keep >= 0.5 && front.keep < 1.0 && front.weight > 0.0 && silent(block)) {
        silentTinyFront(block, front, clean);
    } else {
        // Offset and dither first: this pass is one chain of a multiply and
        // an add per sample, which runs best undisturbed beside the dither's
        // chain.
        double mean = front.mean;
        Dither dither = front.dither;
        for (std::size_t n = 0; n < block.size(); ++n) {
            mean = mean * front.keep + block[n] * front.weight;
            clean[n] = (block[n] - mean) + dither.offset();
        }
        front.mean = mean;
        front.dither = dither;
    }
    out.count = findCrossings(clean.data(), clean.size(), front.crossings, out.period.data(), out.at.data());
}

#ifdef TOLVANA_CROSSINGS_SSE2

// The selections use SSE2 masks (compare, and, andnot, or): the compiler
// turns the same selections written as ?: into branches. Only the low lane
// is used here; runFronts uses both.
std::size_t findCrossings(const double* samples, std::size_t count, CrossingState& state,
                          double* period, std::uint16_t* at) noexcept {
    const __m128d zero = _mm_setzero_pd();
    const __m128d one = _mm_set_sd(1.0);
    const __m128d sign = _mm_set_sd(-0.0);
    __m128d previous = _mm_set_sd(state.previous);
    __m128d rising = _mm_set_sd(state.rising);
    __m128d falling = _mm_set_sd(state.falling);
    std::size_t found = 0;
    for (std::size_t n = 0; n < count; ++n) {
        const __m128d x = _mm_load_sd(samples + n);
        const __m128d up = _mm_cmplt_sd(previous, zero);
        const __m128d rise = _mm_and_pd(up, _mm_cmpge_sd(x, zero));
        const __m128d fall = _mm_andnot_pd(up, _mm_cmplt_sd(x, zero));
        // max(1, v) picks v unless v < 1, as std::max(v, 1.0) does.
        const __m128d d = _mm_max_sd(one, _mm_andnot_pd(sign, _mm_sub_sd(x, previous)));
        const __m128d t = _mm_div_sd(_mm_andnot_pd(sign, previous), d);
        const __m128d counter = _mm_or_pd(_mm_and_pd(rise, rising), _mm_andnot_pd(rise, falling));
        const __m128d p = _mm_add_sd(_mm_sub_sd(counter, one), t);
        // Negation is a flip of the sign bit.
        _mm_store_sd(period + found, _mm_xor_pd(p, _mm_andnot_pd(rise, sign)));
        at[found] = static_cast<std::uint16_t>(n);
        const __m128d valid = _mm_and_pd(_mm_or_pd(rise, fall), _mm_cmpgt_sd(p, zero));
        found += static_cast<std::size_t>(_mm_movemask_pd(valid) & 1);
        const __m128d restart = _mm_sub_sd(one, t);
        rising = _mm_add_sd(_mm_or_pd(_mm_and_pd(rise, restart), _mm_andnot_pd(rise, rising)), one);
        falling = _mm_add_sd(_mm_or_pd(_mm_and_pd(fall, restart), _mm_andnot_pd(fall, falling)), one);
        previous = x;
    }
    state.previous = _mm_cvtsd_f64(previous);
    state.rising = _mm_cvtsd_f64(rising);
    state.falling = _mm_cvtsd_f64(falling);
    return found;
}

void runFronts(const ChannelBlock& block, CrossingFront& a, CrossingList& outA, CrossingFront& b,
               CrossingList& outB) noexcept {
    if ((tiny(a.mean) || tiny(b.mean)) && silent(block)) {
        // Silence after a signal: the means have decayed to next to nothing
        // (see silentTinyFront); each front on its own.
        runFront(block, a, outA);
        runFront(block, b, outB);
        return;
    }
    // Lane 0 is `a`, lane 1 is `b`; every operation acts on each lane alone.
    const auto pair = [](double low, double high) { return _mm_set_pd(high, low); };
    const __m128d zero = _mm_setzero_pd();
    const __m128d one = _mm_set1_pd(1.0);
    const __m128d sign = _mm_set1_pd(-0.0);
    const __m128d keep = pair(a.keep, b.keep);
    const __m128d weight = pair(a.weight, b.weight);
    __m128d mean = pair(a.mean, b.mean);
    __m128d previous = pair(a.crossings.previous, b.crossings.previous);
    __m128d rising = pair(a.crossings.rising, b.crossings.rising);
    __m128d falling = pair(a.crossings.falling, b.crossings.falling);
    // Both dithers step side by side: the same xorshift in two 64-bit lanes.
    // The offset (k - 2^52) / 2^53 of the top 53 bits k is built without an
    // integer conversion, which SSE2 lacks for 64 bits: with h = k / 2 and
    // b = k mod 2, the double with exponent 0 and mantissa h is 1 + h / 2^52,
    // and (1 + h / 2^52 - 1.5) + b / 2^53 is the offset. Both steps are exact
    // (the results fit in 53 bits), so the values are Dither::offset()'s.
    __m128i state = _mm_set_epi64x(static_cast<std::int64_t>(b.dither.state()),
                                   static_cast<std::int64_t>(a.dither.state()));
    const __m128i exponentOfOne = _mm_set1_epi64x(0x3FF0000000000000);
    const __m128i lowBit = _mm_set1_epi64x(1);
    const __m128i halfUlp = _mm_set1_epi64x(0x3CA0000000000000); // 2^-53
    const __m128d oneAndHalf = _mm_set1_pd(1.5);
    std::size_t foundA = 0;
    std::size_t foundB = 0;
    for (std::size_t n = 0; n < block.size(); ++n) {
        const __m128d sample = _mm_set1_pd(block[n]);
        mean = _mm_add_pd(_mm_mul_pd(mean, keep), _mm_mul_pd(sample, weight));
        state = _mm_xor_si128(state, _mm_slli_epi64(state, 13));
        state = _mm_xor_si128(state, _mm_srli_epi64(state, 7));
        state = _mm_xor_si128(state, _mm_slli_epi64(state, 17));
        const __m128d mantissa =
            _mm_sub_pd(_mm_castsi128_pd(_mm_or_si128(_mm_srli_epi64(state, 12), exponentOfOne)), oneAndHalf);
        const __m128i odd = _mm_sub_epi64(_mm_setzero_si128(), _mm_and_si128(_mm_srli_epi64(state, 11), lowBit));
        const __m128d offset = _mm_add_pd(mantissa, _mm_castsi128_pd(_mm_and_si128(odd, halfUlp)));
        const __m128d x = _mm_add_pd(_mm_sub_pd(sample, mean), offset);

        const __m128d up = _mm_cmplt_pd(previous, zero);
        const __m128d rise = _mm_and_pd(up, _mm_cmpge_pd(x, zero));
        const __m128d fall = _mm_andnot_pd(up, _mm_cmplt_pd(x, zero));
        const __m128d d = _mm_max_pd(one, _mm_andnot_pd(sign, _mm_sub_pd(x, previous)));
        const __m128d t = _mm_div_pd(_mm_andnot_pd(sign, previous), d);
        const __m128d counter = _mm_or_pd(_mm_and_pd(rise, rising), _mm_andnot_pd(rise, falling));
        const __m128d p = _mm_add_pd(_mm_sub_pd(counter, one), t);
        const __m128d signedPeriod = _mm_xor_pd(p, _mm_andnot_pd(rise, sign));
        _mm_storel_pd(outA.period.data() + foundA, signedPeriod);
        _mm_storeh_pd(outB.period.data() + foundB, signedPeriod);
        outA.at[foundA] = static_cast<std::uint16_t>(n);
        outB.at[foundB] = static_cast<std::uint16_t>(n);
        const int valid = _mm_movemask_pd(_mm_and_pd(_mm_or_pd(rise, fall), _mm_cmpgt_pd(p, zero)));
        foundA += static_cast<std::size_t>(valid & 1);
        foundB += static_cast<std::size_t>(valid >> 1);
        const __m128d restart = _mm_sub_pd(one, t);
        rising = _mm_add_pd(_mm_or_pd(_mm_and_pd(rise, restart), _mm_andnot_pd(rise, rising)), one);
        falling = _mm_add_pd(_mm_or_pd(_mm_and_pd(fall, restart), _mm_andnot_pd(fall, falling)), one);
        previous = x;
    }
    const auto low = [](__m128d v) { return _mm_cvtsd_f64(v); };
    const auto high = [](__m128d v) { return _mm_cvtsd_f64(_mm_unpackhi_pd(v, v)); };
    a.mean = low(mean);
    b.mean = high(mean);
    a.dither.setState(static_cast<std::uint64_t>(_mm_cvtsi128_si64(state)));
    b.dither.setState(static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(state, state))));
    a.crossings = {low(previous), low(rising), low(falling)};
    b.crossings = {high(previous), high(rising), high(falling)};
    outA.count = foundA;
    outB.count = foundB;
}

#else

std::size_t findCrossings(const double* samples, std::size_t count, CrossingState& state,
                          double* period, std::uint16_t* at) noexcept {
    double previous = state.previous;
    double rising = state.rising;
    double falling = state.falling;
    std::size_t found = 0;
    for (std::size_t n = 0; n < count; ++n) {
        const double x = samples[n];
        const bool up = previous < 0.0;
        const bool rise = up && x >= 0.0;
        const bool fall = !up && x < 0.0;
        const double d = std::max(std::abs(x - previous), 1.0);
        const double t = std::abs(previous) / d;
        const double p = (rise ? rising : falling) - 1.0 + t;
        period[found] = rise ? p : -p;
        at[found] = static_cast<std::uint16_t>(n);
        found += static_cast<std::size_t>((rise || fall) && p > 0.0);
        rising = (rise ? 1.0 - t : rising) + 1.0;
        falling = (fall ? 1.0 - t : falling) + 1.0;
        previous = x;
    }
    state.previous = previous;
    state.rising = rising;
    state.falling = falling;
    return found;
}

void runFronts(const ChannelBlock& block, CrossingFront& a, CrossingList& outA, CrossingFront& b,
               CrossingList& outB) noexcept {
    runFront(block, a, outA);
    runFront(block, b, outB);
}

#endif

} // namespace tolvana
