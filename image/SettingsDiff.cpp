#include "image/SettingsDiff.h"

namespace {

void DiffValues(const std::string& name, const nlohmann::ordered_json& a,
                const nlohmann::ordered_json& b, std::vector<std::string>& lines) {
    if (a.is_array() && b.is_array() && a.size() == b.size()) {
        for (std::size_t i = 0; i < a.size(); ++i) {
            DiffValues(name + "[" + std::to_string(i) + "]", a[i], b[i], lines);
        }
    } else if (a != b) {
        lines.push_back(name + ": " + a.dump() + " -> " + b.dump());
    }
}

} // namespace

std::vector<std::string> SettingsDifferences(const nlohmann::ordered_json& a,
                                             const nlohmann::ordered_json& b) {
    std::vector<std::string> lines;
    for (const auto& item : a.items()) {
        const auto other = b.find(item.key());
        DiffValues(item.key(), item.value(), other == b.end() ? nlohmann::ordered_json() : *other,
                   lines);
    }
    return lines;
}
