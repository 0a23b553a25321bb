#include "link/backends/LibusbBackend.h"

#include "link/backends/LibusbConnection.h"

#include <libusb.h>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

// Reads one string descriptor as ASCII. Index 0 means the device has no such string.
// Returns false only when the device failed to answer.
bool ReadStringDescriptor(libusb_device_handle* handle, std::uint8_t index,
                          std::optional<std::string>& text) {
    text.reset();
    if (index == 0)
        return true;
    unsigned char buffer[kDeviceStringSize] = {};
    const int length = libusb_get_string_descriptor_ascii(handle, index, buffer, sizeof buffer - 1);
    if (length < 0)
        return false;
    text.emplace(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
    return true;
}

} // namespace

LibusbBackend::LibusbBackend() : LibusbBackend(Options{}) {}

LibusbBackend::LibusbBackend(Options options) : options_(options) {
    // Without a usable USB stack the backend simply lists nothing.
    if (libusb_init(&context_) != LIBUSB_SUCCESS)
        context_ = nullptr;
}

LibusbBackend::~LibusbBackend() {
    open_.Clear();
    ReleaseListed();
    if (context_ != nullptr)
        libusb_exit(context_);
}

std::string LibusbBackend::AccessProblemText(const UsbId& id) {
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x:%04x", static_cast<unsigned>(id.vendor),
                  static_cast<unsigned>(id.product));
    return std::string("A programming cradle (USB ") + ids +
           ") is plugged in, but this user is not allowed to open it.\n"
           "Install the udev rule that grants access, then unplug and replug the cradle:\n\n"
           "  echo '" +
           UdevRuleFor(id) + "' | sudo tee /etc/udev/rules.d/" + kUdevRuleFileName +
           "\n  sudo udevadm control --reload-rules\n";
}

int LibusbBackend::OpenDevice(libusb_device* device, libusb_device_handle** handle) {
    return libusb_open(device, handle);
}

LibusbBackend::DeviceKey LibusbBackend::KeyOf(libusb_device* device) {
    DeviceKey key;
    key.bus = libusb_get_bus_number(device);
    libusb_get_port_numbers(device, key.ports.data(), static_cast<int>(key.ports.size()));
    key.address = libusb_get_device_address(device);
    return key;
}

std::string LibusbBackend::LocationOf(const DeviceKey& key) {
    // Port numbers start at 1, so the first 0 ends the path.
    std::string location = "usb:" + std::to_string(key.bus);
    char separator = '-';
    for (const std::uint8_t port : key.ports) {
        if (port == 0)
            break;
        location += separator;
        location += std::to_string(port);
        separator = '.';
    }
    return location;
}

void LibusbBackend::ReleaseListed() {
    for (libusb_device* device : listed_)
        libusb_unref_device(device);
    listed_.clear();
}

std::vector<UsbDeviceInfo> LibusbBackend::ListDevices() {
    std::lock_guard lock(mutex_);
    ReleaseListed();
    if (context_ == nullptr)
        return {};
    libusb_device** devices = nullptr;
    const ssize_t count = libusb_get_device_list(context_, &devices);
    if (count < 0)
        return {};

    struct Candidate {
        DeviceKey key;
        libusb_device* device;
        libusb_device_descriptor descriptor;
    };
    std::vector<Candidate> candidates;
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(devices[i], &descriptor) != LIBUSB_SUCCESS ||
            !IsCradleUsbId(descriptor.idVendor, descriptor.idProduct))
            continue;
        candidates.push_back({KeyOf(devices[i]), devices[i], descriptor});
    }
    // Bus position gives a numbering that does not depend on libusb's internal list order.
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& a, const Candidate& b) { return a.key < b.key; });

    const Clock::time_point now = Clock::now();
    std::map<DeviceKey, KnownDevice> present;
    std::vector<UsbDeviceInfo> result;
    for (const Candidate& candidate : candidates) {
        auto node = known_.extract(candidate.key);
        KnownDevice known = node.empty() ? KnownDevice{} : std::move(node.mapped());
        if (!known.stringsRead && now >= known.nextAttempt)
            ReadStrings(
                candidate.device, {candidate.descriptor.idVendor, candidate.descriptor.idProduct},
                candidate.descriptor.iSerialNumber, candidate.descriptor.iProduct, known, now);
        UsbDeviceInfo info = known.info;
        info.location = LocationOf(candidate.key);
        info.accessDenied = !known.stringsRead && known.refusedSince.has_value();
        result.push_back(std::move(info));
        listed_.push_back(libusb_ref_device(candidate.device));
        present.emplace(candidate.key, std::move(known));
    }
    // Devices that left the bus are forgotten, so a replug counts as a new appearance.
    known_ = std::move(present);
    libusb_free_device_list(devices, 1);
    return result;
}

