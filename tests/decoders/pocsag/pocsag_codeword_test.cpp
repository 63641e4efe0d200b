// Codeword level: the BCH check against the test encoder, and the address
// and message steps fed with batches as the demodulator delivers them.
#include <gtest/gtest.h>

#include <bit>
#include <random>

#include "decoders/pocsag/pocsag_bch.h"
#include "decoders/pocsag/pocsag_message_decoder.h"
#include "support/pocsag_encoder.h"

namespace tolvana {
namespace {

using test::PocsagCall;
using Words = std::vector<std::uint32_t>;

Words sampleCodewords() {
    Words words{test::kPocsagSync, test::kPocsagIdle, test::pocsagAddressCodeword(1234567, 3),
                test::pocsagAddressCodeword(0, 0)};
    const Words text = test::pocsagAlphanumericCodewords("Probe");
    words.insert(words.end(), text.begin(), text.end());
    return words;
}

TEST(PocsagBch, EncoderAndCheckAgreeOnEveryCodeword) {
    // The shift-register encoder of the tests reproduces the two fixed
    // codewords, and the decoder's syndrome is zero on all it makes.
    EXPECT_EQ(test::pocsagCodeword(test::kPocsagSync >> 11), test::kPocsagSync);
    EXPECT_EQ(test::pocsagCodeword(test::kPocsagIdle >> 11), test::kPocsagIdle);
    std::mt19937 gen(42);
    for (int i = 0; i < 2000; ++i) {
        const std::uint32_t word = test::pocsagCodeword(gen() & 0x1FFFFFu);
        ASSERT_EQ(pocsag::bchSyndrome(word), 0u);
        const pocsag::CodewordCheck check = pocsag::checkCodeword(word);
        ASSERT_TRUE(check.valid);
        ASSERT_EQ(check.word, word);
        ASSERT_EQ(check.corrected, 0);
    }
}

TEST(PocsagBch, EveryOneAndTwoBitErrorIsCorrected) {
    for (const std::uint32_t word : sampleCodewords()) {
        for (int i = 0; i < 32; ++i) {
            for (int j = i; j < 32; ++j) {
                const std::uint32_t mask = (1u << i) | (1u << j);
                const pocsag::CodewordCheck check = pocsag::checkCodeword(word ^ mask);
                ASSERT_TRUE(check.valid) << std::hex << word << " mask " << mask;
                ASSERT_EQ(check.word, word) << std::hex << word << " mask " << mask;
                ASSERT_EQ(check.corrected, i == j ? 1 : 2);
            }
        }
    }
}

TEST(PocsagBch, ThreeBitErrorsAreNeverTakenForAnotherCodeword) {
    for (const std::uint32_t word : sampleCodewords()) {
        for (int i = 0; i < 32; ++i) {
            for (int j = i + 1; j < 32; ++j) {
                for (int k = j + 1; k < 32; ++k) {
                    const std::uint32_t received = word ^ (1u << i) ^ (1u << j) ^ (1u << k);
                    const pocsag::CodewordCheck check = pocsag::checkCodeword(received);
                    ASSERT_FALSE(check.valid) << std::hex << word << " " << i << "," << j << "," << k;
                    ASSERT_EQ(check.word, received);
                }
            }
        }
    }
}

// Feeds codewords as batches of 17 (sync first) and ends the transmission.
std::optional<PocsagPage> receive(PocsagMessageDecoder& decoder, const Words& words) {
    for (std::size_t at = 0; at < words.size(); at += 17) {
        const std::size_t n = std::min<std::size_t>(17, words.size() - at);
        decoder.processBatch({words.data() + at, n});
    }
    return decoder.endTransmission();
}

std::optional<PocsagPage> receive(const Words& words) {
    PocsagMessageDecoder decoder;
    return receive(decoder, words);
}

Words batchWith(std::size_t position, std::uint32_t word) {
    Words batch(17, test::kPocsagIdle);
    batch[0] = test::kPocsagSync;
    batch[position] = word;
    return batch;
}

TEST(PocsagMessageDecoder, RicIsAddressTimesEightPlusFrame) {
    // Address bits 150000 in the second codeword of frame 3 (position 8).
    const auto page = receive(batchWith(8, test::pocsagAddressCodeword(150000u * 8u, 2)));
    ASSERT_TRUE(page);
    EXPECT_EQ(page->ric, 1200003u);
    EXPECT_EQ(page->function, 2);
    EXPECT_EQ(page->text, "");
}

struct TextCase {
    std::string sevenBit;
    std::string text;
};

class PocsagTextMapping : public ::testing::TestWithParam<TextCase> {};

TEST_P(PocsagTextMapping, SevenBitCodesBecomeGermanText) {
    const PocsagCall call{8, 3, PocsagCall::Kind::Alphanumeric, GetParam().sevenBit};
    const auto page = receive(test::pocsagBatches({call}));
    ASSERT_TRUE(page);
    EXPECT_EQ(page->text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, PocsagTextMapping,
    ::testing::Values(TextCase{"\x5B\x7E\x0A\x41", "\u00C4\u00DFA"},
                      TextCase{"[\\]{|}~", "\u00C4\u00D6\u00DC\u00E4\u00F6\u00FC\u00DF"},
                      TextCase{"Z^`az @#", "Z^`az @#"}, TextCase{"a\x7F" "b", "a<127>b"},
                      TextCase{std::string("\x00\x1F\x04x", 4), "x"},
                      TextCase{test::germanSevenBit("Br\u00E4nde Stra\u00DFe"),
                               "Br\u00E4nde Stra\u00DFe"}));

TEST(PocsagMessageDecoder, OneTransmissionGivesFirstAddressAndLastText) {
    const Words twoCalls = test::pocsagBatches(
        {{1000001, 1, PocsagCall::Kind::Alphanumeric, "erste"},
         {1000002, 2, PocsagCall::Kind::Alphanumeric, "zweite"},
         {1000003, 3, PocsagCall::Kind::AddressOnly, ""}});
    const auto page = receive(twoCalls);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->ric, 1000001u);
    EXPECT_EQ(page->function, 1);
    EXPECT_EQ(page->text, "zweite");
}

TEST(PocsagMessageDecoder, EveryBatchIsReadFromItsStart) {
    // 150 characters fill 53 codewords: the message runs over four batches,
    // and the second address stands in a later batch than the first.
    std::string longText;
    for (int i = 0; longText.size() < 150; ++i) {
        longText += "Zeile " + std::to_string(i) + ", ";
    }
    longText.resize(150);
    const auto page = receive(test::pocsagBatches(
        {{1007, 0, PocsagCall::Kind::AddressOnly, ""},
         {2000006, 3, PocsagCall::Kind::Alphanumeric, longText}}));
    ASSERT_TRUE(page);
    EXPECT_EQ(page->ric, 1007u);
    EXPECT_EQ(page->text, longText);

    // An address alone in the third batch is still found.
    Words words = batchWith(1, test::kPocsagIdle);
    const Words idle = words;
    const Words later = batchWith(12, test::pocsagAddressCodeword(4005, 1));
    words.insert(words.end(), idle.begin(), idle.end());
    words.insert(words.end(), later.begin(), later.end());
    const auto alone = receive(words);
    ASSERT_TRUE(alone);
    EXPECT_EQ(alone->ric, 4005u);
}

TEST(PocsagMessageDecoder, LongMessageIsCutTo63Codewords) {
    const std::string text(200, 'x'); // 70 codewords
    const auto page = receive(test::pocsagBatches({{1016, 0, PocsagCall::Kind::Alphanumeric, text}}));
    ASSERT_TRUE(page);
    EXPECT_EQ(page->text, std::string(180, 'x'));
}

TEST(PocsagMessageDecoder, CutOffMessageDoesNotReachTheNextTransmission) {
    PocsagMessageDecoder decoder;
    Words words = test::pocsagBatches({{1001, 0, PocsagCall::Kind::Alphanumeric, "fertig"},
                                       {1002, 0, PocsagCall::Kind::Alphanumeric, "abgeschnitten"}});
    words.resize(words.size() - 13); // the end comes within the second message
    const auto first = receive(decoder, words);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->text, "fertig");

