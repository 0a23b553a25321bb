#include "ImageCommands.h"

#include "image/Generation.h"
#include "image/ImageCodec.h"
#include "image/ImageFiles.h"
#include "image/SettingsDiff.h"
#include "image/SettingsJson.h"

#include <algorithm>
#include <cstdio>

namespace {

Generation ModeFromName(const std::string& name) {
    return name == "v1" ? Generation::V1 : Generation::V2;
}

// A file shorter than an image reads as a zero image with its bytes at the start.
PagerImage ReadImage(const std::string& path) {
    PagerImage image{};
    if (FileError error = ReadImageFile(path, image)) {
        throw CommandError(*error);
    }
    return image;
}

Generation ImageMode(const std::string& path, const PagerImage& image,
                     const CommandOptions& options) {
    if (options.mode) {
        return ModeFromName(*options.mode);
    }
    if (const auto mode = GenerationOfImage(image)) {
        return *mode;
    }
    throw CommandError(path + ": identity bytes are neither \"2011\" (V1) nor \"W50C\" (V2); " +
                       "give the mode with --mode v1 or --mode v2");
}

std::string ReadTextFile(const std::string& path) {
    std::string text;
    if (FileError error = ReadRegularFile(path, text)) {
        throw CommandError(*error);
    }
    return text;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

LocalDateTime ParseTime(const std::string& text) {
    LocalDateTime time;
    int consumed = 0;
    const bool parsed = text.size() == 16 &&
                        std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d%n", &time.year, &time.month,
                                    &time.day, &time.hour, &time.minute, &consumed) == 5 &&
                        consumed == 16 && time.month >= 1 && time.month <= 12 && time.day >= 1 &&
                        time.day <= DaysInMonth(time.year, time.month) && time.hour >= 0 &&
                        time.hour <= 23 && time.minute >= 0 && time.minute <= 59;
    if (!parsed) {
        throw CommandError("--time: \"" + text + "\" is not a date and time YYYY-MM-DDTHH:MM");
    }
    return time;
}

std::optional<LocalDateTime> StampTime(const CommandOptions& options) {
    return options.time ? std::optional(ParseTime(*options.time)) : CurrentLocalTime();
}

void SaveImage(const std::string& path, const PagerImage& image) {
    if (FileError error = SaveImageFile(path, image)) {
        throw CommandError(*error);
    }
}

} // namespace

int DecodeCommand(const std::string& imagePath, const CommandOptions& options, std::ostream& out) {
    const PagerImage image = ReadImage(imagePath);
    const Generation mode = ImageMode(imagePath, image, options);
    PagerSettings settings;
    DecodeImage(image, mode, settings);
    out << SettingsToJson(settings, mode).dump(2) << '\n';
    return kExitOk;
}

int EncodeCommand(const std::string& settingsPath, const CommandOptions& options) {
    PagerSettings settings;
    std::optional<Generation> jsonMode;
    // List indexes are checked against the lists of the mode given, else of the JSON's mode.
    std::optional<Generation> givenMode;
    if (options.mode) {
        givenMode = ModeFromName(*options.mode);
    }
    if (auto error =
            ApplySettingsJsonText(ReadTextFile(settingsPath), settings, jsonMode, givenMode)) {
        throw CommandError(settingsPath + ": " + *error);
    }
    const Generation mode = givenMode.value_or(jsonMode.value_or(Generation::V2));
    const std::optional<LocalDateTime> now = StampTime(options);
    PagerImage image{};
    EncodeImage(settings, mode, now, image);
    SaveImage(options.output, image);
    return kExitOk;
}

int ReencodeCommand(const std::string& imagePath, const CommandOptions& options) {
    const std::optional<LocalDateTime> now = StampTime(options);
    PagerImage image = ReadImage(imagePath);
    const Generation mode = ImageMode(imagePath, image, options);
    PagerSettings settings;
    DecodeImage(image, mode, settings);
    EncodeImage(settings, mode, now, image);
    SaveImage(options.output, image);
    return kExitOk;
}

int DiffCommand(const std::string& first, const std::string& second, const CommandOptions& options,
                std::ostream& out) {
    const PagerImage a = ReadImage(first);
    const PagerImage b = ReadImage(second);
    const Generation modeA = ImageMode(first, a, options);
    const Generation modeB = ImageMode(second, b, options);
    PagerSettings settingsA;
    PagerSettings settingsB;
    DecodeImage(a, modeA, settingsA);
    DecodeImage(b, modeB, settingsB);
    // What the pagers hold, even a list index beyond its list.
    const nlohmann::ordered_json jsonA =
        SettingsToJson(settingsA, modeA, UnlistedIndexes::AsStored);
    const nlohmann::ordered_json jsonB =
        SettingsToJson(settingsB, modeB, UnlistedIndexes::AsStored);
    const std::vector<std::string> differences = SettingsDifferences(jsonA, jsonB);
    for (const std::string& line : differences) {
        out << line << '\n';
    }
    return differences.empty() ? kExitOk : kExitDifferent;
}
