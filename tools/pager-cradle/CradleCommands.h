#pragma once

#include "InterruptWatch.h"

#include "production/CradleSite.h"

#include <optional>
#include <stdexcept>
#include <string>

// The exit statuses of pager-cradle.
inline constexpr int kExitDone = 0;
inline constexpr int kExitPagerFailed = 1; // read or write error, difference, refused pager
inline constexpr int kExitBadInput = 2;    // bad input or usage
inline constexpr int kExitNoCradle = 3;    // no cradle, no permission, in use, link failed
inline constexpr int kExitNoLedger = 4;    // the ledger cannot be opened or used
inline constexpr int kExitInterrupted = 130;

// Ends a command before any transfer, with its exit status and what to tell the user.
struct CradleCommandError : std::runtime_error {
    CradleCommandError(int exitStatus, const std::string& message)
        : std::runtime_error(message), status(exitStatus) {}
    int status;
};

struct CommonOptions {
    std::optional<std::string> cradle; // -c ID
    bool quiet = false;
    bool json = false;
};

struct ReadOptions : CommonOptions {
    std::string output;
    std::optional<std::string> settingsOutput;
    bool force = false;
};

struct WriteOptions : CommonOptions {
    std::string input;
    std::optional<std::string> mode;   // "v1" or "v2"
    std::optional<std::string> repair; // "v1" or "v2"
    bool writeSerialNumber = false;
    std::optional<std::string> backupDir;
    bool noBackup = false;
    bool noVerify = false;
};

struct VerifyOptions : CommonOptions {
    std::string input;
    std::optional<std::string> mode;
    bool writeSerialNumber = false;
};

// The cradle the user named (-c ID), or the only one there is; CradleCommandError otherwise.
std::string ChooseCradleId(const std::optional<std::string>& requested);
// Opens the cradle for this program alone; CradleCommandError when another program has it or
// it is gone.
void OpenCradleSite(CradleSite& site);

// Each returns the exit status, having told the user what happened.
int ListCommand(bool json);
int ReadCommand(const ReadOptions& options, InterruptWatch& interrupts);
int WriteCommand(const WriteOptions& options, InterruptWatch& interrupts);
int VerifyCommand(const VerifyOptions& options, InterruptWatch& interrupts);
