#include "link/C8051f320Usb.h"

#include <algorithm>
#include <array>

CC8051f320Usb::CC8051f320Usb(UsbXpressLibrary& library) : library_(library) {}

CC8051f320Usb::~CC8051f320Usb() {
    if (IsOpen())
        Close();
}

bool CC8051f320Usb::EnumerateDevices() {
    deviceList_.clear();
    deviceNumbers_.clear();
    // Normally called only while closed; a handle still open is closed, not leaked.
    if (IsOpen())
        Close();
    std::uint32_t count = 0;
    if (library_.GetNumDevices(count) != usb_status::kSuccess)
        return false;
    for (std::uint32_t device = 0; device < count; ++device) {
        std::array<char, kDeviceStringSize> text{};
        if (library_.GetProductString(device, text.data(), kSelectorSerialNumber) !=
            usb_status::kSuccess)
            continue;
        text.back() = '\0'; // never trust the library to terminate the string
        deviceList_.emplace_back(text.data());
        deviceNumbers_.push_back(device);
    }
    return true;
}

bool CC8051f320Usb::Open(const std::string& deviceString) {
    if (!EnumerateDevices())
        return false;
    const auto match = std::find(deviceList_.begin(), deviceList_.end(), deviceString);
    deviceName_ = deviceString;
    library_.SetTimeouts(kTimeoutMs, kTimeoutMs);
    if (match == deviceList_.end()) {
        lastStatus_ = usb_status::kDeviceNotFound;
        return false;
    }
    deviceIndex_ = deviceNumbers_[static_cast<std::size_t>(match - deviceList_.begin())];
    UsbHandle opened = kClosedHandle;
    // Kept so a caller can tell a cradle in use by another program from one that is gone.
    lastStatus_ = library_.Open(deviceIndex_, opened);
    if (lastStatus_ != usb_status::kSuccess)
        return false;
    handle_ = opened;
    return true;
}

void CC8051f320Usb::Close() {
    library_.Close(handle_.load());
    handle_ = kClosedHandle;
}

UsbStatus CC8051f320Usb::Write(const void* buffer, std::uint32_t length, std::uint32_t& written) {
    lastStatus_ = library_.Write(handle_.load(), buffer, length, written);
    return lastStatus_;
}

UsbStatus CC8051f320Usb::Read(void* buffer, std::uint32_t length, std::uint32_t& read) {
    lastStatus_ = library_.Read(handle_.load(), buffer, length, read);
    return lastStatus_;
}
