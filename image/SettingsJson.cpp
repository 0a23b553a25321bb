#include "image/SettingsJson.h"

#include "image/Generation.h"
#include "image/SettingsFields.h"

#include <algorithm>
#include <cstdio>
#include <set>

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

using CannedMessages = std::array<PagerSettings::CannedText, PagerSettings::kCannedMessages>;

std::string CodePointName(std::uint32_t codePoint) {
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(codePoint));
    return name;
}

// A value as it appears in a message; a built (not parsed) value may hold bytes that are not
// UTF-8, which must not make the message itself fail.
std::string Shown(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

// The length of the well-formed UTF-8 sequence at text[i] and its code point; 0 when the
// bytes there are ill-formed. Overlong forms, surrogates and code points beyond U+10FFFF count
// as ill-formed, so that two spellings never stand for one character.
std::size_t DecodeUtf8At(std::string_view text, std::size_t i, std::uint32_t& codePoint) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80             ? 1
                               : (lead & 0xE0) == 0xC0 ? 2
                               : (lead & 0xF0) == 0xE0 ? 3
                               : (lead & 0xF8) == 0xF0 ? 4
                                                       : 0;
    if (length == 0 || i + length > text.size()) {
        return 0;
    }
    codePoint = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    return codePoint < kSmallest[length] || surrogate || codePoint > 0x10FFFF ? 0 : length;
}

// The text with every control character and every byte of an ill-formed sequence replaced by
// '?', so that it can be shown on a terminal or put into JSON.
std::string PrintableText(std::string_view text) {
    std::string printable;
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t codePoint = 0;
        const std::size_t length = DecodeUtf8At(text, i, codePoint);
        if (length == 0 || codePoint < 0x20 || codePoint == 0x7F) {
            printable += '?';
            i += length == 0 ? 1 : length;
        } else {
            printable += text.substr(i, length);
            i += length;
        }
    }
    return printable;
}

// ---- Settings to JSON ---------------------------------------------------------------------

ordered_json ToJson(std::uint8_t value) {
    return value;
}
ordered_json ToJson(std::uint32_t value) {
    return value;
}

template <typename T, std::size_t N> ordered_json ToJson(const std::array<T, N>& values) {
    ordered_json array = ordered_json::array();
    for (const T& value : values) {
        array.push_back(ToJson(value));
    }
    return array;
}

ordered_json CannedToJson(const CannedMessages& messages) {
    ordered_json array = ordered_json::array();
    for (const PagerSettings::CannedText& buffer : messages) {
        // A buffer without a zero byte holds as much text as the last byte leaves room for, as
        // the window shows it and an encode keeps it.
        const auto end = std::find(buffer.begin(), buffer.begin() + PagerSettings::kCannedTextWidth,
                                   std::uint8_t{0});
        array.push_back(Latin1ToUtf8(std::string(buffer.begin(), end)));
    }
    return array;
}

struct JsonWriter {
    ordered_json& object;

    template <typename Field> void operator()(const char* name, const Field& field) {
        object[name] = ToJson(field);
    }
    template <typename Field> void operator()(const char* name, const Field& field, ListItems) {
        object[name] = ToJson(field);
    }
    void operator()(const char* name, const CannedMessages& messages) {
        object[name] = CannedToJson(messages);
    }
    void operator()(const char* name, const std::string& text, std::size_t) {
        object[name] = Latin1ToUtf8(text);
    }
};

// ---- JSON to settings ---------------------------------------------------------------------

// Reads one field; the first failure is kept and later reads are skipped.
class JsonReader {
public:
    // List indexes are checked against the generation's lists, or either's when it is unknown.
    JsonReader(const json& object, std::optional<Generation> listsOf, bool checkLists = true)
        : object_(object), listsOf_(listsOf), checkLists_(checkLists) {}

    template <typename Field> void operator()(const char* name, Field& field) {
        if (const json* value = Take(name)) {
            Read(*value, name, field);
        }
    }
    template <typename Field> void operator()(const char* name, Field& field, ListItems items) {
        if (const json* value = Take(name)) {
            Read(*value, name, field);
            CheckListed(name, field, items);
        }
    }
    void operator()(const char* name, CannedMessages& messages) {
        if (const json* value = Take(name); value && CheckArray(*value, name, messages.size())) {
            for (std::size_t i = 0; i < messages.size(); ++i) {
                ReadCannedText((*value)[i], Indexed(name, i), messages[i]);
            }
        }
    }
    void operator()(const char* name, std::string& text, std::size_t width) {
        if (const json* value = Take(name)) {
            ReadText(*value, name, width, text);
        }
    }

