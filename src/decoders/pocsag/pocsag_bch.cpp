// BCH(31,21) syndrome decoding of POCSAG codewords (layout in pocsag_bch.h).
#include "decoders/pocsag/pocsag_bch.h"

#include <array>
#include <bit>

namespace tolvana::pocsag {

namespace {

// g(x) = x^10 + x^9 + x^8 + x^6 + x^5 + x^3 + 1
constexpr std::uint32_t kGenerator = 0x769u;
constexpr int kCheckBits = 10;
constexpr int kCodeBits = 31;

// Remainder of a polynomial of degree < 31 (bit i = x^i) divided by g(x).
constexpr std::uint32_t remainder(std::uint32_t poly) noexcept {
    for (int i = kCodeBits - 1; i >= kCheckBits; --i) {
        if ((poly >> i) & 1u) {
            poly ^= kGenerator << (i - kCheckBits);
        }
    }
    return poly;
}

// For each of the 1024 syndromes the pattern of one or two wrong bits that
// causes it, as a mask over the 32-bit codeword (bit 0, the parity bit, is
// outside the BCH word); 0 where no such pattern exists. The code's distance
// of 5 makes these 1 + 31 + 465 patterns' syndromes all different.
constexpr std::array<std::uint32_t, 1u << kCheckBits> makeErrorTable() {
    std::array<std::uint32_t, 1u << kCheckBits> table{};
    for (int i = 0; i < kCodeBits; ++i) {
        const std::uint32_t one = 1u << i;
        table[remainder(one)] = one << 1;
        for (int j = i + 1; j < kCodeBits; ++j) {
            const std::uint32_t two = one | (1u << j);
            table[remainder(two)] = two << 1;
        }
    }
    return table;
}

constexpr auto kErrorTable = makeErrorTable();

static_assert(remainder(kSyncCodeword >> 1) == 0, "the sync codeword is a word of the code");
static_assert(remainder(kIdleCodeword >> 1) == 0, "the idle codeword is a word of the code");

} // namespace

std::uint32_t bchSyndrome(std::uint32_t word) noexcept { return remainder(word >> 1); }

CodewordCheck checkCodeword(std::uint32_t received) noexcept {
    const std::uint32_t syndrome = bchSyndrome(received);
    const bool parityHolds = (std::popcount(received) & 1) == 0;
    if (syndrome == 0) {
        // Either intact or only the parity bit is wrong.
        return parityHolds ? CodewordCheck{received, 0, true}
                           : CodewordCheck{received ^ 1u, 1, true};
    }
    const std::uint32_t error = kErrorTable[syndrome];
    if (error == 0) {
        return CodewordCheck{received, 0, false};
    }
    std::uint32_t fixed = received ^ error;
    int corrected = std::popcount(error);
    if ((std::popcount(fixed) & 1) != 0) {
        // One wrong bit in the BCH word plus a wrong parity bit is still two
        // errors; two in the BCH word plus the parity bit would be three.
        if (corrected != 1) {
            return CodewordCheck{received, 0, false};
        }
        fixed ^= 1u;
        corrected = 2;
    }
    return CodewordCheck{fixed, corrected, true};
}

} // namespace tolvana::pocsag
