#include <gtest/gtest.h>

#include "records/text_codec.h"
#include "records_fixture.h"

namespace tolvana {
namespace {

TEST(TextCodec, EveryByteSurvivesARoundTrip) {
    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        all.append(static_cast<char>(b));
    }
    EXPECT_EQ(toWindows1252(fromWindows1252(all)), all);
}

TEST(TextCodec, GermanTextAndTheEuroSign) {
    EXPECT_EQ(fromWindows1252(QByteArray("\xC4\xE4\xDF\x80", 4)), QStringLiteral("\u00C4\u00E4\u00DF\u20AC"));
    EXPECT_EQ(toWindows1252(QStringLiteral("Übung Ölspur €")), QByteArray("\xDC" "bung \xD6lspur \x80"));
}

TEST(TextCodec, UnmappableCharactersBecomeQuestionMarks) {
    EXPECT_EQ(toWindows1252(QStringLiteral("a\u0416b\U0001F692c")), QByteArray("a?b?c"));
}

} // namespace
} // namespace tolvana
