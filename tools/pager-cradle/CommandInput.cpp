#include "CommandInput.h"

#include "CradleCommands.h"

#include "image/ImageCodec.h"
#include "image/ImageFiles.h"
#include "image/SettingsDiff.h"
#include "image/SettingsJson.h"
#include "programming/CapcodeCheck.h"
#include "programming/transfer/BlockRegions.h"
#include "programming/transfer/TransferDetails.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

std::optional<Generation> ModeOption(const std::optional<std::string>& name) {
    if (!name) {
        return std::nullopt;
    }
    return *name == "v1" ? Generation::V1 : Generation::V2;
}

bool EndsWithJson(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".json";
}

// Reads a whole regular file; anything else (a folder, a pipe) is refused without waiting.
std::string ReadInputFile(const std::string& path) {
    std::string bytes;
    if (FileError error = ReadRegularFile(path, bytes)) {
        throw CradleCommandError(kExitBadInput, *error);
    }
    return bytes;
}

void StampIdentity(PagerImage& image, Generation generation) {
    const auto& identity = IdentityOf(generation);
    std::copy(identity.begin(), identity.end(), image.begin());
}

} // namespace

PagerInput LoadPagerInput(const std::string& path, const std::optional<std::string>& mode,
                          const std::optional<std::string>& repair) {
    PagerInput input;
    input.path = path;
    input.mode = ModeOption(mode);
    input.repairMode = ModeOption(repair);
    if (input.repairMode) {
        if (input.mode && *input.mode != *input.repairMode) {
            throw CradleCommandError(kExitBadInput,
                                     "--mode and --repair name different generations.");
        }
        input.mode = input.repairMode;
    }
    const std::string bytes = ReadInputFile(path);
    if (EndsWithJson(path)) {
        input.isSettings = true;
        std::optional<Generation> jsonMode;
        // List indexes are checked against the lists of the mode given, else of the JSON's.
        if (auto error = ApplySettingsJsonText(bytes, input.settings, jsonMode, input.mode)) {
            throw CradleCommandError(kExitBadInput, path + ": " + *error);
        }
        if (!input.mode) {
            input.mode = jsonMode;
        }
        return input;
    }
    if (bytes.size() != kImageSize) {
        throw CradleCommandError(kExitBadInput, path + " holds " + std::to_string(bytes.size()) +
                                                    " bytes; a pager image holds exactly 8192. (A "
                                                    "settings file must end in .json.)");
    }
    std::copy(bytes.begin(), bytes.end(), input.image.begin());
    const std::optional<Generation> identity = GenerationOfImage(input.image);
    if (input.repairMode) {
        return input;
    }
    if (!identity) {
        throw CradleCommandError(
            kExitBadInput, path + " names no pager generation (bytes 0..3 are neither \"2011\" "
                                  "nor \"W50C\"). To write it anyway with an identity stamped in, "
                                  "use --repair v1 or --repair v2.");
    }
    if (input.mode && *input.mode != *identity) {
        throw CradleCommandError(kExitBadInput, path + " is an image for " +
                                                    GenerationName(*identity) + " pagers, not " +
                                                    GenerationName(*input.mode) + ".");
    }
    input.mode = identity;
    return input;
}

WriteJob BuildWriteJob(const PagerInput& input, std::optional<Generation> pagerMode,
                       bool writeSerialNumber) {
    WriteJob job;
    job.generation = input.mode.value_or(pagerMode.value_or(Generation::V2));
    job.writeSerialNumber = writeSerialNumber;
    job.repair = input.repairMode.has_value();
    if (input.isSettings) {
        PagerSettings settings = input.settings;
        EncodeImage(settings, job.generation, CurrentLocalTime(), job.image);
    } else {
        job.image = input.image;
    }
    if (job.repair) {
        StampIdentity(job.image, job.generation);
    }
    return job;
}

