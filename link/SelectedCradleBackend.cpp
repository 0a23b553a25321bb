#include "link/SelectedCradleBackend.h"

#include <utility>

SelectedCradleBackend::SelectedCradleBackend(std::shared_ptr<UsbBackend> backend,
                                             std::string location)
    : backend_(std::move(backend)), location_(std::move(location)) {}

std::vector<UsbDeviceInfo> SelectedCradleBackend::ListDevices() {
    std::vector<UsbDeviceInfo> all = backend_->ListDevices();
    std::vector<UsbDeviceInfo> selected;
    std::lock_guard lock(mutex_);
    listed_.clear();
    for (std::uint32_t index = 0; index < all.size(); ++index) {
        if (all[index].location != location_)
            continue;
        listed_.push_back(index);
        selected.push_back(std::move(all[index]));
    }
    return selected;
}

UsbStatus SelectedCradleBackend::Open(std::uint32_t index, Handle& handle) {
    std::uint32_t wrapped = 0;
    {
        std::lock_guard lock(mutex_);
        if (index >= listed_.size())
            return usb_status::kDeviceNotFound;
        wrapped = listed_[index];
    }
    return backend_->Open(wrapped, handle);
}

void SelectedCradleBackend::Close(Handle handle) {
    backend_->Close(handle);
}

UsbStatus SelectedCradleBackend::Read(Handle handle, void* buffer, std::uint32_t wanted,
                                      std::uint32_t& read, std::uint32_t timeoutMs) {
    return backend_->Read(handle, buffer, wanted, read, timeoutMs);
}

UsbStatus SelectedCradleBackend::Write(Handle handle, const void* buffer, std::uint32_t length,
                                       std::uint32_t& written, std::uint32_t timeoutMs) {
    return backend_->Write(handle, buffer, length, written, timeoutMs);
}

std::optional<std::string> SelectedCradleBackend::TakeAccessProblem() {
    return backend_->TakeAccessProblem();
}