    // A key that no field took.
    void CheckUnknownKeys() {
        for (const auto& item : object_.items()) {
            if (!error && item.key() != kProgrammingModeKey && !known_.contains(item.key())) {
                error = "unknown key \"" + item.key() + "\"";
            }
        }
    }

    std::optional<std::string> error;

private:
    const json* Take(const char* name) {
        known_.insert(name);
        if (error) {
            return nullptr;
        }
        const auto found = object_.find(name);
        return found == object_.end() ? nullptr : &*found;
    }

    static std::string Indexed(const std::string& path, std::size_t index) {
        return path + "[" + std::to_string(index) + "]";
    }

    void Fail(const std::string& path, const std::string& reason) {
        if (!error) {
            error = "field \"" + path + "\": " + reason;
        }
    }

    bool ReadNumber(const json& value, const std::string& path, std::uint64_t max,
                    std::uint64_t& out) {
        if (!value.is_number_integer()) {
            Fail(path, "expected an integer, got " + Shown(value));
            return false;
        }
        if (value.is_number_unsigned() && value.get<std::uint64_t>() <= max) {
            out = value.get<std::uint64_t>();
            return true;
        }
        Fail(path, Shown(value) + " is outside 0.." + std::to_string(max));
        return false;
    }

    void Read(const json& value, const std::string& path, std::uint8_t& field) {
        std::uint64_t number = 0;
        if (ReadNumber(value, path, 255, number)) {
            field = static_cast<std::uint8_t>(number);
        }
    }
    // The only 32-bit settings are the capcodes.
    void Read(const json& value, const std::string& path, std::uint32_t& field) {
        std::uint64_t number = 0;
        if (ReadNumber(value, path, PagerSettings::kCapcodeMax, number)) {
            field = static_cast<std::uint32_t>(number);
        }
    }
    template <typename T, std::size_t N>
    void Read(const json& value, const std::string& path, std::array<T, N>& field) {
        if (CheckArray(value, path, N)) {
            for (std::size_t i = 0; i < N; ++i) {
                Read(value[i], Indexed(path, i), field[i]);
            }
        }
    }

    void CheckListed(const std::string& path, std::uint8_t index, ListItems items) {
        if (checkLists_ && index != kNoListItem && !items.names(index, listsOf_)) {
            Fail(path, std::to_string(index) + " is not an item of its " + ListRange(items));
        }
    }
    template <typename T, std::size_t N>
    void CheckListed(const std::string& path, const std::array<T, N>& indexes, ListItems items) {
        for (std::size_t i = 0; i < N; ++i) {
            CheckListed(Indexed(path, i), indexes[i], items);
        }
    }

    // "list (0..4, or 255 for none)", naming the generation where the lists differ.
    std::string ListRange(ListItems items) const {
        const auto last = [](std::uint8_t count) { return "0.." + std::to_string(count - 1); };
        std::string range;
        if (items.v1 == items.v2) {
            range = "list (" + last(items.v1);
        } else if (listsOf_) {
            range = std::string(GenerationName(*listsOf_)) + " list (" + last(items.in(*listsOf_));
        } else {
            range = "list (" + last(items.v1) + " in V1, " + last(items.v2) + " in V2";
        }
        return range + ", or " + std::to_string(kNoListItem) + " for none)";
    }

    bool CheckArray(const json& value, const std::string& path, std::size_t size) {
        if (!value.is_array() || value.size() != size) {
            Fail(path, "expected an array of " + std::to_string(size) + ", got " +
                           (value.is_array() ? std::to_string(value.size()) + " elements"
                                             : std::string(value.type_name())));
            return false;
        }
        return true;
    }

    void ReadText(const json& value, const std::string& path, std::size_t width,
                  std::string& text) {
        if (!value.is_string()) {
            Fail(path, std::string("expected a string, got ") + value.type_name());
            return;
        }
        std::string reason;
        std::optional<std::string> bytes =
            Utf8ToLatin1(value.get_ref<const std::string&>(), &reason);
        if (!bytes) {
            Fail(path, reason);
        } else if (bytes->find('\0') != std::string::npos) {
            // The image keeps texts up to their first zero byte: the rest would be lost.
            Fail(path, "text holds the character U+0000, which would end it in the image");
        } else if (bytes->size() > width) {
            Fail(path, "text of " + std::to_string(bytes->size()) + " characters is longer than " +
                           std::to_string(width));
        } else {
            text = std::move(*bytes);
        }
    }

