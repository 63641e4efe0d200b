// Tone labels of the ZVEI five-tone call: which character a measured tone
// frequency stands for.
//
//   digit  1    2    3    4    5    6    7    8    9    0     repeat  "Gr"
//   Hz   1060 1160 1270 1400 1530 1670 1830 2000 2200 2400    2600    2800
//
//   letters of the special tones (other tone sets and control tones):
//          C 810   H 885   U 1750   L 1860   J 2135   P 2280 Hz
//
// A frequency is read in tens of hertz, R = f / 10 rounded to the nearest
// integer (a tie to the even one), and tried against the windows below in
// their order; the first window that holds R names the tone. The windows are
// not all equally wide ("0" spans about 2375..2455 Hz, "H" only 875..895 Hz),
// and "7" owns R = 185, so 1850 Hz is a "7" and only 1855 Hz and up an "L".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tolvana {

enum class ZveiToneKind {
    None,      ///< no ZVEI tone: appends nothing
    Character, ///< a digit, "Gr" or a letter
    Repeat,    ///< the repeat tone: the character before it once more
};

struct ZveiToneLabel {
    ZveiToneKind kind = ZveiToneKind::None;
    std::string_view text; ///< what a Character tone appends
};

/// The label of one measured tone frequency in Hz.
ZveiToneLabel zveiToneLabel(double frequency) noexcept;

/// Five (or any number of) tones turned into the call text. `lastCharacter`
/// carries the character a repeat tone repeats from one sequence to the next
/// ('\0' while none has been read yet).
struct ZveiCallText {
    std::string text;
    bool anyLabel = false; ///< at least one tone was a ZVEI tone (repeat tone included)
};

ZveiCallText assembleZveiCall(const double* frequencies, std::size_t count, char& lastCharacter);

} // namespace tolvana
