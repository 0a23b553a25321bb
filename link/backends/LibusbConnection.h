#pragma once

#include "link/UsbXpressLibrary.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

struct libusb_device;
struct libusb_device_handle;

// The bulk pipe pair of interface 0, alternate setting 0.
struct BulkEndpoints {
    std::uint8_t in = 0;
    std::uint8_t out = 0;
    std::uint16_t inPacketSize = 64;
};

// Reads the endpoints from the device's descriptors; none when the interface lacks a bulk pair.
std::optional<BulkEndpoints> FindBulkEndpoints(libusb_device* device);

// Control requests the USBXpress firmware understands (request 0x02, value below).
enum class UsbXpressControl : std::uint16_t {
    Purge = 0x0001,
    DeviceOpen = 0x0002,
    DeviceClose = 0x0004,
};

// One cradle opened through libusb: the claimed interface, its bulk endpoints and any bytes
// that arrived beyond what the last reader asked for. Transfers are serialised; the close
// sequence runs when the object is destroyed.
class LibusbConnection {
public:
    // Claims interface 0 and tells the firmware the device is open. Takes the handle in every
    // case; on failure returns nullptr and leaves the reason in status.
    static std::unique_ptr<LibusbConnection> Open(libusb_device_handle* handle, UsbStatus& status);
    ~LibusbConnection();
    LibusbConnection(const LibusbConnection&) = delete;
    LibusbConnection& operator=(const LibusbConnection&) = delete;

    // A timeout of 0 waits without limit.
    UsbStatus Read(void* buffer, std::uint32_t wanted, std::uint32_t& read,
                   std::uint32_t timeoutMs);
    UsbStatus Write(const void* buffer, std::uint32_t length, std::uint32_t& written,
                    std::uint32_t timeoutMs);

    static constexpr unsigned kControlTimeoutMs = 500;

private:
    LibusbConnection(libusb_device_handle* handle, BulkEndpoints endpoints);

    std::mutex transferMutex_;
    libusb_device_handle* handle_;
    BulkEndpoints endpoints_;
    std::vector<std::uint8_t> pending_;
};

// Sends one USBXpress control request; returns the libusb result.
int SendUsbXpressControl(libusb_device_handle* handle, UsbXpressControl request);
