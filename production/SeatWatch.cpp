#include "production/SeatWatch.h"

bool SeatWatch::WaitForCradle() {
    bool announced = false;
    while (site_.cradle().Open() != CradleSite::Access::Open) {
        if (!announced) {
            site_.Show(SiteActivity::WaitingForCradle);
            site_.Notice("the cradle is gone; waiting for it");
            announced = true;
        }
        if (!site_.Pause()) {
            return false;
        }
    }
    if (announced) {
        site_.Notice("the cradle is back");
    }
    return true;
}

std::optional<Generation> SeatWatch::WaitForSeatedPager() {
    site_.Show(SiteActivity::WaitingForPager);
    std::optional<Generation> previous;
    while (!Over()) {
        if (!WaitForCradle()) {
            return std::nullopt;
        }
        site_.Show(SiteActivity::WaitingForPager);
        const std::optional<Generation> seen = GenerationOf(site_.cradle().Identify());
        if (seen && seen == previous) {
            return seen;
        }
        previous = seen;
        if (!site_.Pause()) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

void SeatWatch::WaitForRemoval() {
    site_.Show(SiteActivity::WaitingForRemoval);
    while (!Over()) {
        if (!WaitForCradle()) {
            return;
        }
        site_.Show(SiteActivity::WaitingForRemoval);
        if (site_.cradle().Identify() == CradleSite::Seat::Empty) {
            return;
        }
        if (!site_.Pause()) {
            return;
        }
    }
}

std::optional<CradleSite::Seat> SeatWatch::SeatNow() {
    for (;;) {
        if (site_.StopTaking() || !WaitForCradle()) {
            return std::nullopt;
        }
        const CradleSite::Seat seat = site_.cradle().Identify();
        if (seat != CradleSite::Seat::NoAnswer) {
            return seat;
        }
        if (!site_.Pause()) {
            return std::nullopt;
        }
    }
}
