// Colours as tolvana's files store them: 32-bit values with red in the
// low byte, green in the second and blue in the third (0x00BBGGRR). Values
// with the top bit set are Windows system colours (0x80000000 + palette
// index), which a Windows Mon.ini may hold for a field that was never given
// a colour of its own; they are kept as they are and resolved for display.
#pragma once

#include <QtGlobal>

#include <limits>
#include <optional>

namespace tolvana {

constexpr quint32 rgb(int red, int green, int blue) {
    return static_cast<quint32>(red & 0xFF) | (static_cast<quint32>(green & 0xFF) << 8) |
           (static_cast<quint32>(blue & 0xFF) << 16);
}
constexpr int redOf(quint32 colour) {
    return static_cast<int>(colour & 0xFF);
}
constexpr int greenOf(quint32 colour) {
    return static_cast<int>((colour >> 8) & 0xFF);
}
constexpr int blueOf(quint32 colour) {
    return static_cast<int>((colour >> 16) & 0xFF);
}

/// Light grey: background of reception rows and of idle alert lists.
inline constexpr quint32 kLightGrey = rgb(224, 224, 224);
/// The background of an alert list that has received an entry.
inline constexpr quint32 kAlertGreen = rgb(0, 255, 0);
/// The button face (the classic palette of current Windows versions);
/// tolvana's stand-in wherever files from earlier installations name that system colour.
inline constexpr quint32 kButtonFace = rgb(240, 240, 240);

inline constexpr quint32 kSystemColourFlag = 0x80000000u;

/// A colour read from a file as a number: files of earlier installations hold
/// system colours as negative 32-bit numbers. Nothing when the number fits no colour.
constexpr std::optional<quint32> colourFromNumber(qint64 number) {
    if (number < std::numeric_limits<qint32>::min() ||
        number > std::numeric_limits<quint32>::max()) {
        return std::nullopt;
    }
    return static_cast<quint32>(number & 0xFFFFFFFF);
}

/// A stored colour as it is to be painted: plain colours as they are, the
/// Windows system colours by their usual values (button face for any index
/// not listed).
constexpr quint32 displayColour(quint32 stored) {
    if ((stored & kSystemColourFlag) == 0) {
        return stored & 0xFFFFFFu;
    }
    switch (stored & 0xFFu) {
    case 5:  // window background
    case 14: // highlighted text
    case 20: // 3D highlight
        return rgb(255, 255, 255);
    case 6:  // window frame
    case 7:  // menu text
    case 8:  // window text
    case 18: // button text
        return rgb(0, 0, 0);
    case 13: // highlight
        return rgb(0, 120, 215);
    case 16: // button shadow
        return rgb(160, 160, 160);
    default: // 15 is the button face itself
        return kButtonFace;
    }
}

} // namespace tolvana
