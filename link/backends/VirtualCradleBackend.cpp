#include "link/backends/VirtualCradleBackend.h"

#include "link/backends/VirtualCradleConnection.h"
#include "link/backends/VirtualCradleFolder.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <utility>

namespace {

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Folder times advance in coarse steps (a clock tick), so a change made in the same step as
// our last read would leave the time unchanged. A folder changed this recently is read again.
bool ChangedRecently(const timespec& changed) {
    constexpr std::chrono::milliseconds kTimeStep{100};
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const auto age = std::chrono::seconds(now.tv_sec - changed.tv_sec) +
                     std::chrono::nanoseconds(now.tv_nsec - changed.tv_nsec);
    return age < kTimeStep;
}

bool EndsWith(const std::string& text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

VirtualCradleBackend::VirtualCradleBackend(std::filesystem::path folder)
    : folder_(std::move(folder)) {}

VirtualCradleBackend::~VirtualCradleBackend() = default;

void VirtualCradleBackend::Refresh() {
    struct stat info {};
    if (lstat(folder_.c_str(), &info) != 0) {
        announced_.clear();
        readAt_.reset();
        return;
    }
    if (std::optional<std::string> problem = CheckVirtualCradleFolder(folder_, info)) {
        announced_.clear();
        readAt_.reset();
        if (*problem != reportedProblem_) {
            reportedProblem_ = *problem;
            pendingProblem_ = "Virtual cradles are ignored: " + *problem + ".";
        }
        return;
    }
    reportedProblem_.clear();
    if (readAt_ && SameTime(*readAt_, info.st_mtim) && !ChangedRecently(info.st_mtim))
        return;
    readAt_ = info.st_mtim;

    std::vector<std::pair<std::string, VirtualCradleAnnouncement>> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
        const std::string name = entry.path().filename().string();
        if (!EndsWith(name, kAnnouncementSuffix))
            continue;
        if (std::optional<VirtualCradleAnnouncement> announcement =
                ReadAnnouncement(entry.path())) {
            announcement->name = name.substr(0, name.size() - kAnnouncementSuffix.size());
            found.emplace_back(name, std::move(*announcement));
        }
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    announced_.clear();
    for (auto& [name, announcement] : found)
        announced_.push_back(std::move(announcement));
}

std::vector<UsbDeviceInfo> VirtualCradleBackend::ListDevices() {
    std::lock_guard lock(mutex_);
    Refresh();
    listed_.clear();
    std::vector<UsbDeviceInfo> devices;
    for (const VirtualCradleAnnouncement& announcement : announced_) {
        if (!IsAnnouncerAlive(announcement.pid))
            continue;
        listed_.push_back(announcement);
        devices.push_back({announcement.serialNumber, announcement.description,
                           std::string(kVirtualLocationPrefix) + announcement.name});
    }
    return devices;
}

std::optional<std::string> VirtualCradleBackend::TakeAccessProblem() {
    std::lock_guard lock(mutex_);
    return std::exchange(pendingProblem_, std::nullopt);
}

UsbStatus VirtualCradleBackend::Open(std::uint32_t index, Handle& handle) {
    std::filesystem::path socketPath;
    {
        std::lock_guard lock(mutex_);
        if (index >= listed_.size())
            return usb_status::kDeviceNotFound;
        socketPath = folder_ / listed_[index].socketName;
    }
    UsbStatus status = usb_status::kSuccess;
    std::shared_ptr<VirtualCradleConnection> connection =
        VirtualCradleConnection::Open(socketPath, kOpenTimeoutMs, status);
    if (!connection)
        return status == usb_status::kSuccess ? usb_status::kDeviceNotFound : status;
    handle = open_.Add(std::move(connection));
    return usb_status::kSuccess;
}

void VirtualCradleBackend::Close(Handle handle) {
    // A transfer still running on another thread ends now and lets go of the connection.
    if (const std::shared_ptr<VirtualCradleConnection> connection = open_.Take(handle))
        connection->Shutdown();
}

UsbStatus VirtualCradleBackend::Read(Handle handle, void* buffer, std::uint32_t wanted,
                                     std::uint32_t& read, std::uint32_t timeoutMs) {
    read = 0;
    const std::shared_ptr<VirtualCradleConnection> connection = open_.Find(handle);
    if (!connection)
        return usb_status::kInvalidHandle;
    return connection->Read(buffer, wanted, read, timeoutMs);
}

UsbStatus VirtualCradleBackend::Write(Handle handle, const void* buffer, std::uint32_t length,
                                      std::uint32_t& written, std::uint32_t timeoutMs) {
    written = 0;
    const std::shared_ptr<VirtualCradleConnection> connection = open_.Find(handle);
    if (!connection)
        return usb_status::kInvalidHandle;
    return connection->Write(buffer, length, written, timeoutMs);
}
