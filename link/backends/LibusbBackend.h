#pragma once

#include "link/OpenHandles.h"
#include "link/UsbBackend.h"
#include "link/backends/UsbXpressIds.h"

#include <array>
#include <chrono>
#include <compare>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;
class LibusbConnection;

// Real cradles on the USB bus, reached through libusb. Lists every device with a cradle id,
// reading its strings once per appearance on the bus so the frequent reopen poll stays cheap.
class LibusbBackend : public UsbBackend {
public:
    struct Options {
        // udev grants access a moment after plug-in, so a refusal only becomes a problem to
        // report when it lasts this long.
        std::chrono::milliseconds accessGracePeriod{1500};
        // A device whose strings could not be read (other than for lack of access) is asked
        // again after this pause rather than on every poll.
        std::chrono::milliseconds retryInterval{1000};
    };

    LibusbBackend();
    explicit LibusbBackend(Options options);
    ~LibusbBackend() override;
    LibusbBackend(const LibusbBackend&) = delete;
    LibusbBackend& operator=(const LibusbBackend&) = delete;

    std::vector<UsbDeviceInfo> ListDevices() override;
    UsbStatus Open(std::uint32_t index, Handle& handle) override;
    void Close(Handle handle) override;
    UsbStatus Read(Handle handle, void* buffer, std::uint32_t wanted, std::uint32_t& read,
                   std::uint32_t timeoutMs) override;
    UsbStatus Write(Handle handle, const void* buffer, std::uint32_t length, std::uint32_t& written,
                    std::uint32_t timeoutMs) override;
    std::optional<std::string> TakeAccessProblem() override;

    // What the user reads when a cradle refuses access: the cause and the commands that fix it.
    static std::string AccessProblemText(const UsbId& id);

protected:
    // Opens a device with libusb; returns a libusb error code. Tests override it to play a
    // system that refuses access.
    virtual int OpenDevice(libusb_device* device, libusb_device_handle** handle);

private:
    // Where a device sits on the bus. The address changes on every replug, so a key stays
    // valid exactly as long as the device stays attached.
    struct DeviceKey {
        std::uint8_t bus = 0;
        std::array<std::uint8_t, 7> ports{};
        std::uint8_t address = 0;
        // NOLINTNEXTLINE(modernize-use-nullptr): clang-tidy 14 misreads a defaulted <=>
        auto operator<=>(const DeviceKey&) const = default;
    };
    struct KnownDevice {
        UsbDeviceInfo info;
        bool stringsRead = false;
        std::chrono::steady_clock::time_point nextAttempt{};
        std::optional<std::chrono::steady_clock::time_point> refusedSince;
        bool problemReported = false;
    };

    static DeviceKey KeyOf(libusb_device* device);
    // "usb:" with the bus and the port path, as lsusb -t and sysfs name it: "usb:3-1.4".
    static std::string LocationOf(const DeviceKey& key);
    void ReadStrings(libusb_device* device, const UsbId& id, std::uint8_t serialIndex,
                     std::uint8_t productIndex, KnownDevice& known,
                     std::chrono::steady_clock::time_point now);
    void NoteRefusal(const UsbId& id, KnownDevice& known,
                     std::chrono::steady_clock::time_point now);
    void ReleaseListed();

    Options options_;
    libusb_context* context_ = nullptr;
    OpenHandles<LibusbConnection> open_;
    std::mutex mutex_; // guards everything below; transfers run without it
    std::map<DeviceKey, KnownDevice> known_;
    std::vector<libusb_device*> listed_; // referenced, in the order of the last list
    std::optional<std::string> accessProblem_;
};