std::vector<std::string> PagerDifferences(const PagerInput& input, const PagerImage& memory,
                                          Generation pagerMode, bool withSerialNumber) {
    const Generation mode = input.mode.value_or(pagerMode);
    PagerImage expected = input.image;
    if (input.isSettings) {
        PagerSettings settings = input.settings;
        EncodeImage(settings, mode, std::nullopt, expected);
    }
    // What a write leaves alone cannot differ.
    if (!withSerialNumber) {
        const std::uint32_t serialBlock = kSettingsBlocks * kBlockSize;
        std::copy_n(memory.begin() + serialBlock, kBlockSize, expected.begin() + serialBlock);
    }
    PagerSettings expectedSettings;
    PagerSettings pagerSettings;
    DecodeImage(expected, mode, expectedSettings);
    DecodeImage(memory, pagerMode, pagerSettings);
    std::vector<std::string> lines =
        SettingsDifferences(SettingsToJson(expectedSettings, mode, UnlistedIndexes::AsStored),
                            SettingsToJson(pagerSettings, pagerMode, UnlistedIndexes::AsStored));
    // A settings file says nothing of the bytes no setting covers, such as the time stamp.
    if (!lines.empty() || input.isSettings) {
        return lines;
    }
    for (const BlockRegion& region : WrittenRegions(withSerialNumber)) {
        for (std::uint32_t address = region.start;
             address < region.start + region.blocks * kBlockSize; ++address) {
            if (expected[address] != memory[address]) {
                lines.push_back("address " + HexText(address, 4) + ": " +
                                HexText(expected[address], 2) + " -> " +
                                HexText(memory[address], 2));
            }
        }
    }
    return lines;
}

void SaveImageOutput(const std::string& path, const PagerImage& image) {
    if (FileError error = SaveImageFile(path, image)) {
        throw CradleCommandError(kExitBadInput, *error);
    }
}

void SaveTextOutput(const std::string& path, const std::string& text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    if (FileError error = SaveFileContents(path, {bytes, text.size()})) {
        throw CradleCommandError(kExitBadInput, *error);
    }
}

namespace {

void CheckOutput(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        throw CradleCommandError(kExitBadInput, "Cannot save " + path + ": " +
                                                    NotRegularReason(status.st_mode) +
                                                    ". Give the name of a file to write.");
    }
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        throw CradleCommandError(kExitBadInput, "Cannot save " + path + " into " + folder.string() +
                                                    ": " + std::strerror(errno) +
                                                    ". Choose another folder.");
    }
}

// The file a path names, links and "." resolved as far as they exist.
std::filesystem::path FileOf(const std::string& path) {
    std::error_code error;
    std::filesystem::path file = std::filesystem::weakly_canonical(path, error);
    return error ? std::filesystem::absolute(path).lexically_normal() : file;
}

} // namespace

void CheckOutputs(const std::vector<std::string>& paths) {
    for (std::size_t i = 0; i < paths.size(); ++i) {
        CheckOutput(paths[i]);
        for (std::size_t j = 0; j < i; ++j) {
            std::error_code error;
            if (FileOf(paths[i]) == FileOf(paths[j]) ||
                std::filesystem::equivalent(paths[i], paths[j], error)) {
                throw CradleCommandError(kExitBadInput,
                                         paths[j] + " and " + paths[i] +
                                             " name the same file; give each output a name "
                                             "of its own.");
            }
        }
    }
}

std::optional<std::string> CapcodeRefusalOf(const PagerInput& input) {
    PagerSettings settings = input.settings;
    if (!input.isSettings) {
        DecodeImage(input.image, input.mode.value_or(Generation::V2), settings);
    }
    if (std::optional<CapcodeRefusal> refusal = FindCapcodeRefusal(settings)) {
        // "Capcode 2 is 5; ..." read as part of a sentence.
        refusal->details[0] = 'c';
        return refusal->details;
    }
    return std::nullopt;
}
