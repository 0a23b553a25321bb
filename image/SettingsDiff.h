#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

// The settings whose values differ between two settings objects as SettingsToJson gives them,
// one line each, "name[index]: A-value -> B-value", arrays compared element by element.
std::vector<std::string> SettingsDifferences(const nlohmann::ordered_json& a,
                                             const nlohmann::ordered_json& b);
