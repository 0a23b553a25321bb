#pragma once

#include "image/PagerImage.h"
#include "link/sim/FactoryPagers.h"
#include "link/sim/LinkClock.h"

#include <chrono>
#include <cstdint>
#include <vector>

// Pagers passing one by one through a cradle, as on a production bench: a fresh pager sits in
// the cradle, the host programs it, someone takes it out once the host is done with it, and
// after a pause seats the next one.
struct PagerStreamPlan {
    std::uint32_t pagers = 1; // how many pass; after the last the cradle stays empty
    FactoryPager kind = FactoryPager::V2;
    // How long the host must leave a programmed pager alone (identity polls of block 0 aside)
    // before it is taken out.
    std::chrono::microseconds settle{std::chrono::milliseconds(100)};
    // How long the cradle stays empty between two pagers.
    std::chrono::microseconds empty{std::chrono::milliseconds(500)};
};

enum class PagerEventKind { Seated, Written, Removed };

// Something that happened to a pager of the stream, with its memory afterwards.
struct PagerEvent {
    PagerEventKind kind = PagerEventKind::Seated;
    std::uint32_t pager = 0; // numbered from 1
    PagerImage memory{};
};

// When pagers come and go; the simulator swaps the memory. Times are the stream's own, which
// stand still while the cradle is unplugged.
class PagerStream {
public:
    using Duration = LinkClock::Duration;

    struct Change {
        PagerEventKind kind; // Seated or Removed
        std::uint32_t pager;
    };

    // The first pager is seated at `now`.
    PagerStream(const PagerStreamPlan& plan, Duration now);

    // Takes out and seats pagers up to `now`; returns what changed since the last call, oldest
    // first.
    std::vector<Change> AdvanceTo(Duration now);
    // A request from the host at `now`, after AdvanceTo(now). `stored`: a write reached the pager.
    void NoteRequest(Duration now, std::uint8_t command, std::uint32_t address, bool stored);

    // The pager in the cradle, 0 while it is empty.
    std::uint32_t seated() const { return seated_; }
    const PagerStreamPlan& plan() const { return plan_; }

    // The last block a write covers: once it is written, the pager counts as programmed.
    static constexpr std::uint32_t kLastWrittenBlock = 5088;

private:
    PagerStreamPlan plan_;
    std::uint32_t seated_ = 0;
    std::uint32_t lastSeated_ = 0;
    bool programmed_ = false;
    Duration lastAttention_{}; // the programmed pager's last request other than a block-0 read
    Duration emptySince_{};
};
