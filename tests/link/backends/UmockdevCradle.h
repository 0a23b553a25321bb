#pragma once

#include "link/sim/CradleSimulator.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// What the mocked cradle's USB descriptors say.
struct MockCradleDescriptors {
    std::uint16_t vendor = 0x10C4;
    std::uint16_t product = 0xEA61;
    std::uint8_t inEndpoint = 0x81;
    std::uint8_t outEndpoint = 0x01;
    bool inEndpointFirst = false;
    std::string serialNumber = "wex_writer";
    std::string productName = "USBXpress Device";
};

// What the mocked device saw, for the tests to check.
struct MockCradleLog {
    std::vector<std::uint16_t> vendorRequests; // wValue of each USBXpress control request
    int stringRequests = 0;                    // string descriptor reads, language list included
    std::vector<std::string> interfaceCalls;   // "claim 0", "release 0"
    int misdirectedTransfers = 0;              // bulk transfers to an endpoint we did not offer
};

// A USBXpress cradle on a umockdev testbed: libusb finds it through the mocked sysfs and udev,
// and its usbfs requests reach an ioctl handler that answers like the firmware: string
// descriptors, the vendor control requests, and bulk transfers carrying the simulator's frames.
// Needs the process to run under umockdev-wrapper.
class UmockdevCradle {
public:
    explicit UmockdevCradle(std::shared_ptr<CradleSimulator> cradle,
                            MockCradleDescriptors descriptors = {});
    ~UmockdevCradle();
    UmockdevCradle(const UmockdevCradle&) = delete;
    UmockdevCradle& operator=(const UmockdevCradle&) = delete;

    // Pulls the device out; Plug puts it back with a new bus address, as a replug does.
    void Unplug();
    void Plug();
    // Adds a device that is not a cradle beside it.
    void AddForeignDevice(std::uint16_t vendor, std::uint16_t product);

    MockCradleLog log() const;

    // The ioctl handler's entry point; public for the C callback only.
    struct Urb;
    bool HandleIoctl(void* client);

private:
    void AddCradleDevice();
    void HandleControl(Urb& urb, const std::uint8_t* setup);
    void HandleBulkOut(Urb& urb);
    void CompleteInTransfers();
    bool Reap(void* client);
    bool Discard(void* client);

    std::shared_ptr<CradleSimulator> cradle_;
    MockCradleDescriptors descriptors_;
    void* testbed_ = nullptr;
    void* handler_ = nullptr;
    int deviceNumber_ = 2;
    int foreignDevices_ = 0;

    mutable std::mutex mutex_;
    MockCradleLog log_;
    struct InPacket {
        std::chrono::steady_clock::time_point due;
        int error = 0; // errno the IN transfer fails with (EPIPE: a stalled read)
        std::vector<std::uint8_t> bytes;
    };
    std::deque<InPacket> inPipe_; // replies queued for the host, one USB packet each
    std::vector<std::shared_ptr<Urb>> waitingIn_;
    std::vector<std::shared_ptr<Urb>> completed_;
};
