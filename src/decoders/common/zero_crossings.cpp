#include "decoders/common/zero_crossings.h"

#include <algorithm>
#include <cmath>
#include <utility>

#if defined(__x86_64__) || defined(_M_X64)
#include <emmintrin.h>
#define TOLVANA_CROSSINGS_SSE2 1
#if defined(__GNUC__)
#include <immintrin.h>
#define TOLVANA_CROSSINGS_AVX2 1
#endif
#endif

namespace tolvana {

// Every version computes, per sample and bit for bit:
//   rise = previous < 0 and x >= 0;  fall = not (previous < 0) and x < 0
//   d = max(|x - previous|, 1);  t = |previous| / d
// For a rising crossing |x - previous| and |previous| are x - previous and
// -previous, for a falling one previous - x and previous: the same numbers,
// so one formula serves both directions.

namespace {

// See BandPassState::settle.
constexpr double kQuiet = 0x1.0p-200;

std::size_t sectionsOf(const BandPass& band) noexcept {
    return std::clamp<std::size_t>(band.count, 1, BandPass::kMaxSections);
}

// The band-pass and the dither over one block, the plain way: one sample
// after the other, each section in turn (the order of operations of the
// header's formulas).
template <std::size_t kSections>
void filterAndDither(const ChannelBlock& block, CrossingFront& front, ChannelBlock& clean) noexcept {
    const BandPass& band = front.band;
    std::array<double, kSections + 1> last;
    std::array<double, kSections + 1> beforeLast;
    for (std::size_t s = 0; s <= kSections; ++s) {
        last[s] = front.filter.last[s];
        beforeLast[s] = front.filter.beforeLast[s];
    }
    Dither dither = front.dither;
    for (std::size_t n = 0; n < block.size(); ++n) {
        const double x = block[n];
        double t = band.gain * (x - beforeLast[0]);
        beforeLast[0] = last[0];
        last[0] = x;
        for (std::size_t k = 1; k <= kSections; ++k) {
            const BandPass::Section& section = band.sections[k - 1];
            const double y = (t - section.a2 * beforeLast[k]) - section.a1 * last[k];
            t = y - beforeLast[k];
            beforeLast[k] = last[k];
            last[k] = y;
        }
        clean[n] = last[kSections] + dither.offset();
    }
    for (std::size_t s = 0; s <= kSections; ++s) {
        front.filter.last[s] = last[s];
        front.filter.beforeLast[s] = beforeLast[s];
    }
    front.dither = dither;
    front.filter.settle(kSections + 1);
}

} // namespace

void BandPassState::settle(std::size_t stages) noexcept {
    bool quiet = true;
    for (std::size_t s = 0; s < stages && s < last.size(); ++s) {
        quiet = quiet && std::abs(last[s]) < kQuiet && std::abs(beforeLast[s]) < kQuiet;
    }
    if (quiet) {
        last.fill(0.0);
        beforeLast.fill(0.0);
    }
}

void runFront(const ChannelBlock& block, CrossingFront& front, CrossingList& out) noexcept {
    // Band-pass and dither first, into a block of their own: this pass is
    // one chain of multiplies and adds per section, which runs best
    // undisturbed beside the dither's chain.
    ChannelBlock clean;
    switch (sectionsOf(front.band)) {
    case 1: filterAndDither<1>(block, front, clean); break;
    case 2: filterAndDither<2>(block, front, clean); break;
    default: filterAndDither<3>(block, front, clean); break;
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

namespace {

// A block of values in pairs: lane 0 (the even places) belongs to front
// `a`, lane 1 (the odd places) to `b`.
struct LanePairs {
    alignas(16) double values[2 * kBlockFrames];
    __m128d load(std::size_t n) const noexcept { return _mm_load_pd(values + 2 * n); }
    void store(std::size_t n, __m128d v) noexcept { _mm_store_pd(values + 2 * n, v); }
};

__m128d pair(double low, double high) noexcept { return _mm_set_pd(high, low); }
double low(__m128d v) noexcept { return _mm_cvtsd_f64(v); }
double high(__m128d v) noexcept { return _mm_cvtsd_f64(_mm_unpackhi_pd(v, v)); }

// Two fronts over one block in two lanes: lane 0 is `s`, whose band has
// kShort sections, lane 1 is `l` with kLong sections (kShort <= kLong); every
// operation acts on each lane alone. Lane 0 takes its output after its own
// last section (a bit-exact move of the low half); the sections it computes
// beyond its own, with zero coefficients, never leave the registers.
template <std::size_t kShort, std::size_t kLong>
void pairedFronts(const ChannelBlock& block, CrossingFront& s, CrossingList& outS, CrossingFront& l,
                  CrossingList& outL) noexcept {
    // Each first section's input, gain * (x[n] - x[n-2]), for the whole
    // block at once: no sample depends on another here, and the loop below
    // keeps two registers free for its recurrences.
    LanePairs input;
    {
        const __m128d gain = pair(s.band.gain, l.band.gain);
        __m128d last = pair(s.filter.last[0], l.filter.last[0]);
        __m128d beforeLast = pair(s.filter.beforeLast[0], l.filter.beforeLast[0]);
        for (std::size_t n = 0; n < block.size(); ++n) {
            const __m128d sample = _mm_set1_pd(block[n]);
            input.store(n, _mm_mul_pd(gain, _mm_sub_pd(sample, beforeLast)));
            beforeLast = last;
            last = sample;
        }
        s.filter.last[0] = low(last);
        s.filter.beforeLast[0] = low(beforeLast);
        l.filter.last[0] = high(last);
        l.filter.beforeLast[0] = high(beforeLast);
    }

    // Plain arrays: std::array would drop the vector type's alignment
    // attribute.
    __m128d a1[kLong];
    __m128d a2[kLong];
    __m128d last[kLong];
    __m128d beforeLast[kLong];
    for (std::size_t k = 0; k < kLong; ++k) {
        const bool inS = k < kShort;
        a1[k] = pair(inS ? s.band.sections[k].a1 : 0.0, l.band.sections[k].a1);
        a2[k] = pair(inS ? s.band.sections[k].a2 : 0.0, l.band.sections[k].a2);
        last[k] = pair(inS ? s.filter.last[k + 1] : 0.0, l.filter.last[k + 1]);
        beforeLast[k] = pair(inS ? s.filter.beforeLast[k + 1] : 0.0, l.filter.beforeLast[k + 1]);
    }

    const __m128d zero = _mm_setzero_pd();
    const __m128d one = _mm_set1_pd(1.0);
    const __m128d sign = _mm_set1_pd(-0.0);
    __m128d previous = pair(s.crossings.previous, l.crossings.previous);
    __m128d rising = pair(s.crossings.rising, l.crossings.rising);
    __m128d falling = pair(s.crossings.falling, l.crossings.falling);
    // Both dithers step side by side: the same xorshift in two 64-bit lanes.
    // The offset (k - 2^52) / 2^53 of the top 53 bits k is built without an
    // integer conversion, which SSE2 lacks for 64 bits: with h = k / 2 and
    // b = k mod 2, the double with exponent 0 and mantissa h is 1 + h / 2^52,
    // and (1 + h / 2^52 - 1.5) + b / 2^53 is the offset. Both steps are exact
    // (the results fit in 53 bits), so the values are Dither::offset()'s.
    __m128i state = _mm_set_epi64x(static_cast<std::int64_t>(l.dither.state()),
                                   static_cast<std::int64_t>(s.dither.state()));
    const __m128i exponentOfOne = _mm_set1_epi64x(0x3FF0000000000000);
    const __m128i lowBit = _mm_set1_epi64x(1);
    const __m128i halfUlp = _mm_set1_epi64x(0x3CA0000000000000); // 2^-53
    const __m128d oneAndHalf = _mm_set1_pd(1.5);
    std::size_t foundS = 0;
    std::size_t foundL = 0;
    for (std::size_t n = 0; n < block.size(); ++n) {
        // The band-pass, section after section (see the header).
        __m128d t = input.load(n);
        __m128d filtered = zero;
        [&]<std::size_t... k>(std::index_sequence<k...>) {
            (
                [&] {
                    const __m128d y =
                        _mm_sub_pd(_mm_sub_pd(t, _mm_mul_pd(a2[k], beforeLast[k])), _mm_mul_pd(a1[k], last[k]));
                    t = _mm_sub_pd(y, beforeLast[k]);
                    beforeLast[k] = last[k];
                    last[k] = y;
                    if constexpr (k + 1 == kShort) {
                        filtered = y;
                    }
                    if constexpr (k + 1 == kLong && kShort < kLong) {
                        filtered = _mm_move_sd(y, filtered); // low half: lane 0's own output
                    }
                }(),
                ...);
        }(std::make_index_sequence<kLong>{});

        state = _mm_xor_si128(state, _mm_slli_epi64(state, 13));
        state = _mm_xor_si128(state, _mm_srli_epi64(state, 7));
        state = _mm_xor_si128(state, _mm_slli_epi64(state, 17));
        const __m128d mantissa =
            _mm_sub_pd(_mm_castsi128_pd(_mm_or_si128(_mm_srli_epi64(state, 12), exponentOfOne)), oneAndHalf);
        const __m128i odd = _mm_sub_epi64(_mm_setzero_si128(), _mm_and_si128(_mm_srli_epi64(state, 11), lowBit));
        const __m128d offset = _mm_add_pd(mantissa, _mm_castsi128_pd(_mm_and_si128(odd, halfUlp)));
        const __m128d x = _mm_add_pd(filtered, offset);

        const __m128d up = _mm_cmplt_pd(previous, zero);
        const __m128d rise = _mm_and_pd(up, _mm_cmpge_pd(x, zero));
        const __m128d fall = _mm_andnot_pd(up, _mm_cmplt_pd(x, zero));
        const __m128d d = _mm_max_pd(one, _mm_andnot_pd(sign, _mm_sub_pd(x, previous)));
        const __m128d tp = _mm_div_pd(_mm_andnot_pd(sign, previous), d);
        const __m128d counter = _mm_or_pd(_mm_and_pd(rise, rising), _mm_andnot_pd(rise, falling));
        const __m128d p = _mm_add_pd(_mm_sub_pd(counter, one), tp);
        const __m128d signedPeriod = _mm_xor_pd(p, _mm_andnot_pd(rise, sign));
        _mm_storel_pd(outS.period.data() + foundS, signedPeriod);
        _mm_storeh_pd(outL.period.data() + foundL, signedPeriod);
        outS.at[foundS] = static_cast<std::uint16_t>(n);
        outL.at[foundL] = static_cast<std::uint16_t>(n);
        const int valid = _mm_movemask_pd(_mm_and_pd(_mm_or_pd(rise, fall), _mm_cmpgt_pd(p, zero)));
        foundS += static_cast<std::size_t>(valid & 1);
        foundL += static_cast<std::size_t>(valid >> 1);
        const __m128d restart = _mm_sub_pd(one, tp);
        rising = _mm_add_pd(_mm_or_pd(_mm_and_pd(rise, restart), _mm_andnot_pd(rise, rising)), one);
        falling = _mm_add_pd(_mm_or_pd(_mm_and_pd(fall, restart), _mm_andnot_pd(fall, falling)), one);
        previous = x;
    }

    for (std::size_t k = 0; k < kLong; ++k) {
        if (k < kShort) {
            s.filter.last[k + 1] = low(last[k]);
            s.filter.beforeLast[k + 1] = low(beforeLast[k]);
        }
        l.filter.last[k + 1] = high(last[k]);
        l.filter.beforeLast[k + 1] = high(beforeLast[k]);
    }
    s.filter.settle(kShort + 1);
    l.filter.settle(kLong + 1);
    s.dither.setState(static_cast<std::uint64_t>(_mm_cvtsi128_si64(state)));
    l.dither.setState(static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(state, state))));
    s.crossings = {low(previous), low(rising), low(falling)};
    l.crossings = {high(previous), high(rising), high(falling)};
    outS.count = foundS;
    outL.count = foundL;
}

#ifdef TOLVANA_CROSSINGS_AVX2

// The functions for AVX2 below are built for AVX2 alone, without the fused
// multiply-add extension: the compiler cannot contract a multiply and an add
// into one rounding, and each lane goes through the operations of the plain
// form in its order.

// Where one lane of crossingsInFourLanes writes: as CrossingList does,
// with `atOffset` added to each step's number.
struct FourLaneOutput {
    double* period;
    std::uint16_t* at;
    std::uint16_t atOffset;
};

// The crossing search of findCrossings in the four lanes of one AVX2
// vector: row n of `rows` (four doubles) holds each lane's sample at step
// n; lane i carries on from state[i] and leaves its state there. Returns
// each lane's number of periods.
[[gnu::target("avx2")]] std::array<std::size_t, 4> crossingsInFourLanes(const double* rows, std::size_t steps,
                                                                         CrossingState* state,
                                                                         const std::array<FourLaneOutput, 4>& out) noexcept {
    const __m256d zero = _mm256_setzero_pd();
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d sign = _mm256_set1_pd(-0.0);
    __m256d previous = _mm256_setr_pd(state[0].previous, state[1].previous, state[2].previous, state[3].previous);
    __m256d rising = _mm256_setr_pd(state[0].rising, state[1].rising, state[2].rising, state[3].rising);
    __m256d falling = _mm256_setr_pd(state[0].falling, state[1].falling, state[2].falling, state[3].falling);
    double* const period0 = out[0].period;
    double* const period1 = out[1].period;
    double* const period2 = out[2].period;
    double* const period3 = out[3].period;
    std::uint16_t* const at0 = out[0].at;
    std::uint16_t* const at1 = out[1].at;
    std::uint16_t* const at2 = out[2].at;
    std::uint16_t* const at3 = out[3].at;
    std::size_t found0 = 0;
    std::size_t found1 = 0;
    std::size_t found2 = 0;
    std::size_t found3 = 0;
    for (std::size_t n = 0; n < steps; ++n) {
        const __m256d x = _mm256_load_pd(rows + 4 * n);
        const __m256d up = _mm256_cmp_pd(previous, zero, _CMP_LT_OQ);
        const __m256d rise = _mm256_and_pd(up, _mm256_cmp_pd(x, zero, _CMP_GE_OQ));
        const __m256d fall = _mm256_andnot_pd(up, _mm256_cmp_pd(x, zero, _CMP_LT_OQ));
        const __m256d d = _mm256_max_pd(one, _mm256_andnot_pd(sign, _mm256_sub_pd(x, previous)));
        const __m256d tp = _mm256_div_pd(_mm256_andnot_pd(sign, previous), d);
        const __m256d counter = _mm256_or_pd(_mm256_and_pd(rise, rising), _mm256_andnot_pd(rise, falling));
        const __m256d p = _mm256_add_pd(_mm256_sub_pd(counter, one), tp);
        const __m256d signedPeriod = _mm256_xor_pd(p, _mm256_andnot_pd(rise, sign));
        const __m128d lowPeriods = _mm256_castpd256_pd128(signedPeriod);
        const __m128d highPeriods = _mm256_extractf128_pd(signedPeriod, 1);
        _mm_storel_pd(period0 + found0, lowPeriods);
        _mm_storeh_pd(period1 + found1, lowPeriods);
        _mm_storel_pd(period2 + found2, highPeriods);
        _mm_storeh_pd(period3 + found3, highPeriods);
        const auto step = static_cast<std::uint16_t>(n);
        at0[found0] = static_cast<std::uint16_t>(step + out[0].atOffset);
        at1[found1] = static_cast<std::uint16_t>(step + out[1].atOffset);
        at2[found2] = static_cast<std::uint16_t>(step + out[2].atOffset);
        at3[found3] = static_cast<std::uint16_t>(step + out[3].atOffset);
        const auto valid = static_cast<unsigned>(
            _mm256_movemask_pd(_mm256_and_pd(_mm256_or_pd(rise, fall), _mm256_cmp_pd(p, zero, _CMP_GT_OQ))));
        found0 += valid & 1U;
        found1 += (valid >> 1) & 1U;
        found2 += (valid >> 2) & 1U;
        found3 += valid >> 3;
        const __m256d restart = _mm256_sub_pd(one, tp);
        rising = _mm256_add_pd(_mm256_or_pd(_mm256_and_pd(rise, restart), _mm256_andnot_pd(rise, rising)), one);
        falling = _mm256_add_pd(_mm256_or_pd(_mm256_and_pd(fall, restart), _mm256_andnot_pd(fall, falling)), one);
        previous = x;
    }
    alignas(32) double p[4];
    alignas(32) double r[4];
    alignas(32) double f[4];
    _mm256_store_pd(p, previous);
    _mm256_store_pd(r, rising);
    _mm256_store_pd(f, falling);
    for (std::size_t i = 0; i < 4; ++i) {
        state[i] = {p[i], r[i], f[i]};
    }
    return {found0, found1, found2, found3};
}

// The crossing state before sample `m` of `x` (every `stride`-th value),
// from the state before its first sample, as the crossing search leaves it:
// `previous` is the sample before m, and each counter is the one of the
// last crossing of its direction before m (or the counter it came in with),
// with 1 added for every sample since, one addition after the other (as
// the search adds them, so that every rounding is the same).
CrossingState stateBefore(const double* x, std::size_t stride, std::size_t m, const CrossingState& start) noexcept {
    const auto before = [&](std::size_t j) { return j == 0 ? start.previous : x[(j - 1) * stride]; };
    // The search's restart, 1 - t, for a crossing at sample j; its
    // max(1, |x - previous|) is MAXPD's, which gives the difference when
    // either value is not a number.
    const auto restartAt = [&](std::size_t j) {
        const double previous = before(j);
        const double difference = std::abs(x[j * stride] - previous);
        const double d = 1.0 > difference ? 1.0 : difference;
        return 1.0 - std::abs(previous) / d;
    };
    const auto counterBefore = [&](bool rising) {
        std::size_t j = m;
        while (j > 0) {
            const bool up = before(j - 1) < 0.0;
            const double v = x[(j - 1) * stride];
            if (rising ? (up && v >= 0.0) : (!up && v < 0.0)) {
                break;
            }
            --j;
        }
        // Crossing at j - 1, or none since the start (j == 0).
        double counter = j == 0 ? (rising ? start.rising : start.falling) : restartAt(j - 1);
        for (std::size_t k = j; k < m; ++k) {
            counter += 1.0;
        }
        if (j > 0) {
            counter += 1.0; // the addition of the crossing's own sample
        }
        return counter;
    };
    return {m == 0 ? start.previous : x[(m - 1) * stride], counterBefore(true), counterBefore(false)};
}

// pairedFronts for processors with AVX2: the band-pass and the dither in
// two lanes as there, then the crossing search over the two halves of the
// block at once, in four lanes: each front from its state at the start and
// from its state at the middle, which the first half determines and
// stateBefore works out (a look back to the last crossings before the
// middle). Each lane's arithmetic is pairedFronts', so are the results.
template <std::size_t kShort, std::size_t kLong>
[[gnu::target("avx2")]] void pairedFrontsWide(const ChannelBlock& block, CrossingFront& s, CrossingList& outS,
                                              CrossingFront& l, CrossingList& outL) noexcept {
    constexpr std::size_t kHalf = kBlockFrames / 2;
    LanePairs input;
    {
        const __m128d gain = pair(s.band.gain, l.band.gain);
        __m128d last = pair(s.filter.last[0], l.filter.last[0]);
        __m128d beforeLast = pair(s.filter.beforeLast[0], l.filter.beforeLast[0]);
        for (std::size_t n = 0; n < block.size(); ++n) {
            const __m128d sample = _mm_set1_pd(block[n]);
            input.store(n, _mm_mul_pd(gain, _mm_sub_pd(sample, beforeLast)));
            beforeLast = last;
            last = sample;
        }
        s.filter.last[0] = low(last);
        s.filter.beforeLast[0] = low(beforeLast);
        l.filter.last[0] = high(last);
        l.filter.beforeLast[0] = high(beforeLast);
    }

    __m128d a1[kLong];
    __m128d a2[kLong];
    __m128d last[kLong];
    __m128d beforeLast[kLong];
    for (std::size_t k = 0; k < kLong; ++k) {
        const bool inS = k < kShort;
        a1[k] = pair(inS ? s.band.sections[k].a1 : 0.0, l.band.sections[k].a1);
        a2[k] = pair(inS ? s.band.sections[k].a2 : 0.0, l.band.sections[k].a2);
        last[k] = pair(inS ? s.filter.last[k + 1] : 0.0, l.filter.last[k + 1]);
        beforeLast[k] = pair(inS ? s.filter.beforeLast[k + 1] : 0.0, l.filter.beforeLast[k + 1]);
    }
    __m128i state = _mm_set_epi64x(static_cast<std::int64_t>(l.dither.state()),
                                   static_cast<std::int64_t>(s.dither.state()));
    const __m128i exponentOfOne = _mm_set1_epi64x(0x3FF0000000000000);
    const __m128i lowBit = _mm_set1_epi64x(1);
    const __m128i halfUlp = _mm_set1_epi64x(0x3CA0000000000000); // 2^-53
    const __m128d oneAndHalf = _mm_set1_pd(1.5);
    // Row i: the two fronts' samples i and kHalf + i.
    alignas(32) double rows[4 * kHalf];
    for (std::size_t n = 0; n < kBlockFrames; ++n) {
        __m128d t = input.load(n);
        __m128d filtered = _mm_setzero_pd();
#pragma GCC unroll 3
        for (std::size_t k = 0; k < kLong; ++k) {
            const __m128d y = _mm_sub_pd(_mm_sub_pd(t, _mm_mul_pd(a2[k], beforeLast[k])), _mm_mul_pd(a1[k], last[k]));
            t = _mm_sub_pd(y, beforeLast[k]);
            beforeLast[k] = last[k];
            last[k] = y;
            if (k + 1 == kShort) {
                filtered = y;
            }
            if (k + 1 == kLong && kShort < kLong) {
                filtered = _mm_move_sd(y, filtered); // low half: lane 0's own output
            }
        }
        state = _mm_xor_si128(state, _mm_slli_epi64(state, 13));
        state = _mm_xor_si128(state, _mm_srli_epi64(state, 7));
        state = _mm_xor_si128(state, _mm_slli_epi64(state, 17));
        const __m128d mantissa =
            _mm_sub_pd(_mm_castsi128_pd(_mm_or_si128(_mm_srli_epi64(state, 12), exponentOfOne)), oneAndHalf);
        const __m128i odd = _mm_sub_epi64(_mm_setzero_si128(), _mm_and_si128(_mm_srli_epi64(state, 11), lowBit));
        const __m128d offset = _mm_add_pd(mantissa, _mm_castsi128_pd(_mm_and_si128(odd, halfUlp)));
        _mm_store_pd(rows + (n < kHalf ? 4 * n : 4 * (n - kHalf) + 2), _mm_add_pd(filtered, offset));
    }
    for (std::size_t k = 0; k < kLong; ++k) {
        if (k < kShort) {
            s.filter.last[k + 1] = low(last[k]);
            s.filter.beforeLast[k + 1] = low(beforeLast[k]);
        }
        l.filter.last[k + 1] = high(last[k]);
        l.filter.beforeLast[k + 1] = high(beforeLast[k]);
    }
    s.filter.settle(kShort + 1);
    l.filter.settle(kLong + 1);
    s.dither.setState(static_cast<std::uint64_t>(_mm_cvtsi128_si64(state)));
    l.dither.setState(static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(state, state))));

