#include "BatchCommand.h"

#include "BatchDisplay.h"
#include "CommandInput.h"
#include "CradleCommands.h"

#include "image/ImageCodec.h"
#include "production/AssignmentList.h"
#include "production/CountedNumbering.h"
#include "production/CradleDirectory.h"
#include "production/JournalListing.h"

#include <poll.h>
#include <unistd.h>

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

std::vector<std::string> SplitIds(const std::string& text) {
    std::vector<std::string> ids;
    std::stringstream stream(text);
    std::string id;
    while (std::getline(stream, id, ',')) {
        if (!id.empty()) {
            ids.push_back(id);
        }
    }
    return ids;
}

// The cradles of the batch, each opened now so that a cradle another program holds stops the
// batch before anything is written.
std::vector<std::unique_ptr<CradleSite>> OpenSites(const std::string& chosen) {
    const std::vector<FoundCradle> found = FindCradles();
    std::vector<std::string> ids;
    if (chosen == "all") {
        for (const FoundCradle& cradle : found) {
            ids.push_back(cradle.id);
        }
        if (ids.empty()) {
            throw CradleCommandError(kExitNoCradle,
                                     "No cradle found. Plug the cradles in (or start "
                                     "pager-cradle-sim), then start the batch again.");
        }
    } else {
        ids = SplitIds(chosen);
    }
    std::vector<std::unique_ptr<CradleSite>> sites;
    for (const std::string& id : ids) {
        const auto match = std::find_if(found.begin(), found.end(),
                                        [&](const FoundCradle& cradle) { return cradle.id == id; });
        if (match == found.end()) {
            throw CradleCommandError(kExitNoCradle, "No cradle at " + id + ".");
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
    while (!batch.stopping()) {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (poll(&input, 1, 100) <= 0) {
            continue;
        }
        std::string line;
        return static_cast<bool>(std::getline(std::cin, line));
    }
    return false;
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
        std::fprintf(stderr, "All %zu pagers of this batch are programmed already.\n",
                     assignments.size());
        return kExitDone;
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
    interrupts.SetHandler([&](int count) {
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

    if (const std::optional<std::string> failure = batch.journalFailure()) {
        std::fprintf(stderr, "pager-cradle: the journal failed, so the batch stopped: %s\n",
                     failure->c_str());
        return kExitPagerFailed;
    }
    return queue.AllProgrammed() ? kExitDone : kExitPagerFailed;
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
