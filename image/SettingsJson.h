#pragma once

#include "image/Generation.h"
#include "image/PagerSettings.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// PagerSettings as one JSON object: "programmingMode" (0 = V1, 1 = V2) and every field by its
// name. Numbers are integers; per-capcode and canned-message fields are arrays. Texts are the
// setting's bytes read as ISO-8859-1; a canned message is its buffer up to the first zero byte,
// at most 127 characters.
inline constexpr const char* kProgrammingModeKey = "programmingMode";

// Each byte as the ISO-8859-1 character of that code, written in UTF-8.
std::string Latin1ToUtf8(std::string_view bytes);

// UTF-8 text back to one byte per character; on a malformed text or a character above U+00FF
// returns nothing and, when asked, the reason.
std::optional<std::string> Utf8ToLatin1(std::string_view text, std::string* reason = nullptr);

// How SettingsToJson writes a list index beyond its list in the generation.
enum class UnlistedIndexes {
    AsNone,   // as 255, as the window shows and stores it: what is written is read back
    AsStored, // as it is, for comparing what two pagers hold
};

nlohmann::ordered_json SettingsToJson(const PagerSettings& settings, Generation generation,
                                      UnlistedIndexes unlisted = UnlistedIndexes::AsNone);

// Sets the fields the object names; fields left out keep their values, and a missing
// "programmingMode" leaves the generation as it was. On error nothing changes and the reason names
// the field: unknown key, wrong type, number outside its field, list index that names no item of
// its list (255, no selection, is always taken), text too long or not ISO-8859-1, array of the
// wrong length. List indexes are checked against the lists of listsOf when given (the generation
// the settings will be encoded for), else of the generation set afterwards, else of either.
std::optional<std::string> ApplySettingsJson(const nlohmann::json& object, PagerSettings& settings,
                                             std::optional<Generation>& generation,
                                             std::optional<Generation> listsOf = std::nullopt);

// Settings as SettingsToJson(..., AsStored) wrote them, every value as it was, list indexes
// unchecked: for a copy kept by the program itself, such as a production order's template.
std::optional<std::string> ReadStoredSettingsJson(std::string_view text, PagerSettings& settings);

// The same from JSON text, which may also be invalid JSON.
std::optional<std::string> ApplySettingsJsonText(std::string_view text, PagerSettings& settings,
                                                 std::optional<Generation>& generation,
                                                 std::optional<Generation> listsOf = std::nullopt);
