#include "link/backends/LibusbConnection.h"

#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

// Host to device, vendor request, addressed to the device.
constexpr std::uint8_t kUsbXpressRequestType = 0x40;
constexpr std::uint8_t kUsbXpressRequest = 0x02;
constexpr int kCradleInterface = 0;

// Milliseconds left of a transfer budget, where a budget of 0 means no limit.
class TransferDeadline {
public:
    explicit TransferDeadline(std::uint32_t timeoutMs)
        : unlimited_(timeoutMs == 0),
          end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs)) {}

    bool Expired() const { return !unlimited_ && RemainingMs() == 0; }
    // The value for libusb, where 0 also means no limit.
    unsigned LibusbTimeout() const { return unlimited_ ? 0 : RemainingMs(); }

private:
    unsigned RemainingMs() const {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now());
        return left.count() > 0 ? static_cast<unsigned>(left.count()) : 0;
    }

    bool unlimited_;
    std::chrono::steady_clock::time_point end_;
};

struct ConfigDescriptorDeleter {
    void operator()(libusb_config_descriptor* config) const {
        libusb_free_config_descriptor(config);
    }
};

const libusb_interface_descriptor* CradleInterface(const libusb_config_descriptor& config) {
    for (int i = 0; i < config.bNumInterfaces; ++i) {
        const libusb_interface& interface = config.interface[i];
        for (int alt = 0; alt < interface.num_altsetting; ++alt) {
            const libusb_interface_descriptor& setting = interface.altsetting[alt];
            if (setting.bInterfaceNumber == kCradleInterface && setting.bAlternateSetting == 0)
                return &setting;
        }
    }
    return nullptr;
}

} // namespace