    // The second halves write behind the first halves' room (a first half
    // writes at most at place kHalf - 1) and move down afterwards.
    CrossingState crossings[4] = {s.crossings, l.crossings, stateBefore(rows, 4, kHalf, s.crossings),
                                  stateBefore(rows + 1, 4, kHalf, l.crossings)};
    const std::array<FourLaneOutput, 4> lanesOut{
        FourLaneOutput{outS.period.data(), outS.at.data(), 0}, FourLaneOutput{outL.period.data(), outL.at.data(), 0},
        FourLaneOutput{outS.period.data() + kHalf, outS.at.data() + kHalf, kHalf},
        FourLaneOutput{outL.period.data() + kHalf, outL.at.data() + kHalf, kHalf}};
    const std::array<std::size_t, 4> found = crossingsInFourLanes(rows, kHalf, crossings, lanesOut);
    for (std::size_t i = 0; i < 2; ++i) {
        CrossingList& out = i == 0 ? outS : outL;
        std::copy_n(out.period.begin() + kHalf, found[i + 2], out.period.begin() + static_cast<std::ptrdiff_t>(found[i]));
        std::copy_n(out.at.begin() + kHalf, found[i + 2], out.at.begin() + static_cast<std::ptrdiff_t>(found[i]));
        out.count = found[i] + found[i + 2];
    }
    s.crossings = crossings[2];
    l.crossings = crossings[3];
}

