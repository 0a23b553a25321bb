#include "BatchCommand.h"
#include "CommandReport.h"
#include "CradleCommands.h"
#include "InterruptWatch.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

namespace {

const std::set<std::string> kCommands = {"list",  "read",    "write",   "verify",
                                         "batch", "resolve", "journal", "ledger"};

// The command named on the command line, before the options are parsed: the first word that is
// not an option.
std::string CommandWord(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-') {
            return argv[i];
        }
    }
    return {};
}

bool HasArgument(int argc, char** argv, const char* argument) {
    return std::any_of(argv + 1, argv + argc,
                       [&](const char* word) { return std::strcmp(word, argument) == 0; });
}

// With --json, what a script expects on standard output when a command ends early: one object,
// or for batch the "end" event of its JSON lines.
void PrintFailureJson(const std::string& command, int exitStatus, const std::string& message) {
    if (command == "batch") {
        PrintJsonLine({{"event", "end"},
                       {"outcome", "failed"},
                       {"exitStatus", exitStatus},
                       {"message", message}});
    } else {
        PrintJsonLine({{"command", command},
                       {"outcome", "failed"},
                       {"exitStatus", exitStatus},
                       {"message", message}});
    }
}

// Tells the user why the command ended early, and a script too with --json.
int ReportFailure(const std::string& command, bool json, int exitStatus,
                  const std::string& message) {
    std::fprintf(stderr, "pager-cradle: %s\n", message.c_str());
    if (json) {
        PrintFailureJson(command, exitStatus, message);
    }
    return exitStatus;
}

} // namespace

