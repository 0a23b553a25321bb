// Feeds arbitrary text to the settings JSON reader that pager-image uses. A refused text must
// leave the settings and the mode as they were and give a printable reason; an accepted one
// must survive being written out as JSON and read back, and must encode.
#include "FuzzCheck.h"

#include "image/Generation.h"
#include "image/ImageCodec.h"
#include "image/SettingsJson.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const PagerSettings initial;
    PagerSettings settings;
    std::optional<Generation> mode;
    if (const auto error = ApplySettingsJsonText(text, settings, mode)) {
        FuzzCheckSameSettings(initial, settings, "a refused text changed the settings");
        FuzzCheck(!mode.has_value(), "a refused text set the mode");
        // The reason is printed and may be put into JSON itself: it must be valid UTF-8.
        try {
            (void)nlohmann::json(*error).dump();
        } catch (const nlohmann::json::exception&) {
            FuzzFailure("the reason is not valid UTF-8: " + *error);
        }
        return 0;
    }

    const Generation programmingMode = mode.value_or(Generation::V2);
    const std::string written = SettingsToJson(settings, programmingMode).dump();
    PagerSettings reread;
    std::optional<Generation> rereadMode;
    const auto error = ApplySettingsJsonText(written, reread, rereadMode);
    FuzzCheck(!error, "written settings are refused: " + error.value_or(""));
    FuzzCheck(rereadMode == programmingMode, "the mode changed on the way through JSON");
    FuzzCheckSameSettings(settings, reread, "settings changed on the way through JSON");

    PagerImage image{};
    EncodeImage(settings, programmingMode, std::nullopt, image);
    return 0;
}