    void ReadCannedText(const json& value, const std::string& path,
                        PagerSettings::CannedText& buffer) {
        std::string text;
        ReadText(value, path, PagerSettings::kCannedTextWidth, text);
        if (!error) {
            buffer.fill(0);
            std::copy(text.begin(), text.end(), buffer.begin());
        }
    }

    const json& object_;
    std::optional<Generation> listsOf_;
    bool checkLists_;
    std::set<std::string, std::less<>> known_;
};

std::optional<std::string> ReadMode(const json& object, std::optional<Generation>& generation) {
    const auto found = object.find(kProgrammingModeKey);
    if (found == object.end()) {
        return std::nullopt;
    }
    if (!found->is_number_integer() || !found->is_number_unsigned() ||
        !GenerationOfModeNumber(found->get<std::uint64_t>())) {
        return std::string("field \"") + kProgrammingModeKey +
               "\": expected 0 (V1) or 1 (V2), got " + Shown(*found);
    }
    generation = GenerationOfModeNumber(found->get<std::uint64_t>());
    return std::nullopt;
}

} // namespace

std::string Latin1ToUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (code >> 6));
            text += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return text;
}

std::optional<std::string> Utf8ToLatin1(std::string_view text, std::string* reason) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t codePoint = 0;
        const std::size_t length = DecodeUtf8At(text, i, codePoint);
        if (length == 0) {
            if (reason) {
                *reason = "malformed UTF-8 at byte " + std::to_string(i);
            }
            return std::nullopt;
        }
        if (codePoint > 0xFF) {
            if (reason) {
                *reason = "character " + CodePointName(codePoint) + " is outside ISO-8859-1";
            }
            return std::nullopt;
        }
        bytes += static_cast<char>(codePoint);
        i += length;
    }
    return bytes;
}

ordered_json SettingsToJson(const PagerSettings& settings, Generation generation,
                            UnlistedIndexes unlisted) {
    PagerSettings written = settings;
    if (unlisted == UnlistedIndexes::AsNone) {
        ClearUnlistedIndexes(written, generation);
    }
    ordered_json object = ordered_json::object();
    object[kProgrammingModeKey] = ModeNumber(generation);
    VisitSettingFields(written, JsonWriter{object});
    return object;
}

std::optional<std::string> ApplySettingsJson(const json& object, PagerSettings& settings,
                                             std::optional<Generation>& generation,
                                             std::optional<Generation> listsOf) {
    if (!object.is_object()) {
        return std::string("expected a JSON object, got ") + object.type_name();
    }
    std::optional<Generation> newGeneration = generation;
    if (auto error = ReadMode(object, newGeneration)) {
        return error;
    }
    PagerSettings updated = settings;
    JsonReader reader(object, listsOf ? listsOf : newGeneration);
    VisitSettingFields(updated, reader);
    reader.CheckUnknownKeys();
    if (reader.error) {
        return reader.error;
    }
    settings = std::move(updated);
    generation = newGeneration;
    return std::nullopt;
}

std::optional<std::string> ReadStoredSettingsJson(std::string_view text, PagerSettings& settings) {
    json object;
    try {
        object = json::parse(text);
    } catch (const json::exception& e) {
        return "invalid JSON: " + PrintableText(e.what());
    }
    if (!object.is_object()) {
        return std::string("expected a JSON object, got ") + object.type_name();
    }
    PagerSettings read = settings;
    JsonReader reader(object, std::nullopt, false);
    VisitSettingFields(read, reader);
    reader.CheckUnknownKeys();
    if (reader.error) {
        return reader.error;
    }
    settings = std::move(read);
    return std::nullopt;
}

std::optional<std::string> ApplySettingsJsonText(std::string_view text, PagerSettings& settings,
                                                 std::optional<Generation>& generation,
                                                 std::optional<Generation> listsOf) {
    json object;
    try {
        object = json::parse(text);
    } catch (const json::exception& e) {
        // The parser quotes the bytes it stopped at, which may be anything.
        return "invalid JSON: " + PrintableText(e.what());
    }
    return ApplySettingsJson(object, settings, generation, listsOf);
}
