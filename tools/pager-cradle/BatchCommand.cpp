#include "BatchCommand.h"

#include "BatchDisplay.h"
#include "CommandInput.h"
#include "CommandReport.h"
#include "CradleCommands.h"

#include "image/ImageCodec.h"
#include "image/SettingsJson.h"
#include "production/AssignmentList.h"
#include "production/CradleDirectory.h"
#include "production/JournalListing.h"
#include "production/OrderPlan.h"
#include "production/PagerBackup.h"
#include "production/ledger/ConnectionText.h"
#include "programming/SerialNumber.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <sstream>

namespace {

BatchTemplate LoadTemplate(const BatchCommandOptions& options) {
    const PagerInput input = LoadPagerInput(options.templatePath, options.mode, std::nullopt);
    PagerSettings settings = input.settings;
    if (!input.isSettings) {
        DecodeImage(input.image, *input.mode, settings);
    }
    return TemplateOf(std::move(settings), input.mode);
}

std::string StemOf(const std::string& path) {
    return std::filesystem::path(path).stem().string();
}

// The order the command asks for, checked whole before the ledger is opened.
OrderPlan PlanOrder(const BatchCommandOptions& options, const BatchTemplate& batchTemplate) {
    OrderPlan plan;
    if (options.assignments) {
        AssignmentList list = LoadAssignmentList(*options.assignments);
        if (!list.errors.empty()) {
            // Each error names the file already.
            std::string text = "The list is refused; nothing was written:";
            for (const std::string& error : list.errors) {
                text += "\n  " + error;
            }
            throw CradleCommandError(kExitBadInput, text);
        }
        plan = PlanFromList(options.order.value_or(StemOf(*options.assignments)), batchTemplate,
                            list, options.sharedOnly);
    } else {
        plan = PlanFromCount(options.order.value_or(StemOf(options.templatePath)), batchTemplate,
                             *options.count, options.sharedOnly);
    }
    if (!plan.errors.empty()) {
        std::string text =
            "The order \"" + plan.content.name + "\" is refused; nothing was written:";
        for (const std::string& error : plan.errors) {
            text += "\n  " + error;
        }
        throw CradleCommandError(kExitBadInput, text);
    }
    return plan;
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

std::string PagersText(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " pager" : " pagers");
}

std::string HeldText(const HeldAssignment& held) {
    const PagerSettings settings =
        ApplyAssignment(held.batchTemplate.settings, held.batchTemplate.rows, held.numbers);
    std::string text = "  assignment " + std::to_string(held.position + 1) + " of order \"" +
                       held.orderName + "\", serial " +
                       PagerText(UnalignedSerialNumber(settings.serialNumber)) + ", capcodes " +
                       CapcodesText(EnabledCapcodes(settings));
    if (!held.cradle.empty()) {
        text += ", last in " + held.cradle + (held.station.empty() ? "" : " at " + held.station);
    }
    return text + (held.reason.empty() ? "" : ": " + held.reason);
}

// The held assignments of an order and how to settle each.
std::string HeldAdvice(Ledger& ledger, std::int64_t order, const std::string& ledgerName) {
    const std::vector<HeldAssignment> held = ledger.Held(order);
    if (held.empty()) {
        return {};
    }
    std::string text = PagersText(held.size()) + " may hold numbers of this order and " +
                       (held.size() == 1 ? "is" : "are") + " held; no other pager gets them:";
    for (const HeldAssignment& one : held) {
        text += "\n" + HeldText(one);
    }
    return text + "\nSeat each in a cradle and run: pager-cradle resolve -c CRADLE --journal " +
           ledgerName +
           " (or seat them during the next run of this batch). A pager that is destroyed: "
           "pager-cradle journal " +
           ledgerName + " --order \"" + held.front().orderName + "\" --release N.";
}

// A server that refuses a statement for want of a grant: say where the grants are.
std::string WithGrantHint(const std::string& text) {
    if (text.find("permission denied") == std::string::npos) {
        return text;
    }
    return text + ". The station's database role lacks a grant: give it those of the README's "
                  "depot set-up (Several stations on one order).";
}

std::unique_ptr<Ledger> OpenLedger(const std::string& where, const std::string& station,
                                   int leaseSeconds = 30) {
    try {
        return Ledger::OpenForRecording(where, std::chrono::system_clock::now,
                                        {station, std::chrono::seconds(leaseSeconds)});
    } catch (const LedgerUnavailable& error) {
        throw CradleCommandError(kExitNoLedger, std::string(error.what()) +
                                                    ". Check that the server runs and the "
                                                    "address is right; nothing was written.");
    } catch (const LedgerError& error) {
        throw CradleCommandError(kExitNoLedger, WithGrantHint(error.what()));
    } catch (const LedgerRefusal& error) {
        throw CradleCommandError(kExitBadInput, error.what());
    }
}

std::string Hostname() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == 0) {
        return "station";
    }
    return name;
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

