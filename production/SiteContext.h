#pragma once

#include "production/CradleSite.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class SiteActivity {
    WaitingForCradle,
    WaitingForPager,
    BackingUp,
    Checking, // reading what the seated pager holds
    Writing,
    Verifying,
    WaitingForRemoval,
    WaitingForLedger, // the ledger's server does not answer
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

// How one pager attempt ended, for the display and the event lines.
struct PagerRecord {
    std::string cradle;
    std::string order;
    std::size_t assignment = 0; // position in its order, from 0
    // "programmed", "failed", "held", "resolved", "refused".
    std::string outcome;
    std::string reason;
    Generation mode = Generation::V2;
    std::string serialNumber; // ISO-8859-1 bytes, without the aligning blanks
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

// One site's cradle and what it tells: the view it publishes, the notices, the batch's stop.
class SiteContext {
public:
    SiteContext(CradleSite& cradle, BatchListener& listener, const std::atomic<bool>& stopTaking,
                std::chrono::milliseconds pollInterval)
        : cradle_(cradle), listener_(listener), stopTaking_(stopTaking),
          pollInterval_(pollInterval) {
        view_.cradle = cradle.id();
    }

    CradleSite& cradle() { return cradle_; }
    BatchListener& listener() { return listener_; }
    bool StopTaking() const { return stopTaking_.load(); }

    // Sleeps one poll interval; false once the batch stops taking pagers.
    bool Pause();

    void Notice(const std::string& text) { listener_.Notice(cradle_.id(), text); }
    // Shows an activity without blocks; the pager in hand is forgotten while waiting.
    void Show(SiteActivity activity);
    // Starts an activity that moves this many blocks.
    void Begin(SiteActivity activity, std::uint32_t blocks);
    void Block();
    void ShowPager(const std::string& serialNumber, std::optional<std::uint32_t> capcode);

private:
    void Publish() { listener_.SiteChanged(view_); }

    CradleSite& cradle_;
    BatchListener& listener_;
    const std::atomic<bool>& stopTaking_;
    const std::chrono::milliseconds pollInterval_;
    SiteView view_;
};