[[gnu::target("avx2")]] inline __m256d load4(const std::array<double, 4>& v) noexcept { return _mm256_loadu_pd(v.data()); }

// The four front ends of a stereo buffer in the four lanes of one AVX2
// vector: lanes 0 and 1 are `ls` (kShort sections) and `ll` (kLong) over the
// left block, lanes 2 and 3 `rs` and `rl` over the right block. Each lane
// goes through pairedFronts' operations in pairedFronts' order, so every
// lane's values are runFront's bit for bit.
template <std::size_t kShort, std::size_t kLong>
[[gnu::target("avx2")]] void quadFronts(const ChannelBlock& left, FrontRun ls, FrontRun ll,
                                        const ChannelBlock& right, FrontRun rs, FrontRun rl) noexcept {
    CrossingFront* const front[4] = {&ls.front, &ll.front, &rs.front, &rl.front};
    // (A lambda does not inherit the function's target, so the lambdas
    // here gather plain numbers and the loads stay outside them.)
    const auto gather = [&](auto value) {
        std::array<double, 4> v;
        for (std::size_t lane = 0; lane < 4; ++lane) {
            v[lane] = value(*front[lane], lane);
        }
        return v;
    };

    const auto inLane = [](std::size_t lane, std::size_t k) { return k < (lane % 2 == 0 ? kShort : kLong); };

    // Each first section's input for the whole block, as in pairedFronts.
    alignas(32) double input[4 * kBlockFrames];
    {
        const __m256d gain = load4(gather([](const CrossingFront& f, std::size_t) { return f.band.gain; }));
        __m256d last = load4(gather([](const CrossingFront& f, std::size_t) { return f.filter.last[0]; }));
        __m256d beforeLast = load4(gather([](const CrossingFront& f, std::size_t) { return f.filter.beforeLast[0]; }));
        for (std::size_t n = 0; n < kBlockFrames; ++n) {
            const __m256d sample = _mm256_setr_pd(left[n], left[n], right[n], right[n]);
            _mm256_store_pd(input + 4 * n, _mm256_mul_pd(gain, _mm256_sub_pd(sample, beforeLast)));
            beforeLast = last;
            last = sample;
        }
        alignas(32) double l[4];
        alignas(32) double b[4];
        _mm256_store_pd(l, last);
        _mm256_store_pd(b, beforeLast);
        for (std::size_t lane = 0; lane < 4; ++lane) {
            front[lane]->filter.last[0] = l[lane];
            front[lane]->filter.beforeLast[0] = b[lane];
        }
    }

    __m256d a1[kLong];
    __m256d a2[kLong];
    __m256d last[kLong];
    __m256d beforeLast[kLong];
    for (std::size_t k = 0; k < kLong; ++k) {
        // A short lane runs the sections beyond its own with zero
        // coefficients; their values never leave the registers.
        a1[k] = load4(gather([&](const CrossingFront& f, std::size_t lane) { return inLane(lane, k) ? f.band.sections[k].a1 : 0.0; }));
        a2[k] = load4(gather([&](const CrossingFront& f, std::size_t lane) { return inLane(lane, k) ? f.band.sections[k].a2 : 0.0; }));
        last[k] = load4(gather([&](const CrossingFront& f, std::size_t lane) { return inLane(lane, k) ? f.filter.last[k + 1] : 0.0; }));
        beforeLast[k] =
            load4(gather([&](const CrossingFront& f, std::size_t lane) { return inLane(lane, k) ? f.filter.beforeLast[k + 1] : 0.0; }));
    }

    // The dither as in pairedFronts, in four 64-bit lanes.
    __m256i state = _mm256_setr_epi64x(
        static_cast<std::int64_t>(front[0]->dither.state()), static_cast<std::int64_t>(front[1]->dither.state()),
        static_cast<std::int64_t>(front[2]->dither.state()), static_cast<std::int64_t>(front[3]->dither.state()));
    const __m256i exponentOfOne = _mm256_set1_epi64x(0x3FF0000000000000);
    const __m256i lowBit = _mm256_set1_epi64x(1);
    const __m256i halfUlp = _mm256_set1_epi64x(0x3CA0000000000000); // 2^-53
    const __m256d oneAndHalf = _mm256_set1_pd(1.5);
    // Band-pass and dither first, in place of the input: in one loop with
    // the crossing search, four lanes of both would not fit the sixteen
    // registers, and the filter's state would go through memory on its
    // chain of dependent multiplies and adds.
    for (std::size_t n = 0; n < kBlockFrames; ++n) {
        __m256d t = _mm256_load_pd(input + 4 * n);
        __m256d filtered = _mm256_setzero_pd();
        // Unrolled, so that the sections' state stays in registers.
#pragma GCC unroll 3
        for (std::size_t k = 0; k < kLong; ++k) {
            const __m256d y = _mm256_sub_pd(_mm256_sub_pd(t, _mm256_mul_pd(a2[k], beforeLast[k])),
                                            _mm256_mul_pd(a1[k], last[k]));
            t = _mm256_sub_pd(y, beforeLast[k]);
            beforeLast[k] = last[k];
            last[k] = y;
            if (k + 1 == kShort) {
                filtered = y;
            }
            if (k + 1 == kLong && kShort < kLong) {
                filtered = _mm256_blend_pd(y, filtered, 0x5); // lanes 0 and 2: the short fronts' own output
            }
        }

        state = _mm256_xor_si256(state, _mm256_slli_epi64(state, 13));
        state = _mm256_xor_si256(state, _mm256_srli_epi64(state, 7));
        state = _mm256_xor_si256(state, _mm256_slli_epi64(state, 17));
        const __m256d mantissa = _mm256_sub_pd(
            _mm256_castsi256_pd(_mm256_or_si256(_mm256_srli_epi64(state, 12), exponentOfOne)), oneAndHalf);
        const __m256i odd =
            _mm256_sub_epi64(_mm256_setzero_si256(), _mm256_and_si256(_mm256_srli_epi64(state, 11), lowBit));
        const __m256d offset = _mm256_add_pd(mantissa, _mm256_castsi256_pd(_mm256_and_si256(odd, halfUlp)));
        _mm256_store_pd(input + 4 * n, _mm256_add_pd(filtered, offset));
    }

    CrossingState crossings[4];
    for (std::size_t i = 0; i < 4; ++i) {
        crossings[i] = front[i]->crossings;
    }
    CrossingList* const out[4] = {&ls.out, &ll.out, &rs.out, &rl.out};
    const std::array<FourLaneOutput, 4> lanesOut{FourLaneOutput{out[0]->period.data(), out[0]->at.data(), 0},
                                                 FourLaneOutput{out[1]->period.data(), out[1]->at.data(), 0},
                                                 FourLaneOutput{out[2]->period.data(), out[2]->at.data(), 0},
                                                 FourLaneOutput{out[3]->period.data(), out[3]->at.data(), 0}};
    const std::array<std::size_t, 4> found = crossingsInFourLanes(input, kBlockFrames, crossings, lanesOut);
    alignas(32) double lane[4];
    for (std::size_t k = 0; k < kLong; ++k) {
        _mm256_store_pd(lane, last[k]);
        for (std::size_t i = 0; i < 4; ++i) {
            if (inLane(i, k)) {
                front[i]->filter.last[k + 1] = lane[i];
            }
        }
        _mm256_store_pd(lane, beforeLast[k]);
        for (std::size_t i = 0; i < 4; ++i) {
            if (inLane(i, k)) {
                front[i]->filter.beforeLast[k + 1] = lane[i];
            }
        }
    }
    alignas(32) std::uint64_t s[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(s), state);
    for (std::size_t i = 0; i < 4; ++i) {
        front[i]->filter.settle((i % 2 == 0 ? kShort : kLong) + 1);
        front[i]->dither.setState(s[i]);
        front[i]->crossings = crossings[i];
        out[i]->count = found[i];
    }
}

