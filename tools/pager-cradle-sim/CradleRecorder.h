#pragma once

#include "link/sim/CradleSimulator.h"
#include "link/sim/PagerMemoryFiles.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

// Reports what happens in the cradle, in the order it happens, from the server thread and the
// main thread alike: exchanges and the stream's pagers on stdout (with --verbose), and the
// pagers' memories in their files.
class CradleRecorder {
public:
    struct Files {
        std::filesystem::path memoryFile;               // the one pager's, or empty
        std::optional<PagerMemoryFiles> streamMemories; // each pager's of a stream
    };

    CradleRecorder(std::shared_ptr<CradleSimulator> cradle, bool verbose, Files files);

    // Holds every report back until the lock goes, so a line printed meanwhile with SayHeld
    // (such as "ready:") comes before anything the new server reports.
    [[nodiscard]] std::unique_lock<std::mutex> Hold() { return std::unique_lock(mutex_); }
    void SayHeld(std::string_view line);
    void Say(std::string_view line);

    void OnExchange(const CradleExchange& exchange);
    // Pagers seated and taken out while the host was silent.
    void CollectPagerEvents();

private:
    void ReportPagerEvents();

    std::mutex mutex_;
    std::shared_ptr<CradleSimulator> cradle_;
    bool verbose_;
    Files files_;
};
