#pragma once

#include "InterruptWatch.h"

#include <optional>
#include <string>

struct BatchCommandOptions {
    std::string templatePath;
    std::string journalPath;
    std::optional<std::string> assignments; // --assignments LIST.csv
    std::optional<std::size_t> count;       // --count N
    std::string cradles = "all";            // "all" or ID,ID...
    std::optional<std::string> mode;        // generation of a settings template
    bool automatic = false;
    bool noVerify = false;
    std::optional<std::string> backupDir;
    bool allowReusedCapcodes = false;
    bool retryInterrupted = false;
    int attempts = 3;
    bool quiet = false;
    bool json = false;
};

struct JournalCommandOptions {
    std::string journalPath;
    bool csv = false;
    std::optional<std::string> serialNumber;
    std::optional<std::uint32_t> capcode;
};

// Both return the exit status, having told the user what happened.
int BatchCommand(const BatchCommandOptions& options, InterruptWatch& interrupts);
int JournalCommand(const JournalCommandOptions& options);
