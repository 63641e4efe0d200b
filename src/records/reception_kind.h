// The three kinds of reception. Filters, grids and daily logs exist once per
// kind; where the files or the settings page need a number, FMS is 1, ZVEI 2
// and POCSAG 3.
#pragma once

#include <array>

namespace tolvana {

enum class ReceptionKind { Fms = 1, Zvei = 2, Pocsag = 3 };

/// The filters are kept per reception kind.
using FilterKind = ReceptionKind;

inline constexpr std::array<ReceptionKind, 3> kReceptionKinds = {
    ReceptionKind::Fms, ReceptionKind::Zvei, ReceptionKind::Pocsag};

} // namespace tolvana
