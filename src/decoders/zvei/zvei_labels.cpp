#include "decoders/zvei/zvei_labels.h"

#include <array>
#include <cmath>

namespace tolvana {

namespace {

struct LabelWindow {
    int low;  // R, inclusive
    int high; // R, inclusive
    ZveiToneKind kind;
    std::string_view text;
};

// Order matters where windows overlap: "7" (181..185) comes before "L".
constexpr std::array<LabelWindow, 18> kWindows{{
    {105, 107, ZveiToneKind::Character, "1"},
    {114, 118, ZveiToneKind::Character, "2"},
    {125, 129, ZveiToneKind::Character, "3"},
    {138, 142, ZveiToneKind::Character, "4"},
    {151, 155, ZveiToneKind::Character, "5"},
    {165, 169, ZveiToneKind::Character, "6"},
    {181, 185, ZveiToneKind::Character, "7"},
    {198, 202, ZveiToneKind::Character, "8"},
    {218, 222, ZveiToneKind::Character, "9"},
    {238, 245, ZveiToneKind::Character, "0"},
    {258, 262, ZveiToneKind::Repeat, ""},
    {278, 282, ZveiToneKind::Character, "Gr"},
    {80, 82, ZveiToneKind::Character, "C"},
    {88, 89, ZveiToneKind::Character, "H"},
    {174, 176, ZveiToneKind::Character, "U"},
    {185, 187, ZveiToneKind::Character, "L"},
    {212, 215, ZveiToneKind::Character, "J"},
    {226, 230, ZveiToneKind::Character, "P"},
}};

// Round half to even without depending on the floating-point rounding mode.
long roundHalfEven(double x) {
    const double low = std::floor(x);
    const double rest = x - low;
    auto r = static_cast<long>(low);
    if (rest > 0.5 || (rest == 0.5 && (r % 2) != 0)) {
        ++r;
    }
    return r;
}

} // namespace

ZveiToneLabel zveiToneLabel(double frequency) noexcept {
    // Anything outside the audio band (or not a number) names no tone; the
    // bound also keeps the conversion to an integer defined.
    if (!(frequency > 0.0 && frequency < 100000.0)) {
        return {};
    }
    const long r = roundHalfEven(frequency / 10.0);
    for (const LabelWindow& w : kWindows) {
        if (r >= w.low && r <= w.high) {
            return {w.kind, w.text};
        }
    }
    return {};
}

ZveiCallText assembleZveiCall(const double* frequencies, std::size_t count, char& lastCharacter) {
    ZveiCallText call;
    for (std::size_t i = 0; i < count; ++i) {
        const ZveiToneLabel label = zveiToneLabel(frequencies[i]);
        switch (label.kind) {
        case ZveiToneKind::None:
            break;
        case ZveiToneKind::Character:
            call.anyLabel = true;
            call.text += label.text;
            break;
        case ZveiToneKind::Repeat:
            // A repeat tone at the very start repeats the final character of
            // the channel's previous sequence.
            call.anyLabel = true;
            if (lastCharacter != '\0') {
                call.text += lastCharacter;
            }
            break;
        }
        if (!call.text.empty()) {
            lastCharacter = call.text.back();
        }
    }
    return call;
}

} // namespace tolvana
