#include "production/Batch.h"

#include "image/ImageMap.h"
#include "image/ProgramState.h"
#include "production/PagerBackup.h"
#include "production/Sha256.h"
#include "programming/BlockRegions.h"
#include "programming/CommandHost.h"
#include "programming/PagerJobs.h"
#include "programming/SerialNumber.h"

#include <thread>

const char* ActivityText(SiteActivity activity) {
    switch (activity) {
    case SiteActivity::WaitingForCradle:
        return "waiting for the cradle";
    case SiteActivity::WaitingForPager:
        return "waiting for a pager";
    case SiteActivity::BackingUp:
        return "backing up";
    case SiteActivity::Writing:
        return "writing";
    case SiteActivity::Verifying:
        return "verifying";
    case SiteActivity::WaitingForRemoval:
        return "take the pager out";
    case SiteActivity::Finished:
        break;
    }
    return "finished";
}

// One cradle of the batch and the thread that programs the pagers seated in it.
class Batch::Site {
public:
    Site(Batch& batch, std::unique_ptr<CradleSite> cradle)
        : batch_(batch), cradle_(std::move(cradle)), host_(cradle_->context()) {
        view_.cradle = cradle_->id();
        host_.onBlock = [this] {
            ++view_.blocksDone;
            Publish();
        };
    }

    void Start() {
        thread_ = std::thread([this] {
            // Nothing a cradle, a disk or the journal does may end the process: whatever
            // escapes stops the batch with its reason.
            try {
                if (batch_.options_.automatic) {
                    RunHandsFree();
                } else {
                    RunRound();
                }
            } catch (const std::exception& error) {
                batch_.Failed(cradle_->id() + ": " + error.what(), false);
            } catch (...) {
                batch_.Failed(cradle_->id() + ": an unknown error", false);
            }
            try {
                Show(SiteActivity::Finished);
            } catch (...) {
                // The display failing has nothing left to tell.
            }
        });
    }
    void Join() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    void StopNow() { cradle_->context().stopRequested.store(true); }

private:
    enum class PagerEnd {
        Programmed,
        FailedClean,          // nothing of the assignment's numbers reached the pager
        FailedHoldingNumbers, // the pager may hold some of them
        Refused,
        WrongGeneration,
        Stopped,
    };
    struct AttemptResult {
        PagerEnd end = PagerEnd::FailedClean;
        bool cradleLost = false;
        PagerImage image{};
        std::uint32_t blocksWritten = 0;
    };
    // An assignment that stays with the pager in the cradle after a failed attempt.
    struct Held {
        std::size_t assignment;
        PagerImage image;
        std::uint32_t blocksWritten;
    };

    void RunHandsFree() {
        while (!Over()) {
            const std::optional<std::uint8_t> generation = WaitForSeatedPager();
            if (!generation) {
                return;
            }
            ProgramSeatedPager(*generation);
            WaitForRemoval();
        }
    }

    void RunRound() {
        if (!OpenCradle()) {
            batch_.listener_.Notice(cradle_->id(), "the cradle cannot be opened: skipped");
            return;
        }
        // A pager left in from the last round would be written again with new numbers.
        if (lastProgrammed_ && cradle_->StillHolds(*lastProgrammed_, kSettingsBlocksWithSerial) ==
                                   CradleSite::Holding::Same) {
            batch_.listener_.Notice(cradle_->id(),
                                    "the pager programmed last is still in the cradle: skipped");
            return;
        }
        if (const std::optional<std::uint8_t> generation = SeatedGeneration()) {
            ProgramSeatedPager(*generation);
        } else {
            batch_.listener_.Notice(cradle_->id(), "no pager in the cradle: skipped");
        }
    }

    // Nothing more to do: the batch stops, or every assignment is ended.
    bool Over() const { return batch_.stopTaking_.load() || batch_.queue_.Finished(); }