#endif

} // namespace

void runFronts(const ChannelBlock& block, CrossingFront& a, CrossingList& outA, CrossingFront& b,
               CrossingList& outB) noexcept {
#ifdef TOLVANA_CROSSINGS_AVX2
    if (fourLaneFronts()) {
        // Lane 0 takes the front with fewer sections.
        const bool aFirst = sectionsOf(a.band) <= sectionsOf(b.band);
        CrossingFront& s = aFirst ? a : b;
        CrossingFront& l = aFirst ? b : a;
        CrossingList& outS = aFirst ? outA : outB;
        CrossingList& outL = aFirst ? outB : outA;
        switch (sectionsOf(s.band) * 4 + sectionsOf(l.band)) {
        case 1 * 4 + 1: pairedFrontsWide<1, 1>(block, s, outS, l, outL); return;
        case 1 * 4 + 2: pairedFrontsWide<1, 2>(block, s, outS, l, outL); return;
        case 1 * 4 + 3: pairedFrontsWide<1, 3>(block, s, outS, l, outL); return;
        case 2 * 4 + 2: pairedFrontsWide<2, 2>(block, s, outS, l, outL); return;
        case 2 * 4 + 3: pairedFrontsWide<2, 3>(block, s, outS, l, outL); return;
        default: pairedFrontsWide<3, 3>(block, s, outS, l, outL); return;
        }
    }
#endif
    runFrontsTwoLanes(block, a, outA, b, outB);
}

