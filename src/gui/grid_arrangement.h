// Which reception grids the list view shows, and how high, from the decoders
// that are switched on. The FMS grid always stands at the top; a five-tone
// or pager grid is shown only while its decoder runs on either channel.
// Heights are in twips (15 twips are one pixel at 96 dpi), as the grids were
// laid out on a window of their own; the list view scales them to its height.
//
//   ZVEI on   POCSAG on   FMS    ZVEI           POCSAG
//   yes       yes         3975   shown, 2415    shown, 2175
//   yes       no          3975   shown, 4695    hidden
//   no        yes         3975   hidden         shown, 4695
//   no        no          8775   hidden         hidden
#pragma once

#include "records/settings.h"

namespace tolvana::gui {

struct GridArrangement {
    int fmsHeight = 0;    ///< twips
    int zveiHeight = 0;   ///< twips; 0 when hidden
    int pocsagHeight = 0; ///< twips; 0 when hidden

    bool zveiShown() const { return zveiHeight > 0; }
    bool pocsagShown() const { return pocsagHeight > 0; }
    bool operator==(const GridArrangement&) const = default;
};

GridArrangement arrangeGrids(const MonitorSettings& settings);

inline constexpr int kTwipsPerPixel = 15;

} // namespace tolvana::gui
