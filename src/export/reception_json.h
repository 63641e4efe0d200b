// The JSON object of a reception, as `tolvana-decode --json` prints it and
// the MQTT export publishes it. One builder for both, so a subscriber and a
// script reading the pipe see the same fields with the same meaning:
//
//   every kind  "channel" "L"/"R", "time" local "yyyy-MM-ddTHH:mm:ss", "kind"
//   fms         "kennung" "status" "tki" "richtung" "text" "rufname" "line"
//   tone        "tone" ("Tonruf I" / "Tonruf II")
//   zvei        "number" "name" "line"
//   pocsag      "ric" "function" "text" "name" "line"
//
// "line" is the export line of the TCP export; "text" of an FMS reception is
// the text of its follow-up telegrams (empty for a plain status).
#pragma once

#include <QJsonObject>

#include <string>

#include "decoders/common/types.h"

namespace tolvana {

QJsonObject fmsJson(ChannelSide side, const FmsTelegram& telegram, const std::string& followUpText,
                    const std::string& rufname, TimePoint time);
QJsonObject toneJson(ChannelSide side, ToneCall tone, TimePoint time);
QJsonObject zveiJson(ChannelSide side, const std::string& number, const std::string& name,
                     TimePoint time);
QJsonObject pocsagJson(ChannelSide side, const PocsagPage& page, const std::string& name,
                       TimePoint time);

/// One line of compact JSON (UTF-8), without a line end.
std::string compactJson(const QJsonObject& object);

} // namespace tolvana
