#include "decoders/common/zero_crossings.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define TOLVANA_CROSSINGS_SSE2 1
#endif

namespace tolvana {

// Both versions compute, per sample and bit for bit:
//   rise = previous < 0 and x >= 0;  fall = not (previous < 0) and x < 0
//   d = max(|x - previous|, 1);  t = |previous| / d
// For a rising crossing |x - previous| and |previous| are x - previous and
// -previous, for a falling one previous - x and previous: the same numbers,
// so one formula serves both directions.

#ifdef TOLVANA_CROSSINGS_SSE2

// The selections use SSE2 masks (compare, and, andnot, or): the compiler
// turns the same selections written as ?: into branches.
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

#endif

} // namespace tolvana
