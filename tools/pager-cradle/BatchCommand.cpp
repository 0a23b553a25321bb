#include "BatchCommand.h"

#include "BatchDisplay.h"
#include "CommandInput.h"
#include "CommandReport.h"
#include "CradleCommands.h"

#include "image/ImageCodec.h"
#include "production/AssignmentList.h"
#include "production/CountedNumbering.h"
#include "production/CradleDirectory.h"
#include "production/JournalListing.h"
#include "production/PagerBackup.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <sstream>

namespace {

BatchTemplate LoadTemplate(const BatchCommandOptions& options) {
    const PagerInput input = LoadPagerInput(options.templatePath, options.mode, std::nullopt);
    BatchTemplate batchTemplate;
    batchTemplate.mode = input.mode;
    if (input.isSettings) {
        batchTemplate.settings = input.settings;
    } else {
        DecodeImage(input.image, *input.mode, batchTemplate.settings);
    }
    return batchTemplate;
}

std::vector<Assignment> LoadNumbering(const BatchCommandOptions& options,
                                      const BatchTemplate& batchTemplate) {
    if (options.assignments) {
        AssignmentList list = LoadAssignmentList(*options.assignments);
        if (!list.errors.empty()) {
            std::string text = *options.assignments + " is refused; nothing was written:";
            for (const std::string& error : list.errors) {
                text += "\n  " + error;
            }
            throw CradleCommandError(kExitBadInput, text);
        }
        if (list.assignments.empty()) {
            throw CradleCommandError(kExitBadInput, *options.assignments + " has no assignments.");
        }
        return std::move(list.assignments);
    }
    CountedNumbering numbering = NumberPagers(batchTemplate.settings, *options.count);
    if (!numbering.error.empty()) {
        const bool ended = numbering.error.ends_with('.');
        throw CradleCommandError(kExitBadInput,
                                 numbering.error + (ended ? "" : ".") + " Nothing was written.");
    }
    return std::move(numbering.assignments);
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    const std::size_t last = text.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

std::string CradleListText(const std::vector<FoundCradle>& found) {
    if (found.empty()) {
        return " No cradle is connected.";
    }
    std::string text = " Connected cradles:";
    for (const FoundCradle& cradle : found) {
        text += "\n  " + cradle.id + " (" + cradle.kind + ")";
    }
    return text;
}

// The ids --cradles names: "all", or ids separated by commas, each once.
std::vector<std::string> ChosenIds(const std::string& chosen,
                                   const std::vector<FoundCradle>& found) {
    if (Trimmed(chosen) == "all") {
        std::vector<std::string> ids;
        for (const FoundCradle& cradle : found) {
            ids.push_back(cradle.id);
        }
        if (ids.empty()) {
            throw CradleCommandError(kExitNoCradle,
                                     "No cradle found. Plug the cradles in (or start "
                                     "pager-cradle-sim), then start the batch again.");
        }
        return ids;
    }
    std::vector<std::string> ids;
    std::stringstream stream(chosen);
    std::string id;
    while (std::getline(stream, id, ',')) {
        ids.push_back(Trimmed(id));
    }
    if (chosen.ends_with(',')) {
        ids.emplace_back();
    }
    const std::string usage = " Give --cradles all for every cradle, or the ids of the cradles "
                              "separated by commas, as pager-cradle list shows them.";
    if (ids.empty() || std::find(ids.begin(), ids.end(), "") != ids.end()) {
        throw CradleCommandError(kExitBadInput,
                                 "--cradles \"" + chosen + "\" leaves a cradle id empty." + usage);
    }
    if (std::find(ids.begin(), ids.end(), "all") != ids.end()) {
        throw CradleCommandError(kExitBadInput, "--cradles \"" + chosen +
                                                    "\": \"all\" already takes every cradle and "
                                                    "cannot be listed with ids." +
                                                    usage);
    }
    for (auto it = ids.begin(); it != ids.end(); ++it) {
        if (std::find(ids.begin(), it, *it) != it) {
            throw CradleCommandError(kExitBadInput, "--cradles names " + *it +
                                                        " twice; a cradle is one site of the "
                                                        "batch, so name each cradle once.");
        }
    }
    return ids;
}

// The cradles of the batch, each opened now so that a cradle another program holds stops the
// batch before anything is written.
std::vector<std::unique_ptr<CradleSite>> OpenSites(const std::string& chosen) {
    const std::vector<FoundCradle> found = FindCradles();
    std::vector<std::unique_ptr<CradleSite>> sites;
    for (const std::string& id : ChosenIds(chosen, found)) {
        const auto match = std::find_if(found.begin(), found.end(),
                                        [&](const FoundCradle& cradle) { return cradle.id == id; });
        if (match == found.end()) {
            throw CradleCommandError(kExitNoCradle,
                                     "No cradle at " + id + "." + CradleListText(found));
        }
        if (match->accessDenied) {
            throw CradleCommandError(kExitNoCradle,
                                     "Cradle " + id + ": no permission.\n" + CradleAccessFix());
        }
        auto site = std::make_unique<CradleSite>(id);
        if (site->Open() == CradleSite::Access::InUse) {
            throw CradleCommandError(kExitNoCradle, "Cradle " + id +
                                                        " is in use by another program; close it, "
                                                        "then start the batch again.");
        }
        sites.push_back(std::move(site));
    }
    return sites;
}

void ReportHeldBack(const BatchProgress& progress, bool retry) {
    if (progress.heldBackAttempts.empty()) {
        return;
    }
    std::fprintf(stderr, "%zu pager%s of this batch %s interrupted mid-write:\n",
                 progress.heldBackAttempts.size(), progress.heldBackAttempts.size() == 1 ? "" : "s",
                 progress.heldBackAttempts.size() == 1 ? "was" : "were");
    for (const JournalEntry& entry : progress.heldBackAttempts) {
        std::fprintf(stderr, "  pager %zu, serial %s, capcodes %s, in %s at %s\n",
                     entry.assignment + 1, entry.serialNumber.c_str(),
                     CapcodesText(entry.capcodes).c_str(), entry.cradle.c_str(),
                     LocalTimeText(entry.time).c_str());
    }
    std::fputs(retry ? "Their numbers are handed out again (--retry-interrupted).\n"
                     : "Those pagers may hold these numbers, so they are not handed out again. "
                       "Check the pagers (pager-cradle verify), then add --retry-interrupted to "
                       "hand the numbers out again.\n",
               stderr);
}

// Waits for Enter on a terminal; false when the user stops (Ctrl-C, end of input).
bool WaitForNextRound(BatchDisplay& display, const Batch& batch) {
    display.Say("Seat the next pagers, then press Enter (Ctrl-C ends the batch).");
    display.BetweenRounds(true);
    while (!batch.stopping()) {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (poll(&input, 1, 100) <= 0) {
            continue;
        }
        std::string line;
        const bool typed = static_cast<bool>(std::getline(std::cin, line));
        if (typed) {
            display.LineTyped();
        }
        display.BetweenRounds(false);
        return typed;
    }
    display.BetweenRounds(false);
    return false;
}

std::string PagersText(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " pager" : " pagers");
}

} // namespace

