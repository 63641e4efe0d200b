// Telegram decoding from sliced bits: fields, CRC, plausibility, follow-ups.
#include <gtest/gtest.h>

#include <random>

#include "decoders/fms/fms_telegram.h"
#include "support/fms_encoder.h"

namespace tolvana {
namespace {

using test::FmsBitVector;
using test::FmsEncoder;
using test::FmsFields;

FmsBits toBits(const FmsBitVector& v) {
    FmsBits b;
    std::copy(v.begin(), v.end(), b.value.begin());
    b.count = static_cast<int>(v.size());
    return b;
}

FmsBitVector fromText(std::string_view digits) {
    FmsBitVector v;
    for (const char c : digits) {
        v.push_back(static_cast<std::uint8_t>(c - '0'));
    }
    return v;
}

TEST(FmsTelegram, ReferenceStreamFromPublicFormatDocumentation) {
    // A police telegram (BOS 1, Land 9, place 54, vehicle 3353, status 4,
    // Baustufe 1) as printed after its preamble: sync, data, CRC 1000010, end.
    const FmsBitVector stream = fromText("00011010" "1000100110100010110011001010110000101000" "1000010" "0");
    FmsFields f{"19543353", 4, 0, 0, 1};
    EXPECT_EQ(FmsEncoder::telegramBits(f), stream);

    FmsTelegramDecoder d;
    ASSERT_TRUE(d.decode(toBits(stream)));
    EXPECT_EQ(d.reception().telegram, (FmsTelegram{"19543353", 0, 4, 0}));
    EXPECT_TRUE(d.reception().plausible);
    EXPECT_EQ(d.reception().followUpText, "");
}

TEST(FmsTelegram, RandomTelegramsRoundTrip) {
    std::mt19937 gen(3);
    const char* hex = "0123456789ABCDEF";
    for (int i = 0; i < 500; ++i) {
        FmsFields f;
        f.kennung.clear();
        for (int k = 0; k < 8; ++k) {
            f.kennung += hex[gen() % (k < 4 ? 16 : 10)];
        }
        f.status = static_cast<int>(gen() % 16);
        f.richtung = static_cast<int>(gen() % 2);
        f.tki = static_cast<int>(gen() % 4);
        f.baustufe = static_cast<int>(gen() % 2);
        FmsTelegramDecoder d;
        d.decode(toBits(FmsEncoder::telegramBits(f)));
        EXPECT_EQ(d.reception().telegram, f.telegram()) << f.kennung;
        const bool odd = std::count(f.kennung.begin(), f.kennung.end(), '0') >= 6 ||
                         f.kennung.starts_with("0000") || f.kennung.starts_with("FFFF");
        EXPECT_EQ(d.reception().plausible, !odd) << f.kennung;
        EXPECT_EQ(d.followUpPending(), f.status == 10 && f.richtung == 1);
    }
}

TEST(FmsTelegram, EveryFaultyBitRejectsTheTelegram) {
    const FmsBitVector good = FmsEncoder::telegramBits(FmsFields{"6A3B1234", 10, 1, 2, 0});
    for (std::size_t pos = 0; pos < 55; ++pos) {
        for (const std::uint8_t fault : {std::uint8_t{2}, std::uint8_t{3}}) {
            FmsBitVector bad = good;
            // 3 stands for a flipped bit; the sync word is not examined
            bad[pos] = fault == 2 ? kFmsUndecodable : static_cast<std::uint8_t>(1 - bad[pos]);
            if (fault == 3 && pos < 8) {
                continue;
            }
            FmsTelegramDecoder d;
            EXPECT_TRUE(d.decode(toBits(bad))) << pos;
            EXPECT_FALSE(d.reception().plausible) << pos;
            EXPECT_FALSE(d.followUpPending()) << "a faulty alarm waits for nothing, bit " << pos;
            const FmsRejection why = fault == 2 && pos < 48 ? FmsRejection::UndecodableBit : FmsRejection::CrcMismatch;
            EXPECT_EQ(d.rejection(), why) << pos;
            // Even a rejected telegram keeps its numbers inside their fields.
            const FmsTelegram& t = d.reception().telegram;
            EXPECT_TRUE(t.status >= 0 && t.status <= 15) << pos << ": status " << t.status;
            EXPECT_TRUE(t.tki >= 0 && t.tki <= 3) << pos << ": tki " << t.tki;
            EXPECT_TRUE(t.richtung == 0 || t.richtung == 1) << pos << ": richtung " << t.richtung;
        }
    }
    // The end bit is not examined.
    FmsBitVector endBit = good;
    endBit[55] = 1;
    FmsTelegramDecoder d;
    d.decode(toBits(endBit));
    EXPECT_EQ(d.rejection(), FmsRejection::None);
}

TEST(FmsTelegram, IdentityChecks) {
    struct Row {
        const char* sent;
        const char* kennung;
        FmsRejection why;
    };
    for (const Row& r : {Row{"ABCD1234", "ABCD1234", FmsRejection::None},
                         Row{"6F0E9870", "6F0E9870", FmsRejection::None},
                         Row{"61000001", "61000001", FmsRejection::None},
                         Row{"60000001", "60000001", FmsRejection::TooManyZeros},
                         Row{"00001234", "00001234", FmsRejection::ReservedPrefix},
                         Row{"FFFF1234", "FFFF1234", FmsRejection::ReservedPrefix},
                         Row{"FFFE1234", "FFFE1234", FmsRejection::None},
                         Row{"6234A678", "623410678", FmsRejection::KennungLength},
                         Row{"6234FFFF", "623415151515", FmsRejection::KennungLength}}) {
        FmsTelegramDecoder d;
        d.decode(toBits(FmsEncoder::telegramBits(FmsFields{r.sent, 3, 0, 1, 0})));
        EXPECT_EQ(d.reception().telegram.kennung, r.kennung);
        EXPECT_EQ(d.rejection(), r.why) << r.sent;
        EXPECT_EQ(d.reception().plausible, r.why == FmsRejection::None) << r.sent;
        EXPECT_EQ(d.counters().rejections(r.why), 1u);
    }
}

// Feeds an alarm telegram, then the follow-ups; returns after which one the
// reception came out (1-based), 0 if none did.
struct AlarmResult {
    int readyAfter = 0;
    FmsReception reception;
    FmsCounters counters;
};
AlarmResult runAlarm(const std::vector<FmsBitVector>& followUps) {
    FmsTelegramDecoder d;
    EXPECT_FALSE(d.decode(toBits(FmsEncoder::telegramBits(FmsFields{"6A3B1234", 10, 1, 0, 0}))));
    EXPECT_TRUE(d.followUpPending());
    AlarmResult r;
    for (std::size_t i = 0; i < followUps.size() && r.readyAfter == 0; ++i) {
        EXPECT_EQ(d.bitsToSlice(), kFmsFollowUpBits);
        if (d.decode(toBits(followUps[i]))) {
            r.readyAfter = static_cast<int>(i) + 1;
        }
    }
    r.reception = d.reception();
    r.counters = d.counters();
    return r;
}

FmsBitVector lost(FmsBitVector v, std::size_t at) {
    v[at] = kFmsUndecodable;
    return v;
}

TEST(FmsTelegram, FollowUpsEndAsAnnouncedOrMarked) {
    // Announced count, end mark on the last one, odd and even characters.
    const auto text = FmsEncoder::alarmFollowUps("XYZ ABCDEFG 1234~");
    auto r = runAlarm(text);
    EXPECT_EQ(r.readyAfter, 5);
    EXPECT_EQ(r.reception.followUpText, "XYZ ABCDEFG 1234~");
    EXPECT_EQ(r.reception.telegram, (FmsTelegram{"6A3B1234", 0, 10, 1}));
    EXPECT_TRUE(r.reception.plausible);

    // Count alone: two following, no end marks.
    r = runAlarm({FmsEncoder::firstFollowUpBits(2, "ABC", false), FmsEncoder::laterFollowUpBits("DEFG", false),
                  FmsEncoder::laterFollowUpBits("HIJK", false), FmsEncoder::laterFollowUpBits("LMNO", false)});
    EXPECT_EQ(r.readyAfter, 3);
    EXPECT_EQ(r.reception.followUpText, "ABCDEFGHIJK");

    // Character 4 ends the text; characters below 32 are not text.
    r = runAlarm({FmsEncoder::firstFollowUpBits(9, "A\nB", false), FmsEncoder::laterFollowUpBits("CD\x04" "E", false),
                  FmsEncoder::laterFollowUpBits("FGHI", false)});
    EXPECT_EQ(r.readyAfter, 2);
    EXPECT_EQ(r.reception.followUpText, "ABCDE");

    // A count beyond the limit stops after the 26th follow-up.
    std::vector<FmsBitVector> many{FmsEncoder::firstFollowUpBits(100, "ABC", false)};
    many.resize(40, FmsEncoder::laterFollowUpBits("DEFG", false));
    r = runAlarm(many);
    EXPECT_EQ(r.readyAfter, 26);
    EXPECT_EQ(r.reception.followUpText.size(), 3u + 25 * 4);
}

TEST(FmsTelegram, LostFollowUpsAreMarked) {
    const auto text = FmsEncoder::alarmFollowUps("F1 BRAND IN HAUPTSTR 12");
    // a later one lost: its place is marked and reading goes on
    auto r = runAlarm({text[0], text[1], lost(text[2], 47), text[3], text[4], text[5]});
    EXPECT_EQ(r.readyAfter, 6);
    EXPECT_EQ(r.reception.followUpText, "F1 BRAN--- HAUPTSTR 12");
    EXPECT_EQ(r.counters.lostFollowUps, 1u);

    // the first one lost: its count is unknown, so reading goes on to the end mark
    r = runAlarm({lost(text[0], 3), text[1], text[2], text[3], text[4], text[5]});
    EXPECT_EQ(r.readyAfter, 6);
    EXPECT_EQ(r.reception.followUpText, "---BRAND IN HAUPTSTR 12");

    // every character stays 7-bit text, whatever arrives
    std::vector<FmsBitVector> garbage(30, FmsBitVector(48, kFmsUndecodable));
    r = runAlarm(garbage);
    EXPECT_EQ(r.readyAfter, 26);
    for (const char c : r.reception.followUpText) {
        EXPECT_EQ(c, '-');
    }
}

TEST(FmsTelegram, OnlyAControlRoomStatusTenOpensFollowUps) {
    for (const auto& [status, richtung, pending] : {std::tuple{10, 1, true}, std::tuple{10, 0, false},
                                                    std::tuple{11, 1, false}, std::tuple{9, 1, false}}) {
        FmsTelegramDecoder d;
        EXPECT_EQ(d.decode(toBits(FmsEncoder::telegramBits(FmsFields{"62345678", status, richtung, 0, 0}))), !pending);
        EXPECT_EQ(d.followUpPending(), pending) << status << " " << richtung;
    }
}

} // namespace
} // namespace tolvana