// The order --order names, or the ledger's only one.
OrderInfo ChosenOrder(Ledger& ledger, const std::optional<std::string>& name) {
    const std::vector<OrderInfo> orders = ledger.Orders();
    if (!name && orders.size() != 1) {
        throw CradleCommandError(kExitBadInput, "Name the order with --order NAME (see "
                                                "pager-cradle journal).");
    }
    const std::optional<OrderInfo> order = ledger.FindOrder(name.value_or(orders.front().name));
    if (!order) {
        throw CradleCommandError(kExitBadInput, "The ledger has no order \"" + *name + "\".");
    }
    return *order;
}

// The held assignment N (from 1) of the order.
HeldAssignment HeldAssignmentOf(Ledger& ledger, const OrderInfo& order, std::size_t number) {
    const std::vector<HeldAssignment> held = ledger.Held(order.id);
    const auto found = std::find_if(held.begin(), held.end(), [&](const HeldAssignment& one) {
        return one.position + 1 == number;
    });
    if (found == held.end()) {
        throw CradleCommandError(kExitBadInput, "Assignment " + std::to_string(number) +
                                                    " of order \"" + order.name +
                                                    "\" is not held (see pager-cradle journal).");
    }
    return *found;
}

std::int64_t NamedHeldAssignment(Ledger& ledger, const std::optional<std::string>& order,
                                 std::size_t number) {
    return HeldAssignmentOf(ledger, ChosenOrder(ledger, order), number).assignment;
}

// Gives a held assignment back once the operator has typed the serial number of the pager
// that is destroyed.
int ReleaseCommand(const JournalCommandOptions& options) {
    std::unique_ptr<Ledger> ledger =
        OpenLedger(options.journalPath, options.station.value_or(Hostname()));
    const OrderInfo order = ChosenOrder(*ledger, options.order);
    const std::string& orderName = order.name;
    const HeldAssignment held = HeldAssignmentOf(*ledger, order, *options.release);
    const HeldAssignment* found = &held;
    const std::size_t position = held.position;
    const PagerSettings settings =
        ApplyAssignment(found->batchTemplate.settings, found->batchTemplate.rows, found->numbers);
    std::string serial = PagerText(UnalignedSerialNumber(settings.serialNumber));
    const std::string expected = serial.empty() ? "destroyed" : serial;
    std::fprintf(stderr,
                 "%s\nIts numbers go to another pager once released. Only release it if "
                 "this pager is destroyed or will never be used.\nType %s to release "
                 "it: ",
                 HeldText(*found).c_str(),
                 serial.empty() ? "the word destroyed" : ("its serial number " + serial).c_str());
    std::string typed;
    if (!std::getline(std::cin, typed) || typed != expected) {
        std::fputs("\nNot released.\n", stderr);
        return kExitPagerFailed;
    }
    try {
        ledger->Release(order.id, position, {options.station.value_or(Hostname()), ""},
                        "the operator stated the pager is destroyed");
    } catch (const LedgerRefusal& refusal) {
        throw CradleCommandError(kExitBadInput, refusal.what());
    }
    std::fprintf(stderr, "Assignment %zu of order \"%s\" is free again.\n", *options.release,
                 orderName.c_str());
    return kExitDone;
}

// The note for an order whose pagers all take the template's serial number.
std::optional<std::string> SharedSerialText(const OrderContent& content) {
    const bool own = std::any_of(content.assignments.begin(), content.assignments.end(),
                                 [](const Assignment& a) { return a.serialNumber.has_value(); });
    if (own) {
        return std::nullopt;
    }
    const std::string serial =
        PagerText(UnalignedSerialNumber(content.batchTemplate.settings.serialNumber));
    return "Every pager of this order gets the template's serial number" +
           (serial.empty() ? std::string(" (none)") : " " + serial) +
           ": give the list a serial column for pagers of their own.";
}

} // namespace

