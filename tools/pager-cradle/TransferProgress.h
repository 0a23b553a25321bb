#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

// The progress bar of a transfer on standard error: the step, a bar, the blocks done and the
// time left, redrawn in place. It draws only on a terminal, and not at all when quiet.
class TransferProgress {
public:
    explicit TransferProgress(bool enabled);

    // A new step of the command, e.g. "Backing up", of `blocks` blocks.
    void Begin(const std::string& step, std::uint32_t blocks);
    // One block done; called from the transfer's thread.
    void Block();
    // Ends the line of the current step, if one was drawn.
    void End();
    // Clears the line for a message, which the next Block redraws under.
    void Interrupt();

private:
    void Draw(bool force);

    const bool enabled_;
    std::mutex mutex_;
    std::string step_;
    std::uint32_t blocks_ = 0;
    std::uint32_t done_ = 0;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point drawnAt_;
};
