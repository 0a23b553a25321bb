#pragma once

#include "link/UsbBackend.h"
#include "link/UsbXpressLibrary.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// The USB library the channel talks to, built from backends listed one after the other: device
// numbers run through the first backend's devices, then the next one's. Device numbers refer to
// the list taken by the most recent GetNumDevices, as with the vendor library.
class UsbDeviceLayer : public UsbXpressLibrary {
public:
    explicit UsbDeviceLayer(std::vector<std::shared_ptr<UsbBackend>> backends);
    ~UsbDeviceLayer() override;

    UsbStatus GetNumDevices(std::uint32_t& count) override;
    UsbStatus GetProductString(std::uint32_t device, char* buffer, std::uint32_t selector) override;
    UsbStatus Open(std::uint32_t device, UsbHandle& handle) override;
    UsbStatus Close(UsbHandle handle) override;
    UsbStatus Read(UsbHandle handle, void* buffer, std::uint32_t wanted,
                   std::uint32_t& read) override;
    UsbStatus Write(UsbHandle handle, const void* buffer, std::uint32_t length,
                    std::uint32_t& written) override;
    UsbStatus SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override;

    // The devices of the most recent GetNumDevices, by device number.
    std::vector<UsbDeviceInfo> ListedDevices() const;

    // The first problem any backend wants the user to know about, handed out once.
    std::optional<std::string> TakeAccessProblem();

    static constexpr std::uint32_t kDefaultTimeoutMs = 1000;

private:
    struct ListedDevice {
        std::size_t backend;
        std::uint32_t index; // position in that backend's list
        UsbDeviceInfo info;
    };
    struct OpenDevice {
        std::size_t backend;
        UsbBackend::Handle handle;
    };

    std::optional<OpenDevice> FindOpen(UsbHandle handle) const;

    std::vector<std::shared_ptr<UsbBackend>> backends_;
    mutable std::mutex mutex_; // guards everything below; never held across a transfer
    std::vector<ListedDevice> listed_;
    std::map<UsbHandle, OpenDevice> open_;
    UsbHandle nextHandle_ = 1;
    std::uint32_t readTimeoutMs_ = kDefaultTimeoutMs;
    std::uint32_t writeTimeoutMs_ = kDefaultTimeoutMs;
};