void LibusbBackend::ReadStrings(libusb_device* device, const UsbId& id, std::uint8_t serialIndex,
                                std::uint8_t productIndex, KnownDevice& known,
                                Clock::time_point now) {
    libusb_device_handle* handle = nullptr;
    const int opened = OpenDevice(device, &handle);
    if (opened == LIBUSB_ERROR_ACCESS) {
        NoteRefusal(id, known, now);
        return;
    }
    if (opened != LIBUSB_SUCCESS) {
        known.nextAttempt = now + options_.retryInterval;
        return;
    }
    known.refusedSince.reset();
    const bool serialRead = ReadStringDescriptor(handle, serialIndex, known.info.serialNumber);
    const bool productRead = ReadStringDescriptor(handle, productIndex, known.info.description);
    libusb_close(handle);
    known.stringsRead = serialRead && productRead;
    if (!known.stringsRead)
        known.nextAttempt = now + options_.retryInterval;
}

void LibusbBackend::NoteRefusal(const UsbId& id, KnownDevice& known, Clock::time_point now) {
    // A refused open is cheap, so it is retried on every poll: access usually arrives soon.
    if (!known.refusedSince)
        known.refusedSince = now;
    if (!known.problemReported && now - *known.refusedSince >= options_.accessGracePeriod) {
        accessProblem_ = AccessProblemText(id);
        known.problemReported = true;
    }
}

std::optional<std::string> LibusbBackend::TakeAccessProblem() {
    std::lock_guard lock(mutex_);
    return std::exchange(accessProblem_, std::nullopt);
}

UsbStatus LibusbBackend::Open(std::uint32_t index, Handle& handle) {
    std::lock_guard lock(mutex_);
    if (index >= listed_.size())
        return usb_status::kDeviceNotFound;
    libusb_device_handle* deviceHandle = nullptr;
    if (OpenDevice(listed_[index], &deviceHandle) != LIBUSB_SUCCESS)
        return usb_status::kDeviceNotFound;
    UsbStatus status = usb_status::kSuccess;
    std::unique_ptr<LibusbConnection> connection = LibusbConnection::Open(deviceHandle, status);
    if (!connection)
        return status;
    handle = open_.Add(std::move(connection));
    return usb_status::kSuccess;
}

void LibusbBackend::Close(Handle handle) {
    // The close sequence runs here, or when a transfer still running on another thread
    // lets go of the connection.
    open_.Take(handle);
}

UsbStatus LibusbBackend::Read(Handle handle, void* buffer, std::uint32_t wanted,
                              std::uint32_t& read, std::uint32_t timeoutMs) {
    read = 0;
    const std::shared_ptr<LibusbConnection> connection = open_.Find(handle);
    if (!connection)
        return usb_status::kInvalidHandle;
    return connection->Read(buffer, wanted, read, timeoutMs);
}

UsbStatus LibusbBackend::Write(Handle handle, const void* buffer, std::uint32_t length,
                               std::uint32_t& written, std::uint32_t timeoutMs) {
    written = 0;
    const std::shared_ptr<LibusbConnection> connection = open_.Find(handle);
    if (!connection)
        return usb_status::kInvalidHandle;
    return connection->Write(buffer, length, written, timeoutMs);
}
