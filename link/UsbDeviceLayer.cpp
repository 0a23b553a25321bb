#include "link/UsbDeviceLayer.h"

#include <algorithm>
#include <cstring>
#include <utility>

UsbDeviceLayer::UsbDeviceLayer(std::vector<std::shared_ptr<UsbBackend>> backends)
    : backends_(std::move(backends)) {}

UsbDeviceLayer::~UsbDeviceLayer() {
    for (const auto& [handle, device] : open_)
        backends_[device.backend]->Close(device.handle);
}

UsbStatus UsbDeviceLayer::GetNumDevices(std::uint32_t& count) {
    std::vector<ListedDevice> listed;
    for (std::size_t b = 0; b < backends_.size(); ++b) {
        std::vector<UsbDeviceInfo> devices = backends_[b]->ListDevices();
        for (std::uint32_t i = 0; i < devices.size(); ++i)
            listed.push_back({b, i, std::move(devices[i])});
    }
    std::lock_guard lock(mutex_);
    listed_ = std::move(listed);
    count = static_cast<std::uint32_t>(listed_.size());
    return usb_status::kSuccess;
}

UsbStatus UsbDeviceLayer::GetProductString(std::uint32_t device, char* buffer,
                                           std::uint32_t selector) {
    if (buffer == nullptr)
        return usb_status::kInvalidParameter;
    std::lock_guard lock(mutex_);
    if (device >= listed_.size())
        return usb_status::kDeviceNotFound;
    const UsbDeviceInfo& info = listed_[device].info;
    const std::optional<std::string>* text = nullptr;
    if (selector == kSelectorSerialNumber)
        text = &info.serialNumber;
    else if (selector == kSelectorDescription)
        text = &info.description;
    else
        return usb_status::kInvalidParameter;
    if (!text->has_value())
        return usb_status::kSystemError;
    // The caller's buffer holds kDeviceStringSize bytes including the terminating zero.
    const std::size_t length = std::min<std::size_t>((*text)->size(), kDeviceStringSize - 1);
    std::memcpy(buffer, (*text)->data(), length);
    buffer[length] = '\0';
    return usb_status::kSuccess;
}

UsbStatus UsbDeviceLayer::Open(std::uint32_t device, UsbHandle& handle) {
    std::size_t backend = 0;
    std::uint32_t index = 0;
    {
        std::lock_guard lock(mutex_);
        if (device >= listed_.size())
            return usb_status::kDeviceNotFound;
        backend = listed_[device].backend;
        index = listed_[device].index;
    }
    UsbBackend::Handle backendHandle = -1;
    const UsbStatus status = backends_[backend]->Open(index, backendHandle);
    if (status != usb_status::kSuccess)
        return status;
    std::lock_guard lock(mutex_);
    handle = nextHandle_++;
    open_[handle] = {backend, backendHandle};
    return usb_status::kSuccess;
}

UsbStatus UsbDeviceLayer::Close(UsbHandle handle) {
    OpenDevice device;
    {
        std::lock_guard lock(mutex_);
        const auto found = open_.find(handle);
        if (found == open_.end())
            return usb_status::kInvalidHandle;
        device = found->second;
        open_.erase(found);
    }
    backends_[device.backend]->Close(device.handle);
    return usb_status::kSuccess;
}

std::optional<UsbDeviceLayer::OpenDevice> UsbDeviceLayer::FindOpen(UsbHandle handle) const {
    std::lock_guard lock(mutex_);
    const auto found = open_.find(handle);
    if (found == open_.end())
        return std::nullopt;
    return found->second;
}

UsbStatus UsbDeviceLayer::Read(UsbHandle handle, void* buffer, std::uint32_t wanted,
                               std::uint32_t& read) {
    read = 0;
    const std::optional<OpenDevice> device = FindOpen(handle);
    if (!device)
        return usb_status::kInvalidHandle;
    if (buffer == nullptr)
        return usb_status::kInvalidParameter;
    std::uint32_t timeoutMs = 0;
    {
        std::lock_guard lock(mutex_);
        timeoutMs = readTimeoutMs_;
    }
    const UsbStatus status =
        backends_[device->backend]->Read(device->handle, buffer, wanted, read, timeoutMs);
    read = std::min(read, wanted); // a backend never gets to claim more than fits the buffer
    return status;
}

UsbStatus UsbDeviceLayer::Write(UsbHandle handle, const void* buffer, std::uint32_t length,
                                std::uint32_t& written) {
    written = 0;
    const std::optional<OpenDevice> device = FindOpen(handle);
    if (!device)
        return usb_status::kInvalidHandle;
    if (buffer == nullptr)
        return usb_status::kInvalidParameter;
    std::uint32_t timeoutMs = 0;
    {
        std::lock_guard lock(mutex_);
        timeoutMs = writeTimeoutMs_;
    }
    const UsbStatus status =
        backends_[device->backend]->Write(device->handle, buffer, length, written, timeoutMs);
    written = std::min(written, length);
    return status;
}

UsbStatus UsbDeviceLayer::SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
    std::lock_guard lock(mutex_);
    readTimeoutMs_ = readMs;
    writeTimeoutMs_ = writeMs;
    return usb_status::kSuccess;
}

std::vector<UsbDeviceInfo> UsbDeviceLayer::ListedDevices() const {
    std::lock_guard lock(mutex_);
    std::vector<UsbDeviceInfo> devices;
    devices.reserve(listed_.size());
    for (const ListedDevice& device : listed_)
        devices.push_back(device.info);
    return devices;
}

std::optional<std::string> UsbDeviceLayer::TakeAccessProblem() {
    for (const auto& backend : backends_) {
        if (std::optional<std::string> problem = backend->TakeAccessProblem())
            return problem;
    }
    return std::nullopt;
}
