#include "link/sim/PagerStream.h"

namespace {

constexpr std::uint8_t kCommandRead = 'R';
constexpr std::uint8_t kCommandWrite = 'W';

} // namespace

PagerStream::PagerStream(const PagerStreamPlan& plan, Duration now)
    : plan_(plan), emptySince_(now) {
    if (plan_.pagers > 0) {
        seated_ = lastSeated_ = 1;
    }
}

std::vector<PagerStream::Change> PagerStream::AdvanceTo(Duration now) {
    std::vector<Change> changes;
    for (;;) {
        if (seated_ != 0) {
            const Duration takenOut = lastAttention_ + plan_.settle;
            if (!programmed_ || now < takenOut)
                break;
            changes.push_back({PagerEventKind::Removed, seated_});
            seated_ = 0;
            emptySince_ = takenOut;
        } else {
            if (lastSeated_ >= plan_.pagers || now < emptySince_ + plan_.empty)
                break;
            seated_ = ++lastSeated_;
            programmed_ = false;
            changes.push_back({PagerEventKind::Seated, seated_});
        }
    }
    return changes;
}

void PagerStream::NoteRequest(Duration now, std::uint8_t command, std::uint32_t address,
                              bool stored) {
    if (seated_ == 0)
        return;
    if (command == kCommandWrite && address == kLastWrittenBlock && stored)
        programmed_ = true;
    // The host polls block 0 to see whether a pager is there; that is no work on this one.
    if (programmed_ && !(command == kCommandRead && address == 0))
        lastAttention_ = now;
}