int BatchCommand(const BatchCommandOptions& options, InterruptWatch& interrupts) {
    if (options.assignments.has_value() == options.count.has_value()) {
        throw CradleCommandError(kExitBadInput,
                                 "Give the numbers either with --assignments LIST.csv "
                                 "or with --count N.");
    }
    const BatchTemplate batchTemplate = LoadTemplate(options);
    std::vector<Assignment> assignments = LoadNumbering(options, batchTemplate);
    const std::string key =
        BatchKey(batchTemplate.settings, batchTemplate.mode.value_or(0xFF), assignments);

    std::unique_ptr<Journal> journal;
    BatchProgress progress;
    try {
        journal = Journal::OpenForRecording(options.journalPath);
        progress = journal->OpenBatch(key, assignments.size());
    } catch (const JournalError& error) {
        throw CradleCommandError(kExitBadInput, error.what());
    }
    ReportHeldBack(progress, options.retryInterrupted);
    AssignmentQueue queue(assignments.size(), progress.usedUp,
                          options.retryInterrupted ? std::set<std::size_t>() : progress.heldBack);
    if (queue.AllProgrammed()) {
        const std::string message =
            "All " + PagersText(assignments.size()) + " of this batch are programmed already.";
        std::fprintf(stderr, "%s\n", message.c_str());
        if (options.json) {
            PrintJsonLine({{"event", "end"},
                           {"outcome", "done"},
                           {"exitStatus", kExitDone},
                           {"message", message}});
        }
        return kExitDone;
    }

    // A backup folder that takes no file would fail every pager alike: refused now.
    if (options.backupDir) {
        if (std::optional<std::string> problem = PrepareBackupFolder(*options.backupDir)) {
            throw CradleCommandError(kExitBadInput, "The batch did not start: " + *problem +
                                                        ". Choose another folder with "
                                                        "--backup-dir.");
        }
    }
    std::vector<std::unique_ptr<CradleSite>> sites = OpenSites(options.cradles);
    std::vector<std::string> ids;
    ids.reserve(sites.size());
    for (const auto& site : sites) {
        ids.push_back(site->id());
    }
    BatchDisplay display(BatchDisplay::ChooseStyle(options.json, options.quiet), queue, ids);

    BatchOptions batchOptions;
    batchOptions.automatic = options.automatic;
    batchOptions.verify = !options.noVerify;
    if (options.backupDir) {
        batchOptions.backupFolder = *options.backupDir;
    }
    batchOptions.allowReusedCapcodes = options.allowReusedCapcodes;
    batchOptions.attemptsPerPager = options.attempts;
    Batch batch(batchTemplate, std::move(assignments), *journal, progress.batch, queue,
                batchOptions, display);
    for (auto& site : sites) {
        batch.AddSite(std::move(site));
    }
    std::atomic<bool> interrupted{false};
    interrupts.SetHandler([&](int count) {
        interrupted.store(true);
        if (count == 1) {
            display.Say("Stopping: no new pagers; the pagers in progress are finished. Press "
                        "Ctrl-C again to stop them at once.");
            batch.StopTaking();
        } else {
            display.Say("Stopping at once; the pagers in progress are recorded as interrupted.");
            batch.StopNow();
        }
    });
    if (progress.resumed) {
        display.Say(
            "Going on with the batch of this journal: " + std::to_string(queue.Counts().done) +
            " of " + std::to_string(queue.Counts().total) + " programmed before.");
    }

    batch.Run();
    while (!options.automatic && !batch.stopping() && !queue.Finished() && isatty(STDIN_FILENO) &&
           WaitForNextRound(display, batch)) {
        batch.Run();
    }
    interrupts.SetHandler(nullptr);
    display.Finish();

    const std::size_t left = queue.Counts().total - queue.Counts().done;
    if (const std::optional<std::string> failure = batch.failure()) {
        display.End("failed", kExitPagerFailed,
                    "pager-cradle: the batch stopped: " + *failure + ". " + PagersText(left) +
                        " left; once that is mended, run the same command again to go on.");
        return kExitPagerFailed;
    }
    if (queue.AllProgrammed()) {
        display.End("done", kExitDone, "");
        return kExitDone;
    }
    if (interrupted.load()) {
        display.End("stopped", kExitInterrupted,
                    "Stopped by Ctrl-C with " + PagersText(left) +
                        " left; run the same command again to go on.");
        return kExitInterrupted;
    }
    std::string message =
        PagersText(left) + " of this batch " + (left == 1 ? "is" : "are") + " not programmed.";
    if (!options.automatic && !isatty(STDIN_FILENO) && !queue.Finished()) {
        message += " Without --auto and a terminal to press Enter on, a batch programs one "
                   "round: the pagers seated now. Seat the next pagers and run the same command "
                   "again (the journal goes on where it stopped), or add --auto to program each "
                   "pager as it is seated.";
    } else {
        message += " Run the same command again to go on (the journal goes on where it stopped).";
    }
    display.End("failed", kExitPagerFailed, message);
    return kExitPagerFailed;
}

int JournalCommand(const JournalCommandOptions& options) {
    std::unique_ptr<Journal> journal;
    JournalFilter filter;
    if (options.serialNumber) {
        filter.serialNumber = *options.serialNumber;
    }
    filter.capcode = options.capcode;
    std::vector<JournalEntry> entries;
    try {
        journal = Journal::OpenForReading(options.journalPath);
        entries = journal->Entries(filter);
    } catch (const JournalError& error) {
        throw CradleCommandError(kExitBadInput, error.what());
    }
    if (options.csv) {
        WriteJournalCsv(std::cout, entries);
    } else {
        WriteJournalTable(std::cout, entries);
    }
    return kExitDone;
}
