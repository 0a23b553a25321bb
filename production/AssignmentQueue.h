#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <set>

// How far a batch has come.
struct QueueCounts {
    std::size_t total = 0;
    std::size_t done = 0;       // used up by a verified success (earlier runs included)
    std::size_t failed = 0;     // pagers that failed in this run
    std::size_t inProgress = 0; // handed to a pager now
    std::size_t waiting = 0;    // free for the next pager
    std::size_t heldBack = 0;   // interrupted, or in progress when the batch was interrupted
    std::size_t refused = 0;    // set aside, never to be handed out in this run

    std::size_t Left() const { return inProgress + waiting; }
};

// The assignments the sites of a batch share. Each is handed to one pager at a time, lowest
// index first: an assignment a failed pager hands back is therefore the next one handed out.
// Safe to use from several threads at once.
class AssignmentQueue {
public:
    // `usedUp` and `heldBack` (from the journal) are never handed out.
    AssignmentQueue(std::size_t count, const std::set<std::size_t>& usedUp,
                    const std::set<std::size_t>& heldBack);

    // The next assignment for a pager. While every free one is in progress on another site
    // (and may come back), waits up to `wait` for one. Nothing when none came, or when the
    // queue is finished or stopped.
    std::optional<std::size_t> Take(std::chrono::milliseconds wait = {});

    // Ends a taken assignment: used up by a verified success; back to be handed out first
    // after a failed pager; held back when its pager was interrupted mid-write; set aside for
    // good when it cannot be used (its capcode is programmed already).
    void Programmed(std::size_t assignment);
    void Failed(std::size_t assignment);
    void Interrupted(std::size_t assignment);
    void Refused(std::size_t assignment);

    // No more assignments are handed out; those in progress can still be ended.
    void Stop();

    // Nothing is in progress and nothing more will be handed out.
    bool Finished() const;
    // Every assignment is used up.
    bool AllProgrammed() const;
    QueueCounts Counts() const;

private:
    void End(std::size_t assignment);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::set<std::size_t> free_;
    std::set<std::size_t> inProgress_;
    QueueCounts counts_;
    bool stopped_ = false;
};
