#include "TransferProgress.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>

namespace {

constexpr int kBarWidth = 30;
constexpr std::chrono::milliseconds kRedrawInterval{100};

} // namespace

TransferProgress::TransferProgress(bool enabled) : enabled_(enabled && isatty(STDERR_FILENO)) {}

void TransferProgress::Begin(const std::string& step, std::uint32_t blocks) {
    std::lock_guard lock(mutex_);
    step_ = step;
    blocks_ = blocks;
    done_ = 0;
    started_ = std::chrono::steady_clock::now();
    Draw(true);
}

void TransferProgress::Block() {
    std::lock_guard lock(mutex_);
    if (done_ < blocks_) {
        ++done_;
    }
    Draw(done_ == blocks_);
}

void TransferProgress::End() {
    std::lock_guard lock(mutex_);
    if (drawn_) {
        std::fputc('\n', stderr);
        drawn_ = false;
    }
}

void TransferProgress::Interrupt() {
    std::lock_guard lock(mutex_);
    if (drawn_) {
        std::fputs("\r\033[K", stderr);
        drawn_ = false;
    }
}

void TransferProgress::Draw(bool force) {
    if (!enabled_ || blocks_ == 0) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!force && drawn_ && now - drawnAt_ < kRedrawInterval) {
        return;
    }
    drawnAt_ = now;
    const int filled = static_cast<int>(kBarWidth * static_cast<std::uint64_t>(done_) / blocks_);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kBarWidth - filled), '-');
    std::string left = "";
    if (done_ > 0 && done_ < blocks_) {
        const double elapsed = std::chrono::duration<double>(now - started_).count();
        const long seconds = std::lround(elapsed * (blocks_ - done_) / done_);
        char text[32];
        std::snprintf(text, sizeof text, "  %ld:%02ld left", seconds / 60, seconds % 60);
        left = text;
    }
    std::fprintf(stderr, "\r\033[K%-12s [%s] %3u/%u blocks%s", step_.c_str(), bar.c_str(), done_,
                 blocks_, left.c_str());
    std::fflush(stderr);
    drawn_ = true;
}
