#pragma once

#include <cstdint>

// Statuses of the USB library layer; 0 is success.
using UsbStatus = std::uint32_t;
namespace usb_status {
inline constexpr UsbStatus kSuccess = 0x00;
inline constexpr UsbStatus kInvalidHandle = 0x01;
inline constexpr UsbStatus kReadError = 0x02;
inline constexpr UsbStatus kWriteError = 0x04;
inline constexpr UsbStatus kInvalidParameter = 0x06;
inline constexpr UsbStatus kSystemError = 0x0C;
inline constexpr UsbStatus kReadTimedOut = 0x0D;
inline constexpr UsbStatus kWriteTimedOut = 0x0E;
inline constexpr UsbStatus kDeviceNotFound = 0xFF;
// Not a status of the vendor library: the device is there but another program holds it open.
inline constexpr UsbStatus kDeviceInUse = 0xF0;
} // namespace usb_status

using UsbHandle = std::intptr_t;
inline constexpr UsbHandle kClosedHandle = -1;

inline constexpr std::uint32_t kDeviceStringSize = 256;
inline constexpr std::uint32_t kSelectorSerialNumber = 0;
inline constexpr std::uint32_t kSelectorDescription = 1;

// The seven entry points the cradle channel relies on. Device numbers are 0-based in the
// order the layer enumerates its devices.
class UsbXpressLibrary {
public:
    virtual ~UsbXpressLibrary() = default;
    virtual UsbStatus GetNumDevices(std::uint32_t& count) = 0;
    // Writes a zero-terminated string of at most kDeviceStringSize bytes into buffer.
    virtual UsbStatus GetProductString(std::uint32_t device, char* buffer,
                                       std::uint32_t selector) = 0;
    virtual UsbStatus Open(std::uint32_t device, UsbHandle& handle) = 0;
    virtual UsbStatus Close(UsbHandle handle) = 0;
    virtual UsbStatus Read(UsbHandle handle, void* buffer, std::uint32_t wanted,
                           std::uint32_t& read) = 0;
    virtual UsbStatus Write(UsbHandle handle, const void* buffer, std::uint32_t length,
                            std::uint32_t& written) = 0;
    virtual UsbStatus SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) = 0;
};