std::optional<BulkEndpoints> FindBulkEndpoints(libusb_device* device) {
    libusb_config_descriptor* raw = nullptr;
    if (libusb_get_active_config_descriptor(device, &raw) != 0 &&
        libusb_get_config_descriptor(device, 0, &raw) != 0)
        return std::nullopt;
    const std::unique_ptr<libusb_config_descriptor, ConfigDescriptorDeleter> config(raw);
    const libusb_interface_descriptor* setting = CradleInterface(*config);
    if (setting == nullptr)
        return std::nullopt;

    std::optional<std::uint8_t> in;
    std::optional<std::uint8_t> out;
    std::uint16_t inPacketSize = 0;
    for (int e = 0; e < setting->bNumEndpoints; ++e) {
        const libusb_endpoint_descriptor& endpoint = setting->endpoint[e];
        if ((endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK)
            continue;
        const bool isIn = (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) != 0;
        if (isIn && !in) {
            in = endpoint.bEndpointAddress;
            inPacketSize = endpoint.wMaxPacketSize;
        } else if (!isIn && !out) {
            out = endpoint.bEndpointAddress;
        }
    }
    if (!in || !out || inPacketSize == 0)
        return std::nullopt;
    return BulkEndpoints{*in, *out, inPacketSize};
}

int SendUsbXpressControl(libusb_device_handle* handle, UsbXpressControl request) {
    return libusb_control_transfer(handle, kUsbXpressRequestType, kUsbXpressRequest,
                                   static_cast<std::uint16_t>(request), 0, nullptr, 0,
                                   LibusbConnection::kControlTimeoutMs);
}

std::unique_ptr<LibusbConnection> LibusbConnection::Open(libusb_device_handle* handle,
                                                         UsbStatus& status) {
    const std::optional<BulkEndpoints> endpoints = FindBulkEndpoints(libusb_get_device(handle));
    if (!endpoints) {
        libusb_close(handle);
        status = usb_status::kDeviceNotFound;
        return nullptr;
    }
    // Not every platform supports detaching; when it doesn't, claiming tells us what we need.
    libusb_set_auto_detach_kernel_driver(handle, 1);
    const int claimed = libusb_claim_interface(handle, kCradleInterface);
    if (claimed != LIBUSB_SUCCESS) {
        libusb_close(handle);
        // Another program that has the cradle open holds its interface.
        status = claimed == LIBUSB_ERROR_NO_DEVICE ? usb_status::kDeviceNotFound
                 : claimed == LIBUSB_ERROR_BUSY    ? usb_status::kDeviceInUse
                                                   : usb_status::kSystemError;
        return nullptr;
    }
    // Purging is optional: some firmware stalls it, and a fresh device has nothing to purge.
    SendUsbXpressControl(handle, UsbXpressControl::Purge);
    // Without "device open" the firmware sends nothing, so only a stall (a firmware without
    // the request) is tolerated.
    const int opened = SendUsbXpressControl(handle, UsbXpressControl::DeviceOpen);
    if (opened < 0 && opened != LIBUSB_ERROR_PIPE) {
        libusb_release_interface(handle, kCradleInterface);
        libusb_close(handle);
        status = opened == LIBUSB_ERROR_NO_DEVICE ? usb_status::kDeviceNotFound
                                                  : usb_status::kSystemError;
        return nullptr;
    }
    status = usb_status::kSuccess;
    return std::unique_ptr<LibusbConnection>(new LibusbConnection(handle, *endpoints));
}

LibusbConnection::LibusbConnection(libusb_device_handle* handle, BulkEndpoints endpoints)
    : handle_(handle), endpoints_(endpoints) {}

LibusbConnection::~LibusbConnection() {
    SendUsbXpressControl(handle_, UsbXpressControl::DeviceClose);
    libusb_release_interface(handle_, kCradleInterface);
    libusb_close(handle_);
}

UsbStatus LibusbConnection::Read(void* buffer, std::uint32_t wanted, std::uint32_t& read,
                                 std::uint32_t timeoutMs) {
    std::lock_guard lock(transferMutex_);
    auto* out = static_cast<std::uint8_t*>(buffer);
    read = 0;
    const auto deliver = [&](const std::uint8_t* data, std::uint32_t size) {
        if (size == 0)
            return;
        const std::uint32_t taken = std::min(size, wanted - read);
        std::memcpy(out + read, data, taken);
        read += taken;
        pending_.insert(pending_.end(), data + taken, data + size);
    };

    std::vector<std::uint8_t> saved;
    saved.swap(pending_);
    deliver(saved.data(), static_cast<std::uint32_t>(saved.size()));

    // Ask in whole packets so a device that sends more than wanted never overflows the
    // transfer; the surplus waits in pending_ for the next read.
    const TransferDeadline deadline(timeoutMs);
    std::vector<std::uint8_t> chunk;
    while (read < wanted && !deadline.Expired()) {
        const std::uint32_t packet = endpoints_.inPacketSize;
        const std::uint32_t ask = (wanted - read + packet - 1) / packet * packet;
        chunk.resize(ask);
        int got = 0;
        const int result =
            libusb_bulk_transfer(handle_, endpoints_.in, chunk.data(), static_cast<int>(ask), &got,
                                 deadline.LibusbTimeout());
        deliver(chunk.data(), static_cast<std::uint32_t>(std::max(got, 0)));
        if (result == LIBUSB_ERROR_TIMEOUT)
            break;
        if (result != LIBUSB_SUCCESS) {
            if (result == LIBUSB_ERROR_PIPE)
                libusb_clear_halt(handle_, endpoints_.in);
            return usb_status::kReadError;
        }
        // A short packet ends the device's message: hand out what came rather than wait.
        if (static_cast<std::uint32_t>(got) < ask && read > 0)
            break;
    }
    return read == 0 && wanted > 0 ? usb_status::kReadTimedOut : usb_status::kSuccess;
}

UsbStatus LibusbConnection::Write(const void* buffer, std::uint32_t length, std::uint32_t& written,
                                  std::uint32_t timeoutMs) {
    std::lock_guard lock(transferMutex_);
    written = 0;
    if (length == 0)
        return usb_status::kSuccess;
    // libusb takes a non-const buffer for both directions but only reads it for OUT transfers.
    auto* data = static_cast<std::uint8_t*>(const_cast<void*>(buffer));
    int sent = 0;
    const int result = libusb_bulk_transfer(handle_, endpoints_.out, data, static_cast<int>(length),
                                            &sent, timeoutMs);
    written = static_cast<std::uint32_t>(std::max(sent, 0));
    if (result == LIBUSB_SUCCESS)
        return usb_status::kSuccess;
    if (result == LIBUSB_ERROR_TIMEOUT)
        return written == 0 ? usb_status::kWriteTimedOut : usb_status::kSuccess;
    if (result == LIBUSB_ERROR_PIPE)
        libusb_clear_halt(handle_, endpoints_.out);
    return usb_status::kWriteError;
}
