#include "export/export_line.h"

#include <algorithm>

namespace tolvana {

std::string exportField(std::string text) {
    std::replace(text.begin(), text.end(), '#', kExportHashReplacement);
    return text;
}

std::string fmsExportLine(const FmsTelegram& telegram) {
    return "##FMS#" + exportField(telegram.kennung) + "#" + std::to_string(telegram.status) + "#" +
           std::to_string(telegram.tki) + std::to_string(telegram.richtung) + "#+";
}

std::string zveiExportLine(const std::string& number, const std::string& name) {
    return "##ZVEI#" + exportField(number) + "#" + exportField(name) + "#+";
}

std::string pocsagExportLine(std::uint32_t ric, int function, const std::string& text) {
    return "##POC#" + std::to_string(ric) + "#" + std::to_string(function) + "#" + exportField(text) + "#+";
}

} // namespace tolvana
