// The export line handed to other software for every reception: "##", the
// kind, fields separated by "#", and the end mark "#+". No terminator and no
// escaping: receivers written for the Windows program split on "#" and read
// up to "#+", so the form below must stay exactly as it is.
#pragma once

#include <string>

#include "decoders/common/types.h"

namespace tolvana {

/// "##FMS#<kennung>#<status>#<tki><richtung>#+": TKI and direction share
/// one field (TKI 2, direction 0 gives "20").
std::string fmsExportLine(const FmsTelegram& telegram);
/// "##ZVEI#<number>#<name>#+" with the name as the ZVEI list shows it.
std::string zveiExportLine(const std::string& number, const std::string& name);
/// "##POC#<ric>#<function>#<text>#+"; the line carries no name.
std::string pocsagExportLine(std::uint32_t ric, int function, const std::string& text);

} // namespace tolvana