void runFrontsTwoLanes(const ChannelBlock& block, CrossingFront& a, CrossingList& outA, CrossingFront& b,
                       CrossingList& outB) noexcept {
    // Lane 0 takes the front with fewer sections.
    const bool aFirst = sectionsOf(a.band) <= sectionsOf(b.band);
    CrossingFront& s = aFirst ? a : b;
    CrossingFront& l = aFirst ? b : a;
    CrossingList& outS = aFirst ? outA : outB;
    CrossingList& outL = aFirst ? outB : outA;
    switch (sectionsOf(s.band) * 4 + sectionsOf(l.band)) {
    case 1 * 4 + 1: pairedFronts<1, 1>(block, s, outS, l, outL); break;
    case 1 * 4 + 2: pairedFronts<1, 2>(block, s, outS, l, outL); break;
    case 1 * 4 + 3: pairedFronts<1, 3>(block, s, outS, l, outL); break;
    case 2 * 4 + 2: pairedFronts<2, 2>(block, s, outS, l, outL); break;
    case 2 * 4 + 3: pairedFronts<2, 3>(block, s, outS, l, outL); break;
    default: pairedFronts<3, 3>(block, s, outS, l, outL); break;
    }
}

bool fourLaneFronts() noexcept {
#ifdef TOLVANA_CROSSINGS_AVX2
    return __builtin_cpu_supports("avx2") != 0;
#else
    return false;
#endif
}

