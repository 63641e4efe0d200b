#include "export/export_line.h"

namespace tolvana {

std::string fmsExportLine(const FmsTelegram& telegram) {
    return "##FMS#" + telegram.kennung + "#" + std::to_string(telegram.status) + "#" +
           std::to_string(telegram.tki) + std::to_string(telegram.richtung) + "#+";
}

std::string zveiExportLine(const std::string& number, const std::string& name) {
    return "##ZVEI#" + number + "#" + name + "#+";
}

std::string pocsagExportLine(std::uint32_t ric, int function, const std::string& text) {
    return "##POC#" + std::to_string(ric) + "#" + std::to_string(function) + "#" + text + "#+";
}

} // namespace tolvana
