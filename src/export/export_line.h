// The export line handed to other software for every reception: "##", the
// kind, fields separated by "#", and the end mark "#+". No terminator:
// receivers split on "#" and read up to "#+", so the form below must stay
// exactly as it is.
//
// A "#" inside a field (a pager text or a call's name) would let the air
// write records of its own: the text "#+##POC#9999999#0#FAKE#+" ends the real
// line early and puts a complete fake page into the stream. So inside a
// field every "#" becomes kExportHashReplacement, which can neither start
// ("##") nor end ("#+") a record, and a receiver that splits at "#" always
// finds the right number of fields. The lists, logs, status page, actions
// and JSON output keep the text as received.
//
//   ##POC#1234567#3#Einsatz *12: Brand#+        sent for "Einsatz #12: Brand"
#pragma once

#include <string>

#include "decoders/common/types.h"

namespace tolvana {

/// What a "#" inside a field of an export line becomes.
inline constexpr char kExportHashReplacement = '*';

/// A field as an export line carries it: every "#" replaced.
std::string exportField(std::string text);

/// "##FMS#<kennung>#<status>#<tki><richtung>#+": TKI and direction share
/// one field (TKI 2, direction 0 gives "20").
std::string fmsExportLine(const FmsTelegram& telegram);
/// "##ZVEI#<number>#<name>#+" with the name as the ZVEI list shows it.
std::string zveiExportLine(const std::string& number, const std::string& name);
/// "##POC#<ric>#<function>#<text>#+"; the line carries no name. In the
/// number, name and text, "#" becomes kExportHashReplacement.
std::string pocsagExportLine(std::uint32_t ric, int function, const std::string& text);

} // namespace tolvana
