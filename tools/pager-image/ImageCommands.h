#pragma once

#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

// The pager-image commands. Each returns the exit status; bad input throws CommandError, whose
// text names the file and the field, and leaves no output file behind.
struct CommandError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitDifferent = 1;
inline constexpr int kExitBadInput = 2;

struct CommandOptions {
    std::optional<std::string> mode; // "v1" or "v2"
    std::optional<std::string> time; // YYYY-MM-DDTHH:MM
    std::string output;
};

int DecodeCommand(const std::string& imagePath, const CommandOptions& options, std::ostream& out);
int EncodeCommand(const std::string& settingsPath, const CommandOptions& options);
int ReencodeCommand(const std::string& imagePath, const CommandOptions& options);
int DiffCommand(const std::string& first, const std::string& second, const CommandOptions& options,
                std::ostream& out);
