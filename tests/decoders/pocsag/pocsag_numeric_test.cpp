// Numeric or alphanumeric: the message decoder reads the content to decide,
// since German BOS pagers take text on every function. Golden messages from
// the test encoder, the documented examples, and the decision measured on
// many random numeric messages and German texts, clean and with a codeword
// damaged beyond repair.
#include "decoders/pocsag/pocsag_message_decoder.h"
#include "support/pocsag_encoder.h"

#include <gtest/gtest.h>
#include <random>

namespace tolvana {
namespace {

using test::PocsagCall;
using Words = std::vector<std::uint32_t>;

// What the decoder hands on for one call alone in a transmission.
std::string pageText(const PocsagCall& call) {
    PocsagMessageDecoder decoder;
    const Words words = test::pocsagBatches({call});
    for (std::size_t at = 0; at < words.size(); at += 17) {
        const bool followed = at + 17 < words.size(); // the next sync codeword came in step
        decoder.processBatch({words.data() + at, std::min<std::size_t>(17, words.size() - at)},
                             followed ? 0 : pocsag::kUnknownOffset);
    }
    decoder.endTransmission();
    EXPECT_EQ(decoder.pages().size(), 1u);
    return decoder.pages().empty() ? "<no page>" : decoder.pages().front().text;
}

struct ContentCase {
    const char* name;
    PocsagCall::Kind kind;
    std::string content;
    std::string text;
};

class PocsagContent : public ::testing::TestWithParam<ContentCase> {};

TEST_P(PocsagContent, IsReadAsItWasSent) {
    const ContentCase& c = GetParam();
    // The function bits are no guide: every content on every function.
    for (int function = 0; function < 4; ++function) {
        EXPECT_EQ(pageText({1234567, function, c.kind, c.content}), c.text)
            << "function " << function;
    }
}

constexpr auto kNumeric = PocsagCall::Kind::Numeric;
constexpr auto kText = PocsagCall::Kind::Alphanumeric;

INSTANTIATE_TEST_SUITE_P(
    Messages, PocsagContent,
    ::testing::Values(
        ContentCase{"Digits", kNumeric, "0123456789", "0123456789"},
        ContentCase{"OneDigit", kNumeric, "1", "1"},
        ContentCase{"EmergencyNumber", kNumeric, "112", "112"},
        ContentCase{"Specials", kNumeric, "U 0711-4711 (3)", "U 0711-4711 (3)"},
        // The blanks that fill the last codeword are not part of the number.
        ContentCase{"FillDropped", kNumeric, "4711", "4711"},
        ContentCase{"FortyDigits", kNumeric, "0123456789-0123456789 0123456789-012345678",
                    "0123456789-0123456789 0123456789-012345678"},
        // Texts of digits only stay texts.
        ContentCase{"TextOfDigits", kText, "112", "112"},
        ContentCase{"TextOfOneDigit", kText, "1", "1"},
        ContentCase{"TextOfTenDigits", kText, "0815471112", "0815471112"},
        ContentCase{"ShortAnswer", kText, "Ja", "Ja"}, ContentCase{"Hyphen", kText, "-", "-"},
        ContentCase{"Time", kText, "19:30", "19:30"},
        ContentCase{"Umlauts", kText, "\x5B\x7E\x0A\x41", "\u00C4\u00DFA"},
        ContentCase{"EndMarks", kText, "Brand\x03\x04", "Brand"},
        ContentCase{"LineBreaks", kText, "B3\r\nWohnung\tOG", "B3WohnungOG"},
        ContentCase{"Alarm", kText,
                    test::germanSevenBit(
                        "Einsatz: Verkehrsunfall, Person eingeklemmt, B27 H\u00F6he Km 12"),
                    "Einsatz: Verkehrsunfall, Person eingeklemmt, B27 H\u00F6he Km 12"},
        // A reserved digit (sent here as "*") is never numeric: the words
        // are read as text, whatever they then say ("!" and a control).
        ContentCase{"ReservedDigit", kNumeric, "12*45", "!"}),
    [](const ::testing::TestParamInfo<ContentCase>& param) {
        return std::string(param.param.name);
    });

// --- The decision measured on random messages -------------------------------

// Numeric messages as users send them: digit strings with blanks and
// hyphens, phone numbers, dates and times.
std::string randomNumber(std::mt19937& gen) {
    const auto pick = [&](int from, int to) {
        return std::uniform_int_distribution<int>(from, to)(gen);
    };
    std::string s;
    switch (pick(0, 3)) {
    case 0:
        for (int i = pick(1, 40); i > 0; --i) {
            const int r = pick(0, 99);
            s += r < 85 ? static_cast<char>('0' + pick(0, 9)) : r < 93 ? ' ' : '-';
        }
        break;
    case 1:
        for (int i = pick(1, 12); i > 0; --i) {
            s += static_cast<char>('0' + pick(0, 9));
        }
        break;
    case 2:
        s = "0" + std::to_string(pick(100, 9999)) + "-" + std::to_string(pick(1000, 9999999));
        break;
    default:
        s = std::to_string(pick(1, 31)) + "-" + std::to_string(pick(1, 12)) + " " +
            std::to_string(pick(0, 23)) + std::to_string(pick(10, 59));
    }
    // The decoder drops trailing blanks as fill: compare what a pager shows.
    while (!s.empty() && s.back() == ' ') {
        s.pop_back();
    }
    return s.empty() ? "0" : s;
}

// German alarm texts of 1..160 characters with umlauts, digits and
// punctuation; a tenth are short answers, a tenth digits only.
std::string randomText(std::mt19937& gen) {
    static const char* const kShort[] = {"1",      "Ja", "112",  "Nein", "OK",    "-",    "?",
                                         "B3",     "F2", "Test", "3",    "19:30", "1.",   "\u00C4",
                                         "\u00DF", "!",  "0",    "99",   "4711",  "Ende", "+++",
                                         "...",    "x",  "A",    "Zz"};
    static const char* const kWords[] = {"Einsatz",
                                         "Brand",
                                         "B3",
                                         "THL",
                                         "Person",
                                         "eingeklemmt",
                                         "Verkehrsunfall",
                                         "Stra\u00DFe",
                                         "Wohnung",
                                         "Feuer",
                                         "Rauchentwicklung",
                                         "Alarm",
                                         "Probealarm",
                                         "Wache",
                                         "RTW",
                                         "NEF",
                                         "L\u00F6schzug",
                                         "Gefahrgut",
                                         "Gro\u00DFbrand",
                                         "Dachstuhl",
                                         "K\u00FCche",
                                         "\u00D6lspur",
                                         "Hauptstra\u00DFe",
                                         "Bahnhofstr.",
                                         "OT",
                                         "M\u00FCller",
                                         "\u00DCbung",
                                         "Stichwort:",
                                         "R\u00FCckmeldung",
                                         "an",
                                         "die",
                                         "und",
                                         "mit",
                                         "Lage",
                                         "unklar",
                                         "BMA",
                                         "ausgel\u00F6st",
                                         "Wasserschaden",
                                         "Atemnot"};
    const auto pick = [&](int from, int to) {
        return std::uniform_int_distribution<int>(from, to)(gen);
    };
    const int kind = pick(0, 9);
    if (kind == 0) {
        return test::germanSevenBit(kShort[pick(0, std::size(kShort) - 1)]);
    }
    std::string s;
    if (kind == 1) {
        for (int i = pick(1, 20); i > 0; --i) {
            s += static_cast<char>('0' + pick(0, 9));
        }
        return s;
    }
    const auto length = static_cast<std::size_t>(pick(1, 160));
    while (s.size() < length) {
        const int r = pick(0, 9);
        if (r < 6) {
            s += kWords[pick(0, std::size(kWords) - 1)];
        } else if (r < 8) {
            s += std::to_string(pick(1, 999));
        } else {
            s += ".,:;-!?/()"[pick(0, 9)];
        }
        s += pick(0, 5) != 0 ? " " : ", ";
    }
    s = test::germanSevenBit(s);
    s.resize(std::min(s.size(), length));
    while (s.size() > 1 && s.back() == ' ') {
        s.pop_back();
    }
    return s;
}

// 4000 of each kind. Measured on 100000 of each: 0.2 % of the numeric
// messages read as text (five or ten digits whose 7-bit reading is two or
// five plausible characters), no text read as digits, also with a codeword
// damaged. The bounds leave room for the sample, not for a regression.
TEST(PocsagNumericDecision, DigitsAreRecognisedAndTextsNeverFlip) {
    std::mt19937 gen(2024);
    int numbersAsText = 0;
    int textsAsNumbers = 0;
    int damagedTextsAsNumbers = 0;
    constexpr int kMessages = 4000;
    for (int i = 0; i < kMessages; ++i) {
        const std::string number = randomNumber(gen);
        const Words digits = test::pocsagNumericCodewords(number);
        if (!PocsagMessageDecoder::isNumeric(digits, 0)) {
            ++numbersAsText;
        } else {
            std::string text;
            PocsagMessageDecoder::decodeMessage(digits, 0, text);
            ASSERT_EQ(text, number);
        }

        const std::string sevenBit = randomText(gen);
        Words text = test::pocsagAlphanumericCodewords(sevenBit);
        if (PocsagMessageDecoder::isNumeric(text, 0)) {
            ++textsAsNumbers;
            ADD_FAILURE() << "read as digits: " << sevenBit;
        }
        // Three bits wrong in one codeword: beyond repair, used as received.
        const auto damaged = std::uniform_int_distribution<std::size_t>(0, text.size() - 1)(gen);
        for (int flips = 0; flips < 3; ++flips) {
            text[damaged] ^= 1u << std::uniform_int_distribution<int>(11, 30)(gen);
        }
        damagedTextsAsNumbers += PocsagMessageDecoder::isNumeric(text, std::uint64_t{1} << damaged);
    }
    EXPECT_LE(numbersAsText, kMessages / 100);
    EXPECT_EQ(textsAsNumbers, 0);
    EXPECT_EQ(damagedTextsAsNumbers, 0);
}

TEST(PocsagNumericDecision, DamagedCodewordsGiveNoEvidenceForDigits) {
    // Three wrong bits turn the "9" of "19:30" into the control character
    // 0x1A; the 4-bit reading of the result has no reserved digit.
    Words words = test::pocsagAlphanumericCodewords("19:30");
    ASSERT_EQ(words.size(), 2u);
    words[0] ^= (1u << 23) | (1u << 22) | (1u << 18);
    std::string text;
    PocsagMessageDecoder::decodeText(words, text);
    ASSERT_EQ(text, "1:30");
    EXPECT_TRUE(PocsagMessageDecoder::isNumeric(words, 0));
    EXPECT_FALSE(PocsagMessageDecoder::isNumeric(words, 0b01));
    std::string decoded;
    PocsagMessageDecoder::decodeMessage(words, 0b01, decoded);
    EXPECT_EQ(decoded, text);
}

} // namespace
} // namespace tolvana
