#include "FuzzedUsbLibrary.h"

#include "link/C8051f320Usb.h"

#include <algorithm>
#include <cstring>

namespace {

// How one transfer behaves, from the low three bits of its control byte; 0 to 3 are normal.
enum Behaviour : std::uint8_t {
    kBadStatus = 4,
    kShortCount = 5,
    kCorrupted = 6, // read: one reply byte flipped; write: a count larger than asked for
    kArbitrary = 7, // read: the reply bytes come from the stream; write: status and count wrong
};

// Device strings a device may answer with, by the control byte; only the first is the cradle.
const char* const kDeviceStrings[] = {"wex_writer", "WEX_WRITER", "wex_writer ", "wex_write"};

constexpr std::uint32_t kCommandWrite = 'W';

std::uint32_t Address(const Frame& request) {
    return (std::uint32_t{request[1]} << 8) | request[2];
}

} // namespace

FuzzedUsbLibrary::FuzzedUsbLibrary(const std::uint8_t* data, std::size_t size,
                                   const PagerImage& pagerMemory)
    : data_(data), size_(size), memory_(pagerMemory) {}

std::uint8_t FuzzedUsbLibrary::Take() {
    return next_ < size_ ? data_[next_++] : 0;
}

UsbStatus FuzzedUsbLibrary::GetNumDevices(std::uint32_t& count) {
    const std::uint8_t control = Take();
    if (control >= 0xF0) {
        return usb_status::kSystemError;
    }
    listed_ = 1 + control % 3;
    count = listed_;
    firstCradle_ = -1;
    return usb_status::kSuccess;
}

UsbStatus FuzzedUsbLibrary::GetProductString(std::uint32_t device, char* buffer,
                                             std::uint32_t selector) {
    const std::uint8_t control = Take();
    if (device >= listed_ || selector != kSelectorSerialNumber || control % 8 == 7) {
        return usb_status::kDeviceNotFound;
    }
    if (control % 8 == 6) {
        // No terminating zero anywhere in the buffer.
        std::memset(buffer, 'x', kDeviceStringSize);
        return usb_status::kSuccess;
    }
    const char* text = kDeviceStrings[control % 4];
    std::strcpy(buffer, text);
    if (control % 4 == 0 && firstCradle_ < 0) {
        firstCradle_ = static_cast<long>(device);
    }
    return usb_status::kSuccess;
}

UsbStatus FuzzedUsbLibrary::Open(std::uint32_t device, UsbHandle& handle) {
    if (device >= listed_ || Take() == 0xFF) {
        return usb_status::kDeviceNotFound;
    }
    handle = kHandle;
    open_ = true;
    return usb_status::kSuccess;
}

UsbStatus FuzzedUsbLibrary::Close(UsbHandle) {
    open_ = false;
    return usb_status::kSuccess;
}

UsbStatus FuzzedUsbLibrary::SetTimeouts(std::uint32_t, std::uint32_t) {
    return usb_status::kSuccess;
}

UsbStatus FuzzedUsbLibrary::Write(UsbHandle handle, const void* buffer, std::uint32_t length,
                                  std::uint32_t& written) {
    if (handle != kHandle || !open_) {
        return usb_status::kInvalidHandle;
    }
    const std::uint8_t control = Take();
    switch (control & 7) {
    case kBadStatus:
        written = 0;
        return usb_status::kWriteError;
    case kShortCount:
        written = Take() % length;
        return usb_status::kSuccess;
    case kCorrupted:
        written = length + 1 + Take();
        return usb_status::kSuccess;
    case kArbitrary:
        written = length;
        return usb_status::kWriteTimedOut;
    default:
        break;
    }
    written = length;
    if (length == kFrameSize) {
        std::memcpy(request_.data(), buffer, kFrameSize);
        requestPending_ = true;
        // The cradle stores a written block as soon as it has the request.
        const std::uint32_t address = Address(request_);
        if (request_[0] == kCommandWrite && address + kBlockSize <= memory_.size()) {
            std::copy_n(request_.begin() + kFrameHeaderSize, kBlockSize, memory_.begin() + address);
        }
    }
    return usb_status::kSuccess;
}

// The cradle's answer: the header echoed, then the memory block at the request's address.
void FuzzedUsbLibrary::AnswerRequest(std::uint8_t* reply) {
    std::copy_n(request_.begin(), kFrameHeaderSize, reply);
    const std::uint32_t address = Address(request_);
    if (address + kBlockSize <= memory_.size()) {
        std::copy_n(memory_.begin() + address, kBlockSize, reply + kFrameHeaderSize);
    }
}

UsbStatus FuzzedUsbLibrary::Read(UsbHandle handle, void* buffer, std::uint32_t wanted,
                                 std::uint32_t& read) {
    if (handle != kHandle || !open_) {
        return usb_status::kInvalidHandle;
    }
    auto* reply = static_cast<std::uint8_t*>(buffer);
    const bool answered = requestPending_ && wanted == kFrameSize;
    requestPending_ = false;
    const std::uint8_t control = Take();
    switch (control & 7) {
    case kBadStatus:
        read = 0;
        return usb_status::kReadTimedOut;
    case kShortCount:
        read = Take() % wanted;
        if (answered) {
            AnswerRequest(reply);
        }
        return usb_status::kSuccess;
    case kArbitrary:
        for (std::uint32_t i = 0; i < wanted; ++i) {
            reply[i] = Take();
        }
        read = wanted;
        CountEcho(answered, reply);
        return usb_status::kSuccess;
    default:
        break;
    }
    if (!answered) {
        read = 0;
        return usb_status::kReadTimedOut;
    }
    AnswerRequest(reply);
    if ((control & 7) == kCorrupted) {
        // For a write, a fault in the pager's memory itself: the stored byte is wrong and so
        // is the echo. For a read, only the reply is wrong.
        const std::uint8_t offset = Take() % kBlockSize;
        const auto flip = static_cast<std::uint8_t>(Take() | 1);
        reply[kFrameHeaderSize + offset] ^= flip;
        const std::uint32_t address = Address(request_) + offset;
        if (request_[0] == kCommandWrite && address < memory_.size()) {
            memory_[address] ^= flip;
        }
    }
    // Bit 3 gives the reply its own header bytes, which must not matter.
    if (control & 8) {
        for (std::uint32_t i = 0; i < kFrameHeaderSize; ++i) {
            reply[i] = Take();
        }
    }
    read = wanted;
    CountEcho(answered, reply);
    return usb_status::kSuccess;
}

// Whatever produced it, a whole reply to a 'W' that carries the written data is a good echo.
void FuzzedUsbLibrary::CountEcho(bool answered, const std::uint8_t* reply) {
    if (answered && request_[0] == kCommandWrite &&
        std::equal(request_.begin() + kFrameHeaderSize, request_.end(), reply + kFrameHeaderSize)) {
        ++verifiedWrites_;
    }
}