    const auto second = receive(decoder, test::pocsagBatches({{1003, 1, PocsagCall::Kind::AddressOnly, ""}}));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->ric, 1003u);
    EXPECT_EQ(second->text, "");
}

TEST(PocsagMessageDecoder, NothingWithoutAnAddress) {
    Words words = test::pocsagBatches({{9, 0, PocsagCall::Kind::Alphanumeric, "ohne Adresse"}});
    words[test::findCodeword(words, test::pocsagAddressCodeword(9, 0))] = test::kPocsagIdle;
    EXPECT_FALSE(receive(words));
    EXPECT_FALSE(receive(Words{test::kPocsagSync}));
}

struct ErrorCase {
    std::uint32_t addressMask;
    std::uint32_t messageMask;
    bool pageExpected;
    const char* text;
};

class PocsagCodewordErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(PocsagCodewordErrors, AddressesAreCorrectedOrRefused) {
    const ErrorCase& c = GetParam();
    Words words = test::pocsagBatches({{1234567, 2, PocsagCall::Kind::Alphanumeric, "Brand"}});
    const std::size_t address = test::findCodeword(words, test::pocsagAddressCodeword(1234567, 2));
    test::flipBits(words, address, c.addressMask);
    test::flipBits(words, address + 1, c.messageMask);

    PocsagMessageDecoder decoder;
    const auto page = receive(decoder, words);
    ASSERT_EQ(page.has_value(), c.pageExpected);
    if (page) {
        EXPECT_EQ(page->ric, 1234567u);
        EXPECT_EQ(page->function, 2);
        EXPECT_EQ(page->text, c.text);
    }
    const auto damaged = static_cast<std::uint64_t>((c.addressMask != 0) + (c.messageMask != 0));
    EXPECT_EQ(decoder.counts().corrected + decoder.counts().uncorrectable, damaged);
    EXPECT_EQ(decoder.counts().uncorrectable,
              static_cast<std::uint64_t>(std::popcount(c.addressMask) > 2) +
                  static_cast<std::uint64_t>(std::popcount(c.messageMask) > 2));
}

INSTANTIATE_TEST_SUITE_P(
    Masks, PocsagCodewordErrors,
    ::testing::Values(ErrorCase{0, 0, true, "Brand"},
                      ErrorCase{1u << 31, 0, true, "Brand"},             // flag bit
                      ErrorCase{1u << 20, 0, true, "Brand"},             // address bit
                      ErrorCase{1u, 0, true, "Brand"},                   // parity bit
                      ErrorCase{(1u << 12) | (1u << 3), 0, true, "Brand"}, // function and check bit
                      ErrorCase{(1u << 25) | 1u, 0, true, "Brand"},
                      ErrorCase{0x00700000u, 0, false, ""},              // three: refused
                      ErrorCase{0x80000003u, 0, false, ""},
                      // A message codeword beyond repair is used as received:
                      // its first three characters come out wrong.
                      ErrorCase{0, 0x0000C100u, true, "Brgnd"},
                      ErrorCase{0, 0x40000101u, true, "Crand"}));

} // namespace
} // namespace tolvana
