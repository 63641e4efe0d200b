// Standard-output contract of tolvana-decode, which other tools and checks
// rely on: per reception handed on one line "L" or "R", TAB, the export line;
// per call tone "L"/"R", TAB, "Tonruf I"/"Tonruf II". With --json one JSON
// object per line instead, carrying every field. Every line is flushed as it
// is printed.
#pragma once

#include <cstdio>
#include <string>

#include "decoders/common/types.h"

namespace tolvana {

class ReceptionPrinter {
public:
    ReceptionPrinter(std::FILE* out, bool json) : m_out(out), m_json(json) {}

    void fms(ChannelSide side, const FmsTelegram& telegram, const std::string& followUpText,
             const std::string& rufname, TimePoint time);
    void tone(ChannelSide side, ToneCall tone, TimePoint time);
    void zvei(ChannelSide side, const std::string& number, const std::string& name, TimePoint time);
    void pocsag(ChannelSide side, const PocsagPage& page, const std::string& name, TimePoint time);

    std::size_t linesWritten() const { return m_lines; }

private:
    void write(const std::string& line);

    std::FILE* m_out;
    bool m_json;
    std::size_t m_lines = 0;
};

} // namespace tolvana
