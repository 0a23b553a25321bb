#pragma once

#include "link/C8051f320Usb.h"
#include "link/OpenHandles.h"
#include "link/UsbBackend.h"
#include "link/UsbDeviceLayer.h"
#include "link/sim/CradleSimulator.h"
#include "link/sim/LinkClock.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Simulated cradles in the same process, presented as USB devices. Reads wait for replies and
// time out on the given clock: with the default virtual clock nothing really sleeps, so tests
// that time out on every exchange still run fast.
class InProcessCradleBackend : public UsbBackend {
public:
    explicit InProcessCradleBackend(
        std::shared_ptr<LinkClock> clock = std::make_shared<VirtualLinkClock>());
    ~InProcessCradleBackend() override;

    // Adds a cradle after the ones already there. A missing device string makes its string
    // query fail. Returns the cradle's position among this backend's cradles.
    std::size_t AddCradle(std::shared_ptr<CradleSimulator> cradle,
                          std::optional<std::string> deviceString = kCradleDeviceString,
                          std::optional<std::string> description = kDescription);
    std::shared_ptr<CradleSimulator> cradle(std::size_t position) const;
    LinkClock& clock() const { return *clock_; }

    std::vector<UsbDeviceInfo> ListDevices() override;
    UsbStatus Open(std::uint32_t index, Handle& handle) override;
    void Close(Handle handle) override;
    UsbStatus Read(Handle handle, void* buffer, std::uint32_t wanted, std::uint32_t& read,
                   std::uint32_t timeoutMs) override;
    UsbStatus Write(Handle handle, const void* buffer, std::uint32_t length, std::uint32_t& written,
                    std::uint32_t timeoutMs) override;

    static constexpr const char* kDescription = "USBXpress Device";

private:
    struct Slot {
        std::shared_ptr<CradleSimulator> cradle;
        std::optional<std::string> deviceString;
        std::optional<std::string> description;
        bool open = false;
    };
    struct PendingReply {
        CradleReply reply;
        LinkClock::Duration readyAt;
    };
    struct Session {
        std::size_t slot;
        std::shared_ptr<CradleSimulator> cradle;
        std::uint64_t generation;
        std::mutex mutex; // one transfer at a time per handle
        std::optional<PendingReply> pending;
    };

    static bool Vanished(const Session& session);

    std::shared_ptr<LinkClock> clock_;
    mutable std::mutex mutex_; // guards slots_ and listed_
    std::vector<Slot> slots_;
    std::vector<std::size_t> listed_; // slot of each device in the last ListDevices
    OpenHandles<Session> sessions_;
};

// A USB layer whose only devices are the given backend's cradles.
std::unique_ptr<UsbDeviceLayer> MakeLayerOver(std::shared_ptr<InProcessCradleBackend> backend);