void runFronts(const ChannelBlock& left, FrontRun leftA, FrontRun leftB, const ChannelBlock& right,
               FrontRun rightA, FrontRun rightB) noexcept {
#ifdef TOLVANA_CROSSINGS_AVX2
    // Each side's lane 0 takes the front with fewer sections; the four lanes
    // need both sides to have the same sections.
    const bool leftFirst = sectionsOf(leftA.front.band) <= sectionsOf(leftB.front.band);
    const bool rightFirst = sectionsOf(rightA.front.band) <= sectionsOf(rightB.front.band);
    const FrontRun ls = leftFirst ? leftA : leftB;
    const FrontRun ll = leftFirst ? leftB : leftA;
    const FrontRun rs = rightFirst ? rightA : rightB;
    const FrontRun rl = rightFirst ? rightB : rightA;
    const std::size_t shortSections = sectionsOf(ls.front.band);
    const std::size_t longSections = sectionsOf(ll.front.band);
    if (fourLaneFronts() && shortSections == sectionsOf(rs.front.band) && longSections == sectionsOf(rl.front.band)) {
        switch (shortSections * 4 + longSections) {
        case 1 * 4 + 1: quadFronts<1, 1>(left, ls, ll, right, rs, rl); return;
        case 1 * 4 + 2: quadFronts<1, 2>(left, ls, ll, right, rs, rl); return;
        case 1 * 4 + 3: quadFronts<1, 3>(left, ls, ll, right, rs, rl); return;
        case 2 * 4 + 2: quadFronts<2, 2>(left, ls, ll, right, rs, rl); return;
        case 2 * 4 + 3: quadFronts<2, 3>(left, ls, ll, right, rs, rl); return;
        default: quadFronts<3, 3>(left, ls, ll, right, rs, rl); return;
        }
    }
#endif
    runFronts(left, leftA.front, leftA.out, leftB.front, leftB.out);
    runFronts(right, rightA.front, rightA.out, rightB.front, rightB.out);
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
    runFrontsTwoLanes(block, a, outA, b, outB);
}

void runFrontsTwoLanes(const ChannelBlock& block, CrossingFront& a, CrossingList& outA, CrossingFront& b,
                       CrossingList& outB) noexcept {
    runFront(block, a, outA);
    runFront(block, b, outB);
}

bool fourLaneFronts() noexcept { return false; }

void runFronts(const ChannelBlock& left, FrontRun leftA, FrontRun leftB, const ChannelBlock& right,
               FrontRun rightA, FrontRun rightB) noexcept {
    runFronts(left, leftA.front, leftA.out, leftB.front, leftB.out);
    runFronts(right, rightA.front, rightA.out, rightB.front, rightB.out);
}

#endif

} // namespace tolvana
