#pragma once

#include "link/UsbBackend.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Shows only the device at one location of another backend, so a channel that opens "the
// cradle" opens exactly the one a user chose. The wrapped backend must not be used by anyone
// else: device indexes refer to its most recent list, which this backend takes.
class SelectedCradleBackend : public UsbBackend {
public:
    SelectedCradleBackend(std::shared_ptr<UsbBackend> backend, std::string location);

    std::vector<UsbDeviceInfo> ListDevices() override;
    UsbStatus Open(std::uint32_t index, Handle& handle) override;
    void Close(Handle handle) override;
    UsbStatus Read(Handle handle, void* buffer, std::uint32_t wanted, std::uint32_t& read,
                   std::uint32_t timeoutMs) override;
    UsbStatus Write(Handle handle, const void* buffer, std::uint32_t length, std::uint32_t& written,
                    std::uint32_t timeoutMs) override;
    std::optional<std::string> TakeAccessProblem() override;

private:
    const std::shared_ptr<UsbBackend> backend_;
    const std::string location_;
    std::mutex mutex_;
    std::vector<std::uint32_t> listed_; // the wrapped backend's index of each listed device
};