int BatchCommand(const BatchCommandOptions& options, InterruptWatch& interrupts) {
    if (options.assignments.has_value() == options.count.has_value()) {
        throw CradleCommandError(kExitBadInput,
                                 "Give the numbers either with --assignments LIST.csv "
                                 "or with --count N.");
    }
    const BatchTemplate batchTemplate = LoadTemplate(options);
    const OrderPlan plan = PlanOrder(options, batchTemplate);
    // A backup folder that takes no file would fail every pager alike: refused now.
    if (options.backupDir) {
        if (std::optional<std::string> problem = PrepareBackupFolder(*options.backupDir)) {
            throw CradleCommandError(kExitBadInput, "The batch did not start: " + *problem +
                                                        ". Choose another folder with "
                                                        "--backup-dir.");
        }
    }

    const std::string station = options.station.value_or(Hostname());
    std::unique_ptr<Ledger> ledger = OpenLedger(options.journalPath, station, options.lease);
    OrderInfo order;
    try {
        order = ledger->OpenOrder(plan.content);
    } catch (const LedgerRefusal& refusal) {
        throw CradleCommandError(kExitBadInput,
                                 std::string(refusal.what()) + "\nNothing was written.");
    } catch (const LedgerError& error) {
        throw CradleCommandError(kExitNoLedger, error.what());
    }
    // An order done already needs no cradle.
    const OrderCounts before = ledger->Counts(order.id);
    if (before.programmed == before.total) {
        const std::string message = "All " + PagersText(before.total) + " of order \"" +
                                    order.name + "\" are programmed already.";
        std::fprintf(stderr, "%s\n", message.c_str());
        if (options.json) {
            PrintJsonLine({{"event", "end"},
                           {"outcome", "done"},
                           {"exitStatus", kExitDone},
                           {"message", message}});
        }
        return kExitDone;
    }
    std::vector<std::unique_ptr<CradleSite>> sites = OpenSites(options.cradles);
    std::vector<std::string> ids;
    ids.reserve(sites.size());
    for (const auto& site : sites) {
        ids.push_back(site->id());
    }
    BatchDisplay display(
        BatchDisplay::ChooseStyle(options.json, options.quiet),
        [&] { return ledger->Counts(order.id); }, ids,
        [&] { return ledger->StationRates(order.id); });
    if (ledger->HeldAtOpen() > 0) {
        display.Say(PagersText(ledger->HeldAtOpen()) + " of an earlier run of station " + station +
                    " ended with it mid-way and " + (ledger->HeldAtOpen() == 1 ? "is" : "are") +
                    " held: its claims are taken over.");
    }
    display.Say(
        "Order \"" + order.name + "\": " + PagersText(order.assignments) +
        (order.created ? "" : ", " + std::to_string(before.programmed) + " programmed before") +
        (order.added > 0 && !order.created ? ", " + std::to_string(order.added) + " new" : "") +
        ".");
    for (const std::string& line : SharedRowsText(plan.content)) {
        display.Say(line + ".");
    }
    if (std::optional<std::string> serial = SharedSerialText(plan.content)) {
        display.Say(*serial);
    }
    const std::string ledgerName = options.journalPath;

    BatchOptions batchOptions;
    batchOptions.automatic = options.automatic;
    batchOptions.verify = !options.noVerify;
    if (options.backupDir) {
        batchOptions.backupFolder = *options.backupDir;
    }
    batchOptions.attemptsPerPager = options.attempts;
    batchOptions.station = station;
    Batch batch(*ledger, order, plan.content.batchTemplate, batchOptions, display);
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
            display.Say("Stopping at once; the ledger holds the numbers of the pagers in "
                        "progress until they are seated again.");
            batch.StopNow();
        }
    });

    const auto nothingFree = [&] { return ledger->Counts(order.id).free == 0; };
    if (!nothingFree()) {
        batch.Run();
        while (!options.automatic && !batch.stopping() && !nothingFree() && isatty(STDIN_FILENO) &&
               WaitForNextRound(display, batch)) {
            batch.Run();
        }
    }
    interrupts.SetHandler(nullptr);
    display.Finish();

    const OrderCounts counts = ledger->Counts(order.id);
    const std::size_t left = counts.free + counts.claimed;
    const std::string held = HeldAdvice(*ledger, order.id, ledgerName);
    if (const std::optional<std::string> failure = batch.failure()) {
        display.End("failed", kExitPagerFailed,
                    "pager-cradle: the batch stopped: " + *failure + ". " + PagersText(left) +
                        " left; once that is mended, run the same command again to go on." +
                        (held.empty() ? "" : "\n" + held));
        return kExitPagerFailed;
    }
    if (counts.programmed == counts.total) {
        display.End("done", kExitDone, "");
        return kExitDone;
    }
    if (interrupted.load()) {
        display.End("stopped", kExitInterrupted,
                    "Stopped by Ctrl-C with " + PagersText(left) +
                        " left; run the same command again to go on." +
                        (held.empty() ? "" : "\n" + held));
        return kExitInterrupted;
    }
    std::string message = PagersText(counts.total - counts.programmed) + " of this order " +
                          (counts.total - counts.programmed == 1 ? "is" : "are") +
                          " not programmed.";
    if (counts.free == 0 && counts.claimed > 0) {
        // Several stations on one order: the rest are in other stations' cradles now.
        message += " " + PagersText(counts.claimed) + (counts.claimed == 1 ? " is" : " are") +
                   " being programmed by another station; nothing is left for this one.";
    } else if (left > 0) {
        if (!options.automatic && !isatty(STDIN_FILENO)) {
            message += " Without --auto and a terminal to press Enter on, a batch programs one "
                       "round: the pagers seated now. Seat the next pagers and run the same "
                       "command again (the order goes on where it stopped), or add --auto to "
                       "program each pager as it is seated.";
        } else {
            message += " Run the same command again to go on (the order goes on where it "
                       "stopped).";
        }
    }
    if (counts.refused > 0) {
        message += " " + PagersText(counts.refused) +
                   " can never be programmed: a number of theirs belongs elsewhere (see pager-"
                   "cradle journal).";
    }
    display.End("failed", kExitPagerFailed, message + (held.empty() ? "" : "\n" + held));
    return kExitPagerFailed;
}

