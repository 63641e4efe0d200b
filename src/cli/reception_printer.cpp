#include "cli/reception_printer.h"

#include "export/export_line.h"
#include "export/reception_json.h"

namespace tolvana {

namespace {

std::string prefixed(ChannelSide side, const std::string& text) {
    return std::string(1, sideLetter(side)) + "\t" + text;
}

} // namespace

void ReceptionPrinter::write(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), m_out);
    std::fputc('\n', m_out);
    // Standard output is fully buffered in a pipe or a file: without the
    // flush a reading tool would see a reception only kilobytes later, and a
    // decoder stopped by a signal would take its last receptions (and half a
    // line) with it. One write per reception costs nothing.
    std::fflush(m_out);
    ++m_lines;
}

void ReceptionPrinter::fms(ChannelSide side, const FmsTelegram& telegram,
                           const std::string& followUpText, const std::string& rufname,
                           TimePoint time) {
    if (!m_json) {
        write(prefixed(side, fmsExportLine(telegram)));
        return;
    }
    write(compactJson(fmsJson(side, telegram, followUpText, rufname, time)));
}

void ReceptionPrinter::tone(ChannelSide side, ToneCall tone, TimePoint time) {
    if (!m_json) {
        write(prefixed(side, toneCallText(tone)));
        return;
    }
    write(compactJson(toneJson(side, tone, time)));
}

void ReceptionPrinter::zvei(ChannelSide side, const std::string& number, const std::string& name,
                            TimePoint time) {
    if (!m_json) {
        write(prefixed(side, zveiExportLine(number, name)));
        return;
    }
    write(compactJson(zveiJson(side, number, name, time)));
}

void ReceptionPrinter::pocsag(ChannelSide side, const PocsagPage& page, const std::string& name,
                              TimePoint time) {
    if (!m_json) {
        write(prefixed(side, pocsagExportLine(page.ric, page.function, page.text)));
        return;
    }
    write(compactJson(pocsagJson(side, page, name, time)));
}

} // namespace tolvana
