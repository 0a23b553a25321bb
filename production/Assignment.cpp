#include "production/Assignment.h"

CapcodeRows TemplateRows(const PagerSettings& templateSettings) {
    CapcodeRows rows{};
    for (std::size_t row = 0; row < rows.size(); ++row) {
        rows[row] = templateSettings.capcodeEnabled[row] ? CapcodeRowKind::Shared
                                                         : CapcodeRowKind::Disabled;
    }
    return rows;
}

PagerSettings ApplyAssignment(const PagerSettings& templateSettings, const CapcodeRows& rows,
                              const Assignment& assignment) {
    PagerSettings settings = templateSettings;
    if (assignment.serialNumber) {
        settings.serialNumber = *assignment.serialNumber;
    }
    for (std::size_t row = 0; row < rows.size(); ++row) {
        if (rows[row] != CapcodeRowKind::Individual) {
            continue;
        }
        const std::optional<std::uint32_t>& capcode = assignment.capcodes[row];
        settings.capcodes[row] = capcode.value_or(0);
        settings.capcodeEnabled[row] = capcode ? 1 : 0;
    }
    return settings;
}

std::vector<std::uint32_t> EnabledCapcodes(const PagerSettings& settings) {
    std::vector<std::uint32_t> capcodes;
    for (std::size_t row = 0; row < settings.capcodes.size(); ++row) {
        if (settings.capcodeEnabled[row]) {
            capcodes.push_back(settings.capcodes[row]);
        }
    }
    return capcodes;
}

std::string CapcodesText(const std::vector<std::uint32_t>& capcodes) {
    std::string text;
    for (const std::uint32_t capcode : capcodes) {
        text += (text.empty() ? "" : " ") + std::to_string(capcode);
    }
    return text;
}
