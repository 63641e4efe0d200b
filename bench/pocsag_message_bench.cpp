// Work of the POCSAG message decoder per batch, beside the demodulator's per
// sample work: the batch check reads every codeword at five offsets and
// follows slips (a batch lasts 0.23 s at 2400 bit/s), and the decision
// numeric or text reads a message twice.
#include "decoders/pocsag/pocsag_bch.h"
#include "decoders/pocsag/pocsag_message_decoder.h"
#include "support/pocsag_encoder.h"

#include <benchmark/benchmark.h>

namespace tolvana {
namespace {

std::vector<std::uint32_t> firstBatch(bool slipped) {
    const auto words = test::pocsagBatches(
        {{1200006, 3, test::PocsagCall::Kind::Alphanumeric, "Einsatz Brandmeldeanlage Wache 3"}});
    std::vector<bool> bits = test::pocsagBits(words, 0);
    if (slipped) {
        bits.erase(bits.begin() + 5 * 32 + 7); // among the idles: everything after reads a bit off
    }
    std::vector<std::uint32_t> batch;
    for (std::size_t at = 0; batch.size() < pocsag::kBatchCodewords; at += 32) {
        std::uint32_t word = 0;
        for (std::size_t b = 0; b < 32; ++b) {
            word = (word << 1) | static_cast<std::uint32_t>(bits[at + b]);
        }
        batch.push_back(word);
    }
    return batch;
}

// Argument 0: a batch received in step; 1: a batch with a bit lost.
void BM_PocsagBatchCheck(benchmark::State& state) {
    const auto batch = firstBatch(state.range(0) != 0);
    pocsag::CheckedBatch checked;
    for (auto _ : state) {
        pocsag::checkBatch(batch, checked);
        benchmark::DoNotOptimize(checked);
    }
    state.counters["batches_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PocsagBatchCheck)->Arg(0)->Arg(1);

// The longest message (63 codewords, 180 characters of text).
void BM_PocsagMessageText(benchmark::State& state) {
    std::string text;
    while (text.size() < 180) {
        text += test::germanSevenBit("Einsatz: Brand in Wohnung, Stra\u00DFe 12, 2. OG; ");
    }
    text.resize(180);
    const auto words = test::pocsagAlphanumericCodewords(text);
    std::string decoded;
    decoded.reserve(1000);
    for (auto _ : state) {
        PocsagMessageDecoder::decodeMessage(words, 0, decoded);
        benchmark::DoNotOptimize(decoded);
    }
    state.counters["messages_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PocsagMessageText);

} // namespace
} // namespace tolvana
