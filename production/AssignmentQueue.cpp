#include "production/AssignmentQueue.h"

#include <stdexcept>
#include <string>

AssignmentQueue::AssignmentQueue(std::size_t count, const std::set<std::size_t>& usedUp,
                                 const std::set<std::size_t>& heldBack) {
    counts_.total = count;
    for (std::size_t assignment = 0; assignment < count; ++assignment) {
        if (usedUp.contains(assignment)) {
            ++counts_.done;
        } else if (heldBack.contains(assignment)) {
            ++counts_.heldBack;
        } else {
            free_.insert(free_.end(), assignment);
        }
    }
}

std::optional<std::size_t> AssignmentQueue::Take(std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, wait,
                      [this] { return stopped_ || !free_.empty() || inProgress_.empty(); });
    if (stopped_ || free_.empty()) {
        return std::nullopt;
    }
    const std::size_t assignment = *free_.begin();
    free_.erase(free_.begin());
    inProgress_.insert(assignment);
    return assignment;
}

void AssignmentQueue::End(std::size_t assignment) {
    if (inProgress_.erase(assignment) != 1) {
        throw std::logic_error("assignment " + std::to_string(assignment) + " is not in progress");
    }
}

void AssignmentQueue::Programmed(std::size_t assignment) {
    {
        std::lock_guard lock(mutex_);
        End(assignment);
        ++counts_.done;
    }
    changed_.notify_all();
}

void AssignmentQueue::Failed(std::size_t assignment) {
    {
        std::lock_guard lock(mutex_);
        End(assignment);
        ++counts_.failed;
        free_.insert(assignment);
    }
    changed_.notify_all();
}

void AssignmentQueue::Interrupted(std::size_t assignment) {
    {
        std::lock_guard lock(mutex_);
        End(assignment);
        ++counts_.heldBack;
    }
    changed_.notify_all();
}

void AssignmentQueue::Refused(std::size_t assignment) {
    {
        std::lock_guard lock(mutex_);
        End(assignment);
        ++counts_.refused;
    }
    changed_.notify_all();
}

void AssignmentQueue::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    changed_.notify_all();
}

bool AssignmentQueue::Finished() const {
    std::lock_guard lock(mutex_);
    return inProgress_.empty() && (stopped_ || free_.empty());
}

bool AssignmentQueue::AllProgrammed() const {
    std::lock_guard lock(mutex_);
    return counts_.done == counts_.total;
}

QueueCounts AssignmentQueue::Counts() const {
    std::lock_guard lock(mutex_);
    QueueCounts counts = counts_;
    counts.inProgress = inProgress_.size();
    counts.waiting = free_.size();
    return counts;
}
