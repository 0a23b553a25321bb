#include "production/SiteContext.h"

#include <thread>

const char* ActivityText(SiteActivity activity) {
    switch (activity) {
    case SiteActivity::WaitingForCradle:
        return "waiting for the cradle";
    case SiteActivity::WaitingForPager:
        return "waiting for a pager";
    case SiteActivity::BackingUp:
        return "backing up";
    case SiteActivity::Checking:
        return "checking the pager";
    case SiteActivity::Writing:
        return "writing";
    case SiteActivity::Verifying:
        return "verifying";
    case SiteActivity::WaitingForRemoval:
        return "take the pager out";
    case SiteActivity::WaitingForLedger:
        return "waiting for the ledger";
    case SiteActivity::Finished:
        break;
    }
    return "finished";
}

bool SiteContext::Pause() {
    const auto until = std::chrono::steady_clock::now() + pollInterval_;
    while (std::chrono::steady_clock::now() < until) {
        if (stopTaking_.load()) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void SiteContext::Show(SiteActivity activity) {
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

void SiteContext::Begin(SiteActivity activity, std::uint32_t blocks) {
    view_.activity = activity;
    view_.blocks = blocks;
    view_.blocksDone = 0;
    Publish();
}

void SiteContext::Block() {
    ++view_.blocksDone;
    Publish();
}

void SiteContext::ShowPager(const std::string& serialNumber, std::optional<std::uint32_t> capcode) {
    view_.serialNumber = serialNumber;
    view_.capcode = capcode;
    Publish();
}
