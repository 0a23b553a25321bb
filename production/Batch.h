#pragma once

#include "production/BatchTemplate.h"
#include "production/CradleSite.h"
#include "production/PagerAttempt.h"
#include "production/SiteContext.h"
#include "production/ledger/Ledger.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct BatchOptions {
    // Hands-free: each site waits for pagers to be seated and taken out, until no assignment
    // of the order is free. Otherwise one round programs the pagers seated now.
    bool automatic = false;
    bool verify = true;
    std::optional<std::filesystem::path> backupFolder;
    // Attempts at one seated pager before the site asks for it to be taken out.
    int attemptsPerPager = 3;
    // Between identity polls, and between the two polls that must agree on a seated pager.
    std::chrono::milliseconds pollInterval{200};
    // The programming station (this PC), recorded with every attempt.
    std::string station;
};

// A production batch: every site (one cradle each) programs pagers on a thread of its own
// from one order of the ledger, which owns every assignment's state. A site keeps none: each
// pager it meets is recognised, claimed, written and ended through the ledger.
class Batch {
public:
    Batch(Ledger& ledger, OrderInfo order, BatchTemplate batchTemplate, BatchOptions options,
          BatchListener& listener);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    void AddSite(std::unique_ptr<CradleSite> cradle);

    // Runs every site until each has ended: hands-free, until no assignment is free or the
    // batch stops; otherwise for one round.
    void Run();

    // Takes no new pagers; those in progress are finished.
    void StopTaking();
    // Also stops the pagers in progress before their next block; the ledger keeps what they
    // may hold.
    void StopNow();
    bool stopping() const { return stopTaking_.load(); }

    // Why the batch stopped by itself (the ledger failed or changed, a backup could not be
    // saved, an error on a site), if it did.
    std::optional<std::string> failure() const;

    const OrderInfo& order() const { return order_; }

private:
    class Site;
    friend class Site;

    // A site met something it cannot go on with: the batch stops taking pagers.
    void Failed(const std::string& what);

    Ledger& ledger_;
    const OrderInfo order_;
    const BatchTemplate template_;
    const BatchOptions options_;
    const AttemptOptions attemptOptions_;
    BatchListener& listener_;
    std::vector<std::unique_ptr<Site>> sites_;
    std::atomic<bool> stopTaking_{false};
    mutable std::mutex failureMutex_;
    std::optional<std::string> failure_;
};
