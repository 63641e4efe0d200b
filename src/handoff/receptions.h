// The five-tone call and the pager message as the hand-off completes them:
// the decoder's number and text, plus the name and row colour from the call
// tables and the moment of the hand-off.
#pragma once

#include <QString>

#include <cstdint>

#include "decoders/common/types.h"

namespace tolvana {

struct ZveiCall {
    QString number;      ///< exactly five characters
    QString name;        ///< call name, possibly with " (Rufname) " of an assigned vehicle
    std::uint32_t colour = 0xE0E0E0;
    TimePoint time;
};

struct PocsagMessage {
    QString number;      ///< RIC in decimal, no leading zeros
    int function = 0;    ///< 0..3
    QString name;
    std::uint32_t colour = 0xE0E0E0;
    TimePoint time;
    QString text;
};

} // namespace tolvana
