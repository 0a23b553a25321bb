#pragma once

#include "production/Assignment.h"
#include "production/AssignmentQueue.h"
#include "production/BatchTemplate.h"
#include "production/CradleSite.h"
#include "production/Journal.h"

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
    // Hands-free: each site waits for pagers to be seated and taken out, until the batch ends.
    // Otherwise one round programs the pagers seated now.
    bool automatic = false;
    bool verify = true;
    std::optional<std::filesystem::path> backupFolder;
    bool allowReusedCapcodes = false;
    // Writes tried on one seated pager before the site asks for it to be taken out.
    int attemptsPerPager = 3;
    // Between identity polls, and between the two polls that must agree on a seated pager.
    std::chrono::milliseconds pollInterval{200};
};

enum class SiteActivity {
    WaitingForCradle,
    WaitingForPager,
    BackingUp,
    Writing,
    Verifying,
    WaitingForRemoval,
    Finished,
};
const char* ActivityText(SiteActivity activity);

// What one site is doing, for a live display.
struct SiteView {
    std::string cradle;
    SiteActivity activity = SiteActivity::WaitingForPager;
    std::uint32_t blocksDone = 0;
    std::uint32_t blocks = 0;
    std::string serialNumber;             // of the pager in hand, without the aligning blanks
    std::optional<std::uint32_t> capcode; // its first enabled capcode
};

// How one pager attempt ended (refusals included).
struct PagerRecord {
    std::string cradle;
    std::size_t assignment = 0;
    AttemptOutcome outcome = AttemptOutcome::Failed;
    std::string reason;
    std::uint8_t mode = 0;
    std::string serialNumber;
    std::vector<std::uint32_t> capcodes;
};

// Hears the sites; called from their threads, so an implementation must be thread-safe.
class BatchListener {
public:
    virtual ~BatchListener() = default;
    virtual void SiteChanged(const SiteView& view) = 0;
    virtual void PagerEnded(const PagerRecord& record) = 0;
    // Something the user should know about one site, e.g. that its cradle went away.
    virtual void Notice(const std::string& cradle, const std::string& text) = 0;
};

// A production batch: every site (one cradle each, with a context of its own) programs pagers
// on a thread of its own, from one queue of assignments, recording each attempt in the journal
// before its first block and again when it ends. An assignment is used up only by a verified
// success; a failed pager's assignment goes to the next pager.
class Batch {
public:
    Batch(BatchTemplate batchTemplate, std::vector<Assignment> assignments, Journal& journal,
          std::int64_t batchId, AssignmentQueue& queue, BatchOptions options,
          BatchListener& listener);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    void AddSite(std::unique_ptr<CradleSite> cradle);

    // Runs every site until each has ended: hands-free, until the queue is finished or the
    // batch stops; otherwise for one round.
    void Run();

    // Takes no new pagers; those in progress are finished.
    void StopTaking();
    // Also stops the pagers in progress before their next block; they are recorded as
    // interrupted.
    void StopNow();
    bool stopping() const { return stopTaking_.load(); }

    // Why the batch stopped by itself, e.g. the journal failed (it cannot go on unrecorded),
    // a backup could not be saved, or an error on a site's thread.
    std::optional<std::string> failure() const;

private:
    class Site;
    friend class Site;

    // Stops the batch for this reason: at once (the pagers in progress are interrupted), or
    // taking no new pagers.
    void Failed(const std::string& reason, bool atOnce);

    const BatchTemplate template_;
    const std::vector<Assignment> assignments_;
    Journal& journal_;
    const std::int64_t batchId_;
    AssignmentQueue& queue_;
    const BatchOptions options_;
    BatchListener& listener_;
    std::vector<std::unique_ptr<Site>> sites_;
    std::atomic<bool> stopTaking_{false};
    std::atomic<bool> stopNow_{false};
    mutable std::mutex failureMutex_;
    std::optional<std::string> failure_;
};
