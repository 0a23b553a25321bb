#pragma once

#include "link/UsbXpressLibrary.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// The cradle channel: finds the cradle by the device string it reports, opens it with fixed
// timeouts and moves raw bytes. It reports only by return values and never talks to the user.
// The window's timer tests IsOpen() while a worker may be closing the channel after a failed
// transfer, so the handle is atomic; everything else is used by one thread at a time.
class CC8051f320Usb {
public:
    explicit CC8051f320Usb(UsbXpressLibrary& library);
    virtual ~CC8051f320Usb();
    CC8051f320Usb(const CC8051f320Usb&) = delete;
    CC8051f320Usb& operator=(const CC8051f320Usb&) = delete;

    bool EnumerateDevices();
    bool Open(const std::string& deviceString);
    void Close();
    UsbStatus Write(const void* buffer, std::uint32_t length, std::uint32_t& written);
    UsbStatus Read(void* buffer, std::uint32_t length, std::uint32_t& read);

    bool IsOpen() const { return handle_.load() != kClosedHandle; }
    UsbHandle handle() const { return handle_.load(); }
    UsbStatus lastStatus() const { return lastStatus_; }
    void setLastStatus(UsbStatus status) { lastStatus_ = status; }
    const std::string& deviceName() const { return deviceName_; }
    // The library device number the last successful match addressed.
    std::uint32_t deviceIndex() const { return deviceIndex_; }
    const std::vector<std::string>& deviceList() const { return deviceList_; }

    static constexpr std::uint32_t kTimeoutMs = 1000;

private:
    UsbXpressLibrary& library_;
    std::atomic<UsbHandle> handle_ = kClosedHandle;
    UsbStatus lastStatus_ = 0;
    std::string deviceName_;
    std::uint32_t deviceIndex_ = 0;
    std::vector<std::string> deviceList_;
    // Library device number of each deviceList_ entry: devices whose string query failed are
    // left out of the list, so a list position is not always a device number.
    std::vector<std::uint32_t> deviceNumbers_;
};

inline constexpr const char* kCradleDeviceString = "wex_writer";
