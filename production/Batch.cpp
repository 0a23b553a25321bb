#include "production/Batch.h"

#include "production/SeatWatch.h"

#include <thread>

// One cradle of the batch and the thread that programs the pagers seated in it.
class Batch::Site {
public:
    Site(Batch& batch, std::unique_ptr<CradleSite> cradle)
        : batch_(batch), cradle_(std::move(cradle)),
          context_(*cradle_, batch.listener_, batch.stopTaking_, batch.options_.pollInterval),
          seats_(context_, [this] { return OrderDone(); }),
          attempt_(context_, batch.ledger_, batch.order_, batch.template_,
                   batch.attemptOptions_) {}

    void Start() {
        thread_ = std::thread([this] {
            // Nothing a cradle, a disk or the ledger does may end the process: whatever
            // escapes stops the batch with its reason; the ledger keeps what the pager in
            // hand may hold.
            try {
                if (batch_.options_.automatic) {
                    RunHandsFree();
                } else {
                    RunRound();
                }
            } catch (const std::exception& error) {
                batch_.Failed(cradle_->id() + ": " + error.what());
            } catch (...) {
                batch_.Failed(cradle_->id() + ": an unknown error");
            }
            try {
                context_.Show(SiteActivity::Finished);
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
    void StopNow() { cradle_->stopRequested().store(true); }

private:
    // No assignment of the order is free: this site has nothing more to hand out.
    bool OrderDone() {
        try {
            return batch_.ledger_.Counts(batch_.order_.id).free == 0;
        } catch (const LedgerUnavailable&) {
            return false; // the next claim waits for the server
        }
    }

    void RunHandsFree() {
        while (!context_.StopTaking() && !OrderDone()) {
            const std::optional<Generation> generation = seats_.WaitForSeatedPager();
            if (!generation) {
                return;
            }
            if (!ProgramSeatedPager(*generation)) {
                return;
            }
            seats_.WaitForRemoval();
        }
    }

    void RunRound() {
        if (cradle_->Open() != CradleSite::Access::Open) {
            context_.Notice("the cradle cannot be opened: skipped");
            return;
        }
        if (const std::optional<Generation> generation = GenerationOf(cradle_->Identify())) {
            ProgramSeatedPager(*generation);
        } else {
            context_.Notice("no pager in the cradle: skipped");
        }
    }

    // Tries the seated pager up to the attempts allowed. The ledger recognises a pager that
    // may hold part of an assignment's numbers and has it written again with the same
    // numbers. False when the site has nothing more to do.
    bool ProgramSeatedPager(Generation generation) {
        bool backedUp = false;
        for (int attempt = 0; attempt < batch_.options_.attemptsPerPager;) {
            if (context_.StopTaking()) {
                return false;
            }
            switch (attempt_.Run(generation, backedUp)) {
            case AttemptResult::Programmed:
            case AttemptResult::WrongGeneration:
            case AttemptResult::Freed:
            case AttemptResult::AlreadyNumbered:
                return true;
            case AttemptResult::NoneFree:
            case AttemptResult::Stopped:
                return false;
            case AttemptResult::Refused:
                continue; // nothing was written; the next assignment may do
            case AttemptResult::Failed:
            case AttemptResult::CradleLost:
                break;
            }
            ++attempt;
            const std::optional<CradleSite::Seat> seat = seats_.SeatNow();
            if (!seat) {
                return false;
            }
            const std::optional<Generation> seen = GenerationOf(*seat);
            if (!seen) {
                context_.Notice("the pager was taken out before it was programmed; the ledger "
                                "keeps any numbers it may hold until it is seated again");
                return true;
            }
            generation = *seen;
        }
        context_.Notice("the pager failed " + std::to_string(batch_.options_.attemptsPerPager) +
                        " times: take it out");
        return true;
    }

    Batch& batch_;
    std::unique_ptr<CradleSite> cradle_;
    SiteContext context_;
    SeatWatch seats_;
    PagerAttempt attempt_;
    std::thread thread_;
};

Batch::Batch(Ledger& ledger, OrderInfo order, BatchTemplate batchTemplate, BatchOptions options,
             BatchListener& listener)
    : ledger_(ledger), order_(std::move(order)), template_(std::move(batchTemplate)),
      options_(std::move(options)),
      attemptOptions_{options_.verify, options_.backupFolder, options_.station},
      listener_(listener) {}

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
}

void Batch::StopNow() {
    StopTaking();
    for (const auto& site : sites_) {
        site->StopNow();
    }
}

std::optional<std::string> Batch::failure() const {
    std::lock_guard lock(failureMutex_);
    return failure_;
}

void Batch::Failed(const std::string& what) {
    {
        std::lock_guard lock(failureMutex_);
        if (!failure_) {
            failure_ = what;
        }
    }
    StopTaking();
}
