#pragma once

#include "link/UsbXpressLibrary.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One attached device as a backend sees it. A missing string means the device did not answer
// that string query, so the layer reports a failed query for it.
struct UsbDeviceInfo {
    std::optional<std::string> serialNumber; // string selector 0
    std::optional<std::string> description;  // string selector 1
    // Where the device sits, the same on every run for the same place: "usb:3-1.4" for a port
    // of the USB bus, "virtual:NAME" for a virtual cradle. Every cradle reports the same device
    // string, so this is what tells cradles apart.
    std::string location{};
    // The system refuses this user access to the device, so its strings could not be read.
    bool accessDenied = false;
};

// A source of devices (real USB, virtual cradles, in-process simulators) behind the USB layer.
// Device indexes are positions in the backend's most recent ListDevices result; handles are
// the backend's own and never reach the channel directly.
//
// Thread use: the layer calls ListDevices and Open from one thread at a time, but Close may
// arrive from another thread while a Read or Write on the same handle is still running, so a
// backend must keep that safe (the call in progress fails or completes, nothing is freed
// under it).
class UsbBackend {
public:
    using Handle = std::intptr_t;

    virtual ~UsbBackend() = default;

    // The devices present now, in a stable order (the layer numbers them in this order).
    virtual std::vector<UsbDeviceInfo> ListDevices() = 0;
    virtual UsbStatus Open(std::uint32_t index, Handle& handle) = 0;
    virtual void Close(Handle handle) = 0;
    // Returns what arrives within timeoutMs; a short count is reported as such. Nothing at all
    // within the timeout is usb_status::kReadTimedOut.
    virtual UsbStatus Read(Handle handle, void* buffer, std::uint32_t wanted, std::uint32_t& read,
                           std::uint32_t timeoutMs) = 0;
    virtual UsbStatus Write(Handle handle, const void* buffer, std::uint32_t length,
                            std::uint32_t& written, std::uint32_t timeoutMs) = 0;

    // A problem the user must act on (e.g. missing device permissions), handed out once.
    virtual std::optional<std::string> TakeAccessProblem() { return std::nullopt; }
};
