#include "records/text_codec.h"

#include <QList>

#include <array>

namespace tolvana {

namespace {

// 0x80..0x9F of Windows-1252; the holes (0x81, 0x8D, 0x8F, 0x90, 0x9D) keep
// their C1 control code so that every byte survives a round trip.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The Windows-1252 byte of `c`, or nothing when the code page has none.
std::optional<char> encodeOne(uint c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<char>(static_cast<unsigned char>(c));
    }
    for (std::size_t i = 0; i < kHigh.size(); ++i) {
        if (kHigh[i] == c) {
            return static_cast<char>(0x80 + i);
        }
    }
    return std::nullopt;
}

} // namespace

QByteArray toWindows1252(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (const uint c : text.toUcs4()) {
        out.append(encodeOne(c).value_or('?'));
    }
    return out;
}

std::optional<char32_t> firstCharacterOutsideWindows1252(const QString& text) {
    for (const uint c : text.toUcs4()) {
        if (!encodeOne(c)) {
            return static_cast<char32_t>(c);
        }
    }
    return std::nullopt;
}

QString fromWindows1252(QByteArrayView bytes) {
    QString out;
    out.reserve(bytes.size());
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        out.append(u >= 0x80 && u < 0xA0 ? QChar(kHigh[u - 0x80]) : QChar(static_cast<char16_t>(u)));
    }
    return out;
}

} // namespace tolvana
