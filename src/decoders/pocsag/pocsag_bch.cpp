// BCH(31,21) syndrome decoding of POCSAG codewords (layout in pocsag_bch.h).
#include "decoders/pocsag/pocsag_bch.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <limits>

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

// What a reading of a codeword costs, roughly how unlikely it is for a
// codeword read in step. Idles are the commonest codewords of a transmission
// and nothing else looks like them, so an exact idle is the surest sign of a
// reading in step; any other exact codeword is a little less sure, since a
// codeword read a bit off is often an exact rotation of the one sent. Every
// corrected bit costs one more; a codeword beyond repair costs most.
constexpr int kCostIdle = 0;
constexpr int kCostExact = 1;
constexpr int kCostUncorrectable = 5;
// Moving the reading. Three lets a slip be followed once the codewords
// after it fit the new step clearly better (a run of idles, or two or three
// damaged codewords), while bit errors in a batch received in step never pay
// for a move. A slip of two bits is one event too (one run measured two bits
// long or short), only rarer: it costs one more. Tuned on a noise sweep at
// the three bit rates.
constexpr int kCostSlip = 3;
constexpr int kCostSlipExtraBit = 1;
constexpr int kReadings = 2 * kMaxSlipBits + 1;
constexpr int kInStep = kMaxSlipBits; // index of the reading without offset
constexpr int kUnreachable = std::numeric_limits<int>::max() / 4;

int readingCost(const CodewordCheck& check) noexcept {
    if (!check.valid) {
        return kCostUncorrectable;
    }
    if (check.corrected > 0) {
        return kCostExact + check.corrected;
    }
    return check.word == kIdleCodeword || check.word == kSyncCodeword ? kCostIdle : kCostExact;
}

// The codeword that starts `start` bits into the batch (bit 0 is the first
// bit received). A reading late at the last position reaches past the batch,
// into bits the receiver has already given to its search for the next sync
// codeword; the missing last bits (parity and check bits) are taken as
// whatever fits best.
CodewordCheck readAt(std::span<const std::uint32_t> batch, int start) noexcept {
    const auto index = static_cast<std::size_t>(start / 32);
    const int shift = start % 32;
    std::uint32_t word = batch[index] << shift;
    if (shift > 0 && index + 1 < batch.size()) {
        word |= batch[index + 1] >> (32 - shift);
    }
    const int missing = start + 32 - 32 * static_cast<int>(batch.size());
    CodewordCheck best = checkCodeword(word);
    for (std::uint32_t fill = 1; missing > 0 && fill < (1u << missing); ++fill) {
        const CodewordCheck check = checkCodeword(word | fill);
        if (readingCost(check) < readingCost(best)) {
            best = check;
        }
    }
    return best;
}

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

void checkBatch(std::span<const std::uint32_t> batch, CheckedBatch& out, int nextSyncOffset) noexcept {
    const std::size_t n = std::min(batch.size(), kBatchCodewords);
    batch = batch.first(n);
    out.size = n;
    if (n == 0) {
        return;
    }
    // Cheapest way of reading positions 0..p that reads position p with
    // reading r (offset r - kMaxSlipBits), and the reading of p - 1 on it.
    std::array<std::array<CodewordCheck, kReadings>, kBatchCodewords> reads{};
    std::array<std::array<int, kReadings>, kBatchCodewords> cost{};
    std::array<std::array<int, kReadings>, kBatchCodewords> from{};
    cost[0].fill(kUnreachable);
    cost[0][kInStep] = 0; // the receiver found the sync codeword exactly here
    reads[0][kInStep] = checkCodeword(batch[0]);
    for (std::size_t p = 1; p < n; ++p) {
        for (int r = 0; r < kReadings; ++r) {
            const auto ur = static_cast<std::size_t>(r);
            reads[p][ur] = readAt(batch, 32 * static_cast<int>(p) + r - kMaxSlipBits);
            // After a slip, the codewords read in the old step are rotations
            // of the ones sent and often fit exactly too. On a tie the move
            // comes as late as possible: the reading keeps its step until
            // the codewords demand otherwise.
            int best = kUnreachable;
            int bestFrom = r;
            for (int q = 0; q < kReadings; ++q) {
                const int move = q == r ? 0 : kCostSlip + kCostSlipExtraBit * (std::abs(r - q) - 1);
                const int c = cost[p - 1][static_cast<std::size_t>(q)] + move;
                if (c < best || (c == best && bestFrom == r && q != r)) {
                    best = c;
                    bestFrom = q;
                }
            }
            cost[p][ur] = best + readingCost(reads[p][ur]);
            from[p][ur] = bestFrom;
        }
    }
    // The sync codeword after the batch, found (within a few bits) where
    // the receiver found it, is where the reading ends: a slip in the last
    // codewords, which the batch alone cannot show, shows there. The reading
    // must end in that step; one that cannot (a slip of more bits than are
    // followed) ends as near as it can.
    const bool endKnown = n == kBatchCodewords && nextSyncOffset != kUnknownOffset;
    const auto endCost = [&](int q) {
        const int c = cost[n - 1][static_cast<std::size_t>(q)];
        if (!endKnown) {
            return c;
        }
        const int move = std::abs(q - kInStep - nextSyncOffset);
        return move == 0 ? c : c + kUnreachable / 4 * move;
    };
    int r = kInStep;
    for (int q = 0; q < kReadings; ++q) {
        if (endCost(q) < endCost(r)) {
            r = q;
        }
    }
    // Back from the end along the cheapest way. Before each move, the
    // codewords that the new reading fits at least as well as the old one
    // are doubtful: the move could as well have come before them.
    int moveTo = -1; // the reading after the nearest move ahead, while its doubtful run lasts
    for (std::size_t p = n; p-- > 0;) {
        const auto ur = static_cast<std::size_t>(r);
        const int before = p > 0 ? from[p][ur] : r;
        bool doubtful = false;
        if (moveTo >= 0 && p > 0 &&
            readingCost(reads[p][static_cast<std::size_t>(moveTo)]) <= readingCost(reads[p][ur])) {
            doubtful = true;
        } else {
            moveTo = -1;
        }
        out.words[p] = BatchWord{reads[p][ur], r - kMaxSlipBits, before != r, doubtful};
        if (before != r) {
            moveTo = r;
        }
        r = before;
    }
}

} // namespace tolvana::pocsag