    // Sleeps between polls; false once the batch stops taking pagers.
    bool Pause() {
        const auto until = std::chrono::steady_clock::now() + batch_.options_.pollInterval;
        while (std::chrono::steady_clock::now() < until) {
            if (batch_.stopTaking_.load()) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    bool OpenCradle() { return cradle_->Open() == CradleSite::Access::Open; }

    // Waits, without limit, for the same cradle to be there again.
    bool WaitForCradle() {
        bool announced = false;
        while (!OpenCradle()) {
            if (!announced) {
                Show(SiteActivity::WaitingForCradle);
                batch_.listener_.Notice(cradle_->id(), "the cradle is gone; waiting for it");
                announced = true;
            }
            if (!Pause()) {
                return false;
            }
        }
        if (announced) {
            batch_.listener_.Notice(cradle_->id(), "the cradle is back");
        }
        return true;
    }

    std::optional<std::uint8_t> SeatedGeneration() { return ModeOf(cradle_->Identify()); }

    // A pager counts as seated when two polls a poll interval apart find the same identity.
    std::optional<std::uint8_t> WaitForSeatedPager() {
        Show(SiteActivity::WaitingForPager);
        std::optional<std::uint8_t> previous;
        while (!Over()) {
            if (!WaitForCradle()) {
                return std::nullopt;
            }
            Show(SiteActivity::WaitingForPager);
            const std::optional<std::uint8_t> seen = SeatedGeneration();
            if (seen && seen == previous) {
                return seen;
            }
            previous = seen;
            if (!Pause()) {
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    void WaitForRemoval() {
        Show(SiteActivity::WaitingForRemoval);
        while (!batch_.stopTaking_.load() && !batch_.queue_.Finished()) {
            if (!WaitForCradle()) {
                return;
            }
            Show(SiteActivity::WaitingForRemoval);
            if (cradle_->Identify() == CradleSite::Seat::Empty) {
                return;
            }
            if (!Pause()) {
                return;
            }
        }
    }

    // Programs the pager in the cradle with the next assignment, trying again after a failure,
    // up to the attempts allowed. While the pager may hold part of an assignment's numbers,
    // it is tried again with that same assignment, and only once it is certain to be the same
    // pager; an assignment a pager may have taken away with it is held back, so no two pagers
    // ever carry one capcode.
    void ProgramSeatedPager(std::uint8_t generation) {
        std::optional<Held> held;
        for (int attempt = 0; attempt < batch_.options_.attemptsPerPager;) {
            if (batch_.stopTaking_.load()) {
                break;
            }
            const std::optional<std::size_t> assignment =
                held ? std::optional(held->assignment) : TakeAssignment();
            if (!assignment) {
                return;
            }
            const AttemptResult result = Attempt(generation, *assignment, held.has_value());
            AssignmentQueue& queue = batch_.queue_;
            switch (result.end) {
            case PagerEnd::Refused:
                queue.Refused(*assignment);
                continue; // nothing was written; the next assignment may do
            case PagerEnd::WrongGeneration:
                queue.Failed(*assignment);
                return;
            case PagerEnd::Programmed:
                queue.Programmed(*assignment);
                lastProgrammed_ = result.image;
                return;
            case PagerEnd::Stopped:
                queue.Interrupted(*assignment);
                return;
            case PagerEnd::FailedClean:
                queue.Failed(*assignment);
                break;
            case PagerEnd::FailedHoldingNumbers:
                // The pager is recognised by the attempt that reached furthest into it.
                if (!held || result.blocksWritten >= held->blocksWritten) {
                    held = Held{*assignment, result.image, result.blocksWritten};
                }
                break;
            }
            ++attempt;
            const std::optional<CradleSite::Holding> holding =
                WhatTheCradleHolds(held, result.cradleLost);
            if (!holding) {
                break; // the batch stops
            }
            if (*holding == CradleSite::Holding::Empty) {
                ReleaseHeld(held);
                return;
            }
            if (*holding == CradleSite::Holding::Other) {
                // Another pager sits in the cradle now: it starts afresh.
                ReleaseHeld(held);
                attempt = 0;
            }
            if (const std::optional<std::uint8_t> seen = SeatedGeneration()) {
                generation = *seen;
            }
        }
        ReleaseHeld(held);
        if (!batch_.stopTaking_.load()) {
            batch_.listener_.Notice(cradle_->id(),
                                    "the pager failed " +
                                        std::to_string(batch_.options_.attemptsPerPager) +
                                        " times: take it out");
        }
    }

    // Whether the pager of the failed attempt is still in the cradle, asked until the cradle
    // answers; nothing once the batch stops. The assignment held for it names the pager by
    // what was written to it.
    std::optional<CradleSite::Holding> WhatTheCradleHolds(const std::optional<Held>& held,
                                                          bool cradleLost) {
        for (;;) {
            if ((cradleLost && !WaitForCradle()) || batch_.stopTaking_.load()) {
                return std::nullopt;
            }
            CradleSite::Holding holding = CradleSite::Holding::Same;
            if (held) {
                holding = cradle_->StillHolds(held->image, held->blocksWritten);
            } else {
                const CradleSite::Seat seat = cradle_->Identify();
                holding = seat == CradleSite::Seat::NoAnswer ? CradleSite::Holding::NoAnswer
                          : ModeOf(seat)                     ? CradleSite::Holding::Same
                                                             : CradleSite::Holding::Empty;
            }
            if (holding != CradleSite::Holding::NoAnswer) {
                return holding;
            }
            cradleLost = true;
            if (!Pause()) {
                return std::nullopt;
            }
        }
    }

    // The assignment a pager that is gone may hold part of is never handed out again in this
    // batch unless the user says so.
    void ReleaseHeld(std::optional<Held>& held) {
        if (!held) {
            return;
        }
        batch_.queue_.Interrupted(held->assignment);
        batch_.listener_.Notice(cradle_->id(),
                                "pager " + std::to_string(held->assignment + 1) +
                                    " went away partly written; its numbers are held back");
        held.reset();
    }

    std::optional<std::size_t> TakeAssignment() {
        while (!batch_.stopTaking_.load()) {
            if (std::optional<std::size_t> assignment =
                    batch_.queue_.Take(batch_.options_.pollInterval)) {
                return assignment;
            }
            if (batch_.queue_.Finished()) {
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    // One attempt at one pager; the caller ends the assignment in the queue.
    // `holding`: an earlier attempt may have left this assignment's numbers in the pager, so
    // this attempt's failure keeps them held whatever it wrote itself.
    AttemptResult Attempt(std::uint8_t generation, std::size_t assignment, bool holding) {
        const Assignment& numbers = batch_.assignments_[assignment];
        PagerSettings settings;
        const PagerImage image =
            PagerImageFor(batch_.template_, numbers, generation, CurrentLocalTime(), &settings);
        PagerRecord record{cradle_->id(),
                           assignment,
                           AttemptOutcome::Failed,
                           {},
                           generation,
                           UnalignedSerialNumber(settings.serialNumber),
                           EnabledCapcodes(settings)};
        view_.serialNumber = record.serialNumber;
        view_.capcode =
            record.capcodes.empty() ? std::nullopt : std::optional(record.capcodes.front());
        std::optional<std::int64_t> started;
        try {
            if (std::optional<std::string> reused = ReusedCapcode(numbers)) {
                Refuse(record, *reused);
                return {PagerEnd::Refused};
            }
            if (batch_.template_.mode && *batch_.template_.mode != generation) {
                Refuse(record, std::string("the template is for ") +
                                   GenerationName(*batch_.template_.mode) + " pagers; this is a " +
                                   GenerationName(generation) + " pager");
                return {PagerEnd::WrongGeneration};
            }
            const Backup backup = BackUp();
            if (!backup.problem.empty()) {
                Refuse(record, backup.problem);
                if (!backup.pagerFault) {
                    // Every pager would fail the same way: not the pager's fault.
                    batch_.Failed(backup.problem + "; choose another --backup-dir", false);
                }
                return {PagerEnd::FailedClean};
            }
            const std::int64_t attempt = batch_.journal_.BeginAttempt(
                {batch_.batchId_, assignment, cradle_->id(), generation, settings.serialNumber,
                 record.capcodes, Sha256Hex(std::span<const std::uint8_t>(image))});
            started = attempt;
            const TransferOutcome outcome = WriteAndVerify(image, generation);
            const bool cradleLost = outcome.result == TransferResult::LinkFailed;
            if (cradleLost) {
                cradle_->Close();
            }
            return {Record(attempt, outcome, record, holding), cradleLost, image,
                    outcome.blocksWritten};
        } catch (const JournalError& error) {
            batch_.Failed(std::string("the journal failed: ") + error.what(), true);
            return {PagerEnd::Stopped};
        } catch (const std::exception& error) {
            // Whatever the write reached is unknown: the pager is journaled as interrupted, so
            // its numbers are held back as after a crash.
            record.reason = std::string("stopped by an error: ") + error.what();
            record.outcome = AttemptOutcome::Interrupted;
            batch_.Failed(cradle_->id() + ": " + record.reason, false);
            if (started) {
                try {
                    batch_.journal_.MarkInterrupted(*started, record.reason);
                    batch_.listener_.PagerEnded(record);
                } catch (const std::exception&) {
                    // The next run finds the attempt started and counts it as interrupted.
                }
            }
            return {PagerEnd::Stopped};
        }
    }

    std::optional<std::string> ReusedCapcode(const Assignment& numbers) {
        if (batch_.options_.allowReusedCapcodes) {
            return std::nullopt;
        }
        for (const std::uint32_t capcode : AssignedCapcodes(numbers)) {
            if (batch_.journal_.IsCapcodeProgrammed(capcode)) {
                return "capcode " + std::to_string(capcode) +
                       " was programmed into a pager "
                       "before";
            }
        }
        return std::nullopt;
    }

    // A pager turned away before anything was written is journaled as a failed attempt.
    void Refuse(PagerRecord& record, const std::string& reason) {
        const std::int64_t attempt = batch_.journal_.BeginAttempt({batch_.batchId_,
                                                                   record.assignment,
                                                                   record.cradle,
                                                                   record.mode,
                                                                   std::string(record.serialNumber),
                                                                   record.capcodes,
                                                                   {}});
        batch_.journal_.CompleteAttempt(attempt, AttemptOutcome::Failed, "refused: " + reason);
        record.reason = "refused: " + reason;
        batch_.listener_.PagerEnded(record);
    }

    // What went wrong with a backup, if anything: the pager would not read, or the file could
    // not be saved, which is no fault of the pager.
    struct Backup {
        std::string problem;
        bool pagerFault = false;
    };

    // Saves what the pager holds when the batch keeps backups.
    Backup BackUp() {
        if (!batch_.options_.backupFolder) {
            return {};
        }
        ProgrammerContext& context = cradle_->context();
        Begin(SiteActivity::BackingUp, 2 * kReadPassBlocks);
        const TransferOutcome read = ReadPager(context, host_);
        if (!read.ok() && read.result != TransferResult::NoPager) {
            return {"no backup could be read: " + read.details, true};
        }
        const bool named = read.ok();
        const SavedBackup saved =
            SaveBackup(*batch_.options_.backupFolder,
                       named ? context.settings.serialNumber : std::string(), context.image);
        if (!saved.path) {
            return {"the backup could not be saved: " + saved.error, false};
        }
        return {};
    }

    TransferOutcome WriteAndVerify(const PagerImage& image, std::uint8_t generation) {
        ProgrammerContext& context = cradle_->context();
        WriteJob job;
        job.image = image;
        job.mode = generation;
        job.writeSerialNumber = true;
        Begin(SiteActivity::Writing, WriteBlockCount(true));
        TransferOutcome outcome = WritePager(context, host_, job);
        if (outcome.ok() && batch_.options_.verify) {
            const std::uint32_t written = outcome.blocksWritten;
            Begin(SiteActivity::Verifying, kReadPassBlocks);
            outcome = VerifyWritten(context, host_, job);
            outcome.blocksWritten = written;
        }
        return outcome;
    }

    // Ends the attempt in the journal. A write that broke off after the pager may have taken
    // some of the numbers is journaled as interrupted, as a crash there would be: the numbers
    // are not free for another pager until this one holds them or the user has checked.
    PagerEnd Record(std::int64_t attempt, const TransferOutcome& outcome, PagerRecord& record,
                    bool holding) {
        Journal& journal = batch_.journal_;
        PagerEnd end = PagerEnd::Programmed;
        if (outcome.ok()) {
            journal.CompleteAttempt(attempt, AttemptOutcome::Programmed, "");
            record.outcome = AttemptOutcome::Programmed;
        } else if (outcome.result == TransferResult::Stopped || holding ||
                   MayHoldNumbers(outcome)) {
            const std::string written = std::to_string(outcome.blocksWritten) + " of " +
                                        std::to_string(WriteBlockCount(true)) + " blocks written";
            record.reason = outcome.result == TransferResult::Stopped
                                ? "stopped at once; " + written
                                : outcome.details + " (" + written + ")";
            journal.MarkInterrupted(attempt, record.reason);
            record.outcome = AttemptOutcome::Interrupted;
            end = outcome.result == TransferResult::Stopped ? PagerEnd::Stopped
                                                            : PagerEnd::FailedHoldingNumbers;
        } else {
            record.reason = outcome.details;
            journal.CompleteAttempt(attempt, AttemptOutcome::Failed, record.reason);
            record.outcome = AttemptOutcome::Failed;
            end = PagerEnd::FailedClean;
        }
        batch_.listener_.PagerEnded(record);
        return end;
    }

    // The numbers sit in the capcode entries and the serial-number block; blocks before them
    // hold none. A write that sent no block holding them left the pager without any.
    static bool MayHoldNumbers(const TransferOutcome& outcome) {
        return outcome.blocksWritten >= image_map::kCapcodeEntries / kBlockSize;
    }

    void Begin(SiteActivity activity, std::uint32_t blocks) {
        view_.activity = activity;
        view_.blocks = blocks;
        view_.blocksDone = 0;
        Publish();
    }

    void Show(SiteActivity activity) {
        if (view_.activity == activity && view_.blocks == 0) {
            return;
        }
        view_.activity = activity;
        view_.blocks = 0;
        view_.blocksDone = 0;
        if (activity == SiteActivity::WaitingForPager || activity == SiteActivity::Finished) {
            view_.serialNumber.clear();
            view_.capcode.reset();
        }
        Publish();
    }

    void Publish() { batch_.listener_.SiteChanged(view_); }

    Batch& batch_;
    std::unique_ptr<CradleSite> cradle_;
    CommandHost host_;
    SiteView view_;
    // What the last pager this site programmed holds, to tell it from the next one.
    std::optional<PagerImage> lastProgrammed_;
    std::thread thread_;
};

Batch::Batch(BatchTemplate batchTemplate, std::vector<Assignment> assignments, Journal& journal,
             std::int64_t batchId, AssignmentQueue& queue, BatchOptions options,
             BatchListener& listener)
    : template_(std::move(batchTemplate)), assignments_(std::move(assignments)), journal_(journal),
      batchId_(batchId), queue_(queue), options_(std::move(options)), listener_(listener) {}

Batch::~Batch() {
    StopNow();
    for (const auto& site : sites_) {
        site->Join();
    }
}

void Batch::AddSite(std::unique_ptr<CradleSite> cradle) {
    sites_.push_back(std::make_unique<Site>(*this, std::move(cradle)));
}

void Batch::Run() {
    for (const auto& site : sites_) {
        site->Start();
    }
    for (const auto& site : sites_) {
        site->Join();
    }
}

void Batch::StopTaking() {
    stopTaking_.store(true);
    queue_.Stop();
}

void Batch::StopNow() {
    StopTaking();
    stopNow_.store(true);
    for (const auto& site : sites_) {
        site->StopNow();
    }
}

std::optional<std::string> Batch::failure() const {
    std::lock_guard lock(failureMutex_);
    return failure_;
}

void Batch::Failed(const std::string& reason, bool atOnce) {
    {
        std::lock_guard lock(failureMutex_);
        if (!failure_) {
            failure_ = reason;
        }
    }
    if (atOnce) {
        StopNow();
    } else {
        StopTaking();
    }
}
