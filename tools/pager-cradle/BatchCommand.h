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
    std::optional<std::string> order;   // --order NAME
    bool sharedOnly = false;            // every capcode shared by all pagers, on purpose
    std::optional<std::string> station; // default: the host name
    int lease = 30;                     // seconds a station's claim lives without renewal
    int attempts = 3;
    bool quiet = false;
    bool json = false;
};

struct JournalCommandOptions {
    std::string journalPath;
    bool csv = false;
    std::optional<std::string> order;
    std::optional<std::string> serialNumber;
    std::optional<std::uint32_t> capcode;
    std::optional<std::size_t> release; // --release N: a held assignment of the order
    std::optional<std::string> station;
};

struct ResolveCommandOptions {
    std::string journalPath;
    // The operator names the seated pager as this held assignment's (of --order).
    std::optional<std::string> order;
    std::optional<std::size_t> assignment;
    std::optional<std::string> cradle;
    std::optional<std::string> station;
    bool quiet = false;
};

// Each returns the exit status, having told the user what happened.
int BatchCommand(const BatchCommandOptions& options, InterruptWatch& interrupts);
// Settles the held assignment whose numbers the seated pager carries.
int ResolveCommand(const ResolveCommandOptions& options, InterruptWatch& interrupts);
int JournalCommand(const JournalCommandOptions& options);
// Creates (or checks) the ledger's tables on a server or in a file.
int LedgerInitCommand(const std::string& where);