// pager-cradle: read, write and verify pagers in cradles from the command line, with the same
// procedures as the window.
int main(int argc, char** argv) {
    // Before any other thread exists, so every later thread leaves Ctrl-C to the watch.
    InterruptWatch interrupts;

    CLI::App app{"Read, write and verify pagers in programming cradles."};
    app.require_subcommand(1);
    app.set_version_flag("--version", "pager-cradle " PAGER_VERSION);
    app.footer("Exit status: 0 done, 1 the pager operation failed, 2 bad input or usage, "
               "3 no cradle, no permission or the link failed, 4 the ledger cannot be opened or "
               "used, 130 stopped by Ctrl-C.");

    const auto addCommon = [](CLI::App* command, CommonOptions& options) {
        command->add_option("-c,--cradle", options.cradle,
                            "cradle id as pager-cradle list shows it (default: the only one)");
        command->add_flag("-q,--quiet", options.quiet, "no progress bar");
        command->add_flag("--json", options.json, "print the outcome as one JSON object");
    };
    const auto modeCheck = CLI::IsMember({"v1", "v2"});

    bool listJson = false;
    CLI::App* list = app.add_subcommand("list", "list the cradles and what sits in them");
    list->add_flag("--json", listJson, "print a JSON array");

    ReadOptions read;
    CLI::App* readCommand = app.add_subcommand("read", "read a pager into an image file");
    addCommon(readCommand, read);
    readCommand->add_option("-o,--output", read.output, "image file to write")->required();
    readCommand->add_option("--settings", read.settingsOutput,
                            "also write the decoded settings as JSON");
    readCommand->add_flag("--force", read.force,
                          "save the image even when it names no pager generation");

    WriteOptions write;
    CLI::App* writeCommand =
        app.add_subcommand("write", "write an image or settings file to a pager");
    addCommon(writeCommand, write);
    writeCommand->add_option("INPUT", write.input, "image (.sav) or settings (.json)")->required();
    writeCommand->add_option("--mode", write.mode, "generation of a settings file: v1 or v2")
        ->check(modeCheck);
    writeCommand->add_flag("--serial", write.writeSerialNumber,
                           "also write the serial number block");
    CLI::Option* backupDir =
        writeCommand->add_option("--backup-dir", write.backupDir,
                                 "folder of the backup made before writing (default "
                                 "~/.local/state/pager-programmer/backups)");
    writeCommand->add_flag("--no-backup", write.noBackup, "write without reading a backup first")
        ->excludes(backupDir);
    writeCommand->add_flag("--no-verify", write.noVerify, "do not read the pager back afterwards");
    writeCommand
        ->add_option("--repair", write.repair,
                     "v1 or v2: write whatever the pager's identity says, with this identity")
        ->check(modeCheck);

    VerifyOptions verify;
    CLI::App* verifyCommand =
        app.add_subcommand("verify", "compare a pager with an image or settings file");
    addCommon(verifyCommand, verify);
    verifyCommand->add_option("INPUT", verify.input, "image (.sav) or settings (.json)")
        ->required();
    verifyCommand->add_option("--mode", verify.mode, "generation of a settings file: v1 or v2")
        ->check(modeCheck);
    verifyCommand->add_flag("--serial", verify.writeSerialNumber,
                            "also compare the serial number block");

    BatchCommandOptions batch;
    CLI::App* batchCommand = app.add_subcommand(
        "batch", "program an order of pagers over several cradles, from a ledger");
    batchCommand->add_option("TEMPLATE", batch.templatePath, "image (.sav) or settings (.json)")
        ->required();
    batchCommand
        ->add_option("--journal", batch.journalPath,
                     "the ledger that owns every number and records every attempt: an SQLite "
                     "file, or a PostgreSQL server (postgresql://... or libpq's key=value words) "
                     "that several stations share")
        ->required();
    batchCommand
        ->add_option("--lease", batch.lease,
                     "seconds a station's claim lives without renewal on a ledger server "
                     "(default 30); one that runs out is held")
        ->check(CLI::Range(2, 3600));
    batchCommand->add_option("--order", batch.order,
                             "the order's name (default: the list's, or for --count the "
                             "template's, file name without its extension)");
    batchCommand->add_flag("--shared-only", batch.sharedOnly,
                           "every capcode is a group capcode all pagers share, on purpose");
    batchCommand->add_option("--station", batch.station,
                             "this programming station's name (default: the host name)");
    CLI::Option* assignments = batchCommand->add_option(
        "--assignments", batch.assignments,
        "CSV list: a header naming serial and capcode1..capcode8, a row per pager");
    batchCommand
        ->add_option("--count", batch.count,
                     "N pagers numbered from the template's own, as the window advances them")
        ->excludes(assignments)
        ->check(CLI::Validator(
            [](const std::string& text) {
                const bool whole =
                    !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
                return whole && text.find_first_not_of('0') != std::string::npos
                           ? std::string()
                           : "give a number of pagers, at least 1 (not " + text + ")";
            },
            "N>=1"));
    batchCommand->add_option("--cradles", batch.cradles, "all (default) or ID,ID,...");
    batchCommand->add_option("--mode", batch.mode, "generation of a settings template: v1 or v2")
        ->check(modeCheck);
    batchCommand->add_flag("--auto", batch.automatic,
                           "hands-free: program each pager seated, until the batch is done");
    batchCommand->add_flag("--no-verify", batch.noVerify, "do not read the pagers back");
    batchCommand->add_option("--backup-dir", batch.backupDir,
                             "back up every pager into this folder before writing it");
    batchCommand
        ->add_option("--attempts", batch.attempts,
                     "writes tried on one seated pager before asking for the next")
        ->check(CLI::Range(1, 1000));
    batchCommand->add_flag("-q,--quiet", batch.quiet, "no live display, one line per event");
    batchCommand->add_flag("--json", batch.json, "print events as JSON lines");

    JournalCommandOptions journal;
    CLI::App* journalCommand = app.add_subcommand("journal", "list or export a batch journal");
    journalCommand
        ->add_option("JOURNAL", journal.journalPath,
                     "the ledger: a file, or a PostgreSQL server's URI or key=value words")
        ->required();
    journalCommand->add_flag("--csv", journal.csv, "CSV for a spreadsheet");
    journalCommand->add_option("--serial", journal.serialNumber, "only this serial number");
    journalCommand->add_option("--capcode", journal.capcode, "only pagers with this capcode");
    journalCommand->add_option("--order", journal.order, "only this order");
    journalCommand->add_option("--release", journal.release,
                               "give back the numbers of held assignment N of the order, once "
                               "its pager is destroyed (asks for its serial number)");
    journalCommand->add_option("--station", journal.station, "this station's name");

    std::string ledgerWhere;
    CLI::App* ledgerCommand = app.add_subcommand("ledger", "set up a ledger");
    CLI::App* ledgerInit = ledgerCommand->add_subcommand(
        "init", "create or upgrade the ledger's tables (on a server: as the database's owner)");
    ledgerInit->add_option("LEDGER", ledgerWhere, "postgresql://... URI, key=value words or a file")
        ->required();
    ledgerCommand->require_subcommand(1);

    ResolveCommandOptions resolve;
    CLI::App* resolveCommand = app.add_subcommand(
        "resolve", "settle the held assignment whose numbers the seated pager carries");
    resolveCommand->add_option("--journal", resolve.journalPath, "the ledger")->required();
    resolveCommand->add_option("-c,--cradle", resolve.cradle,
                               "cradle id as pager-cradle list shows it (default: the only one)");
    resolveCommand->add_option("--station", resolve.station, "this station's name");
    resolveCommand->add_option("--order", resolve.order, "the order of --assignment");
    resolveCommand->add_option("--assignment", resolve.assignment,
                               "the seated pager is this held assignment's: if it holds none of "
                               "its numbers, they are free again");
    resolveCommand->add_flag("-q,--quiet", resolve.quiet, "one line per event");

    const std::string command = CommandWord(argc, argv);
    const bool jsonAsked = HasArgument(argc, argv, "--json") && command != "list";
    if (!command.empty() && kCommands.count(command) == 0) {
        return ReportFailure(command, jsonAsked, kExitBadInput,
                             "\"" + command +
                                 "\" is not a command. The commands are list, read, write, "
                                 "verify, batch, resolve, journal and ledger (see "
                                 "pager-cradle "
                                 "--help).");
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // CLI11 has told the user already.
        const int status = app.exit(e) == 0 ? kExitDone : kExitBadInput;
        if (status != kExitDone && jsonAsked) {
            PrintFailureJson(command, status, e.what());
        }
        return status;
    }

    const bool json =
        (readCommand->parsed() && read.json) || (writeCommand->parsed() && write.json) ||
        (verifyCommand->parsed() && verify.json) || (batchCommand->parsed() && batch.json);
    try {
        if (list->parsed()) {
            return ListCommand(listJson);
        }
        if (readCommand->parsed()) {
            return ReadCommand(read, interrupts);
        }
        if (writeCommand->parsed()) {
            return WriteCommand(write, interrupts);
        }
        if (verifyCommand->parsed()) {
            return VerifyCommand(verify, interrupts);
        }
        if (batchCommand->parsed()) {
            return BatchCommand(batch, interrupts);
        }
        if (resolveCommand->parsed()) {
            return ResolveCommand(resolve, interrupts);
        }
        if (ledgerInit->parsed()) {
            return LedgerInitCommand(ledgerWhere);
        }
        return JournalCommand(journal);

    } catch (const CradleCommandError& e) {
        return ReportFailure(command, json, e.status, e.what());
    } catch (const std::exception& e) {
        // Nothing a cradle, a file or the journal does may end the program unreported.
        return ReportFailure(command, json, kExitPagerFailed,
                             std::string("Stopped by an unexpected error: ") + e.what() +
                                 ". If a pager was being written, check it with pager-cradle "
                                 "verify before using it.");
    }
}
