#pragma once

#include "link/OpenHandles.h"
#include "link/UsbBackend.h"
#include "link/backends/VirtualCradleAnnouncement.h"

#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class VirtualCradleConnection;

// Virtual cradles are listed at "virtual:" and the name they are announced under.
inline constexpr std::string_view kVirtualLocationPrefix = "virtual:";

// Simulated cradles that announce themselves in a per-user folder, each served on its own Unix
// socket. Listing reads only the folder (and re-reads it only when it changed), never connects,
// and skips cradles whose simulator has died.
class VirtualCradleBackend : public UsbBackend {
public:
    explicit VirtualCradleBackend(std::filesystem::path folder);
    ~VirtualCradleBackend() override;

    std::vector<UsbDeviceInfo> ListDevices() override;
    UsbStatus Open(std::uint32_t index, Handle& handle) override;
    void Close(Handle handle) override;
    UsbStatus Read(Handle handle, void* buffer, std::uint32_t wanted, std::uint32_t& read,
                   std::uint32_t timeoutMs) override;
    UsbStatus Write(Handle handle, const void* buffer, std::uint32_t length, std::uint32_t& written,
                    std::uint32_t timeoutMs) override;
    // An unsafe folder (another user's, or writable by others) is reported once.
    std::optional<std::string> TakeAccessProblem() override;

    // A simulator answers an open at once; one that hangs must not stall the reopen poll long.
    static constexpr std::uint32_t kOpenTimeoutMs = 500;

private:
    // Re-reads the announcements when the folder changed since the last read.
    void Refresh();

    const std::filesystem::path folder_;
    OpenHandles<VirtualCradleConnection> open_;
    std::mutex mutex_; // guards everything below; transfers run without it
    std::vector<VirtualCradleAnnouncement> announced_; // sorted by file name
    std::optional<timespec> readAt_;                   // folder change time of that read
    std::vector<VirtualCradleAnnouncement> listed_;
    std::string reportedProblem_;
    std::optional<std::string> pendingProblem_;
};
