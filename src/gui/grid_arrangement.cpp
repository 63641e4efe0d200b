#include "gui/grid_arrangement.h"

namespace tolvana::gui {

namespace {
bool enabled(const MonitorSettings& s, DecoderSwitch a, DecoderSwitch b) {
    return s.decoderEnabled[static_cast<std::size_t>(a)] == 1 ||
           s.decoderEnabled[static_cast<std::size_t>(b)] == 1;
}
} // namespace

GridArrangement arrangeGrids(const MonitorSettings& settings) {
    const bool zvei = enabled(settings, ZveiLeft, ZveiRight);
    const bool pocsag = enabled(settings, PocsagLeft, PocsagRight);
    if (zvei && pocsag) {
        return {3975, 2415, 2175};
    }
    if (zvei) {
        return {3975, 4695, 0};
    }
    if (pocsag) {
        return {3975, 0, 4695};
    }
    return {8775, 0, 0};
}

} // namespace tolvana::gui
