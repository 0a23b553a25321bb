#pragma once

#include "link/UsbXpressLibrary.h"
#include "link/backends/VirtualCradleWire.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>

// The host side of one open virtual cradle. Replies the cradle sends arrive whenever it sends
// them and wait here for the host's reads, as bytes wait in a USB device's IN pipe. The
// connection dropping is an unplug: every later call fails.
class VirtualCradleConnection {
public:
    // Connects to the socket and asks the cradle to open, waiting at most timeoutMs.
    static std::unique_ptr<VirtualCradleConnection>
    Open(const std::filesystem::path& socketPath, std::uint32_t timeoutMs, UsbStatus& status);
    ~VirtualCradleConnection();
    VirtualCradleConnection(const VirtualCradleConnection&) = delete;
    VirtualCradleConnection& operator=(const VirtualCradleConnection&) = delete;

    // A timeout of 0 waits without limit.
    UsbStatus Read(void* buffer, std::uint32_t wanted, std::uint32_t& read,
                   std::uint32_t timeoutMs);
    UsbStatus Write(const void* buffer, std::uint32_t length, std::uint32_t& written,
                    std::uint32_t timeoutMs);

    // Makes a transfer running on another thread end at once; the socket closes with the
    // object.
    void Shutdown();

private:
    explicit VirtualCradleConnection(int fd);
    // Hands out the oldest reply; false when it held no bytes and no status.
    bool TakeReply(void* buffer, std::uint32_t wanted, std::uint32_t& read, UsbStatus& status);

    const int fd_;
    std::mutex mutex_; // serialises transfers
    std::deque<WirePacket> replies_;
    std::uint32_t sequence_ = 0;
    bool gone_ = false;
};