int ResolveCommand(const ResolveCommandOptions& options, InterruptWatch& interrupts) {
    const std::string station = options.station.value_or(Hostname());
    std::unique_ptr<Ledger> ledger = OpenLedger(options.journalPath, station);
    auto site = std::make_unique<CradleSite>(ChooseCradleId(options.cradle));
    OpenCradleSite(*site);
    const std::optional<Generation> generation = GenerationOf(site->Identify());
    if (!generation) {
        throw CradleCommandError(kExitPagerFailed, "No pager answers in cradle " + site->id() +
                                                       ". Seat the pager, then try again.");
    }
    // One pager: its events as lines, no live summary.
    BatchDisplay display(BatchDisplay::ChooseStyle(false, true), [] { return OrderCounts{}; },
                         {site->id()});
    std::atomic<bool> stopTaking{false};
    interrupts.SetHandler([&](int) { site->stopRequested().store(true); });
    SiteContext context(*site, display, stopTaking, std::chrono::milliseconds(200));
    const AttemptOptions attemptOptions{true, std::nullopt, station};
    const OrderInfo none;
    const BatchTemplate noTemplate;
    PagerAttempt attempt(context, *ledger, none, noTemplate, attemptOptions);
    std::optional<std::int64_t> named;
    if (options.assignment) {
        named = NamedHeldAssignment(*ledger, options.order, *options.assignment);
    }
    std::optional<AttemptResult> result;
    try {
        result = attempt.ResolveSeated(*generation, named);
    } catch (const LedgerConflict& conflict) {
        throw CradleCommandError(kExitPagerFailed, conflict.what());
    } catch (const LedgerRefusal& refusal) {
        throw CradleCommandError(kExitBadInput, refusal.what());
    }
    interrupts.SetHandler(nullptr);
    if (!result) {
        std::fprintf(stderr,
                     "The pager in %s carries no held assignment's numbers: nothing to "
                     "resolve. If you know it is the pager of held assignment N, say so with "
                     "--order NAME --assignment N.\n",
                     site->id().c_str());
        return kExitPagerFailed;
    }
    switch (*result) {
    case AttemptResult::Programmed:
    case AttemptResult::Freed:
        return kExitDone;
    case AttemptResult::Stopped:
        return kExitInterrupted;
    case AttemptResult::CradleLost:
        return kExitNoCradle;
    default:
        return kExitPagerFailed;
    }
}

int LedgerInitCommand(const std::string& where) {
    try {
        const std::string done = Ledger::Initialise(where);
        std::fprintf(stderr, "Ledger %s %s\n",
                     (IsServerLedger(where) ? RedactedConnectionText(where) : where).c_str(),
                     done.c_str());
        return kExitDone;
    } catch (const LedgerRefusal& refusal) {
        throw CradleCommandError(kExitBadInput, refusal.what());
    } catch (const LedgerError& error) {
        throw CradleCommandError(kExitNoLedger, error.what());
    }
}

int JournalCommand(const JournalCommandOptions& options) {
    if (options.release) {
        return ReleaseCommand(options);
    }
    LedgerFilter filter;
    filter.order = options.order;
    if (options.serialNumber) {
        filter.serialNumber = *options.serialNumber;
    }
    filter.capcode = options.capcode;
    std::vector<LedgerEntry> entries;
    try {
        std::unique_ptr<Ledger> ledger = Ledger::OpenForReading(options.journalPath);
        entries = ledger->Entries(filter);
    } catch (const LedgerError& error) {
        throw CradleCommandError(kExitNoLedger, WithGrantHint(error.what()));
    } catch (const LedgerRefusal& error) {
        throw CradleCommandError(kExitBadInput, error.what());
    }
    if (options.csv) {
        WriteJournalCsv(std::cout, entries);
    } else {
        WriteJournalTable(std::cout, entries);
    }
    return kExitDone;
}
