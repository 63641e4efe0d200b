#include "decoders/pocsag/pocsag_click_filter.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <tuple>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TOLVANA_CLICKS_AVX2 1
#endif

namespace tolvana::pocsag {

namespace {

constexpr std::uint64_t kOneBits = 0x3FF0000000000000ull; // the double 1.0
constexpr std::size_t kFrames = std::tuple_size_v<ChannelBlock>;

std::uint64_t splitmix64(std::uint64_t& x) noexcept {
    x += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = x;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::uint64_t xorshift(std::uint64_t s) noexcept {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return s;
}

// Median of five values with ten min/max operations and no branch: on noise
// the order of the five is random, and each compare-and-swap branch would be
// mispredicted every other sample. The smallest of a..d lies below three
// values and the largest above three, so neither can be the median unless
// it equals it; the median of the five is then the median of e and the two
// that remain, max(min(a, b), min(c, d)) and min(max(a, b), max(c, d)).
inline double median5(double a, double b, double c, double d, double e) noexcept {
    const double low = std::max(std::min(a, b), std::min(c, d));
    const double high = std::min(std::max(a, b), std::max(c, d));
    return std::max(std::min(low, high), std::min(std::max(low, high), e));
}

#ifdef TOLVANA_CLICKS_AVX2

// std::min(a, b) is "b < a ? b : a" and std::max(a, b) is "a < b ? b : a";
// the vector minimum and maximum return their second operand when the
// comparison fails, so they take the operands the other way round and agree
// with the plain form in every case, NaN and -0 against +0 included.
[[gnu::target("avx2")]] inline __m256d minOf(__m256d a, __m256d b) noexcept { return _mm256_min_pd(b, a); }
[[gnu::target("avx2")]] inline __m256d maxOf(__m256d a, __m256d b) noexcept { return _mm256_max_pd(b, a); }

[[gnu::target("avx2")]] void filterClicksAvx2(const ChannelBlock& in, ClickFilterState& state,
                                               ChannelBlock& out) noexcept {
    auto& ways = state.dither.states();
    static_assert(InterleavedDither::kWays == 16 && kFrames % 16 == 0);
    __m256i s[4];
    for (std::size_t k = 0; k < 4; ++k) {
        s[k] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ways.data() + 4 * k));
    }
    const __m256i one = _mm256_set1_epi64x(static_cast<long long>(kOneBits));
    const __m256d oneAndAHalf = _mm256_set1_pd(1.5);
    // The four dithered samples before the ones under way; the windows of
    // the median are put together from two such vectors in registers.
    __m256d before = _mm256_loadu_pd(state.last.data());
    for (std::size_t n = 0; n < kFrames; n += 16) {
        for (std::size_t k = 0; k < 4; ++k) {
            __m256i t = s[k];
            t = _mm256_xor_si256(t, _mm256_slli_epi64(t, 13));
            t = _mm256_xor_si256(t, _mm256_srli_epi64(t, 7));
            t = _mm256_xor_si256(t, _mm256_slli_epi64(t, 17));
            s[k] = t;
            const __m256d unit = _mm256_castsi256_pd(_mm256_or_si256(_mm256_srli_epi64(t, 12), one));
            const __m256d offset = _mm256_sub_pd(unit, oneAndAHalf);
            // Samples m-4..m-1 in `a`, m..m+3 in `e`: the windows of the
            // four medians start at a[0], a[1], a[2] and a[3].
            const __m256d a = before;
            const __m256d e = _mm256_add_pd(_mm256_loadu_pd(in.data() + n + 4 * k), offset);
            const __m256d c = _mm256_permute2f128_pd(a, e, 0x21); // a2 a3 e0 e1
            const __m256d b = _mm256_shuffle_pd(a, c, 0x5);       // a1 a2 a3 e0
            const __m256d d = _mm256_shuffle_pd(c, e, 0x5);       // a3 e0 e1 e2
            const __m256d low = maxOf(minOf(a, b), minOf(c, d));
            const __m256d high = minOf(maxOf(a, b), maxOf(c, d));
            _mm256_storeu_pd(out.data() + n + 4 * k, maxOf(minOf(low, high), minOf(maxOf(low, high), e)));
            before = e;
        }
    }
    for (std::size_t k = 0; k < 4; ++k) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(ways.data() + 4 * k), s[k]);
    }
    _mm256_storeu_pd(state.last.data(), before);
}

