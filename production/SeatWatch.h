#pragma once

#include "production/SiteContext.h"

#include <functional>
#include <optional>

// Watches one site's cradle for pagers being seated and taken out, and for the cradle itself
// going and coming back. Every wait ends once the batch stops taking pagers or `over` says so.
class SeatWatch {
public:
    SeatWatch(SiteContext& site, std::function<bool()> over)
        : site_(site), over_(std::move(over)) {}

    // Opens the cradle, or waits, without limit, for it to be there again.
    bool WaitForCradle();
    // A pager counts as seated when two polls a poll interval apart find the same identity.
    std::optional<Generation> WaitForSeatedPager();
    // Until the cradle is empty.
    void WaitForRemoval();
    // What sits in the cradle now, asking again (and waiting for the cradle) while it does not
    // answer; nothing once the batch stops.
    std::optional<CradleSite::Seat> SeatNow();

private:
    bool Over() const { return site_.StopTaking() || over_(); }

    SiteContext& site_;
    std::function<bool()> over_;
};
