#pragma once

#include "image/PagerImage.h"
#include "link/TransferState.h"
#include "link/UsbXpressLibrary.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A USB library whose answers come from a byte stream: device counts and strings, open
// results, and for every transfer its status, its count and the reply bytes. Behind it sits a
// pager memory that a well-behaved exchange reads and writes like the cradle does, so a test
// can compare what a write left in the pager with what it meant to write. When the stream runs
// out, everything behaves well.
class FuzzedUsbLibrary : public UsbXpressLibrary {
public:
    FuzzedUsbLibrary(const std::uint8_t* data, std::size_t size, const PagerImage& pagerMemory);

    UsbStatus GetNumDevices(std::uint32_t& count) override;
    UsbStatus GetProductString(std::uint32_t device, char* buffer, std::uint32_t selector) override;
    UsbStatus Open(std::uint32_t device, UsbHandle& handle) override;
    UsbStatus Close(UsbHandle handle) override;
    UsbStatus Read(UsbHandle handle, void* buffer, std::uint32_t wanted,
                   std::uint32_t& read) override;
    UsbStatus Write(UsbHandle handle, const void* buffer, std::uint32_t length,
                    std::uint32_t& written) override;
    UsbStatus SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override;

    const PagerImage& memory() const { return memory_; }
    // The device number of the first device that answered exactly "wex_writer", or -1.
    long firstCradle() const { return firstCradle_; }
    // Whole replies to 'W' requests that carried the data sent.
    int verifiedWrites() const { return verifiedWrites_; }
    bool IsOpen() const { return open_; }

    static constexpr UsbHandle kHandle = 7;

private:
    std::uint8_t Take();
    void AnswerRequest(std::uint8_t* reply);
    void CountEcho(bool answered, const std::uint8_t* reply);

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t next_ = 0;
    PagerImage memory_;
    std::uint32_t listed_ = 0;
    long firstCradle_ = -1;
    bool open_ = false;
    // The last request the pager took, waiting for its reply.
    bool requestPending_ = false;
    Frame request_{};
    int verifiedWrites_ = 0;
};