// _mm256_cvtpd_epi32 rounds as the rounding mode says: to nearest, ties to
// even, which nothing in tolvana changes; std::nearbyint follows the same mode.
[[gnu::target("avx2")]] void toWholeSamplesAvx2(const ChannelBlock& x, std::int32_t offset,
                                                 WholeSamples& out) noexcept {
    const __m128i add = _mm_set1_epi32(offset);
    for (std::size_t n = 0; n < kFrames; n += 4) {
        const __m256d v = _mm256_loadu_pd(x.data() + n);
        const __m256d doubled = _mm256_add_pd(v, v);
        const __m128i rounded = _mm256_cvtpd_epi32(v);
        const __m128i up = _mm256_cvtpd_epi32(_mm256_round_pd(doubled, _MM_FROUND_TO_POS_INF | _MM_FROUND_NO_EXC));
        const __m128i down = _mm256_cvtpd_epi32(_mm256_round_pd(doubled, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out.rounded.data() + n), _mm_add_epi32(rounded, add));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out.ceilDoubled.data() + n), _mm_add_epi32(up, add));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out.floorDoubled.data() + n), _mm_add_epi32(down, add));
    }
}

bool haveAvx2() noexcept {
    static const bool have = __builtin_cpu_supports("avx2") != 0;
    return have;
}

#endif

} // namespace

InterleavedDither::InterleavedDither(std::uint64_t seed) noexcept {
    std::uint64_t x = seed;
    for (std::uint64_t& s : m_state) {
        s = splitmix64(x);
        if (s == 0) { // the one state xorshift never leaves
            s = 0x2545F4914F6CDD1Dull;
        }
    }
}

double InterleavedDither::next(std::size_t way) noexcept {
    m_state[way] = xorshift(m_state[way]);
    return offsetOf(m_state[way]);
}

double InterleavedDither::offsetOf(std::uint64_t state) noexcept {
    return std::bit_cast<double>(kOneBits | (state >> 12)) - 1.5;
}

void filterClicksPlain(const ChannelBlock& in, ClickFilterState& state, ChannelBlock& out) noexcept {
    double w0 = state.last[0];
    double w1 = state.last[1];
    double w2 = state.last[2];
    double w3 = state.last[3];
    for (std::size_t n = 0; n < kFrames; ++n) {
        const double w4 = in[n] + state.dither.next(n % InterleavedDither::kWays);
        out[n] = median5(w0, w1, w2, w3, w4);
        w0 = w1;
        w1 = w2;
        w2 = w3;
        w3 = w4;
    }
    state.last = {w0, w1, w2, w3};
}

void toWholeSamplesPlain(const ChannelBlock& x, std::int32_t offset, WholeSamples& out) noexcept {
    for (std::size_t n = 0; n < kFrames; ++n) {
        const double doubled = x[n] + x[n];
        out.rounded[n] = static_cast<std::int32_t>(std::nearbyint(x[n])) + offset;
        out.ceilDoubled[n] = static_cast<std::int32_t>(std::ceil(doubled)) + offset;
        out.floorDoubled[n] = static_cast<std::int32_t>(std::floor(doubled)) + offset;
    }
}

void toWholeSamples(const ChannelBlock& x, std::int32_t offset, WholeSamples& out) noexcept {
#ifdef TOLVANA_CLICKS_AVX2
    if (haveAvx2()) {
        toWholeSamplesAvx2(x, offset, out);
        return;
    }
#endif
    toWholeSamplesPlain(x, offset, out);
}

void filterClicks(const ChannelBlock& in, ClickFilterState& state, ChannelBlock& out) noexcept {
#ifdef TOLVANA_CLICKS_AVX2
    if (haveAvx2()) {
        filterClicksAvx2(in, state, out);
        return;
    }
#endif
    filterClicksPlain(in, state, out);
}

} // namespace tolvana::pocsag
