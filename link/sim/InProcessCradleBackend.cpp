#include "link/sim/InProcessCradleBackend.h"

#include <algorithm>
#include <cstring>
#include <utility>

using namespace std::chrono_literals;

InProcessCradleBackend::InProcessCradleBackend(std::shared_ptr<LinkClock> clock)
    : clock_(std::move(clock)) {}

InProcessCradleBackend::~InProcessCradleBackend() = default;

std::size_t InProcessCradleBackend::AddCradle(std::shared_ptr<CradleSimulator> cradle,
                                              std::optional<std::string> deviceString,
                                              std::optional<std::string> description) {
    std::lock_guard lock(mutex_);
    slots_.push_back({std::move(cradle), std::move(deviceString), std::move(description)});
    return slots_.size() - 1;
}

std::shared_ptr<CradleSimulator> InProcessCradleBackend::cradle(std::size_t position) const {
    std::lock_guard lock(mutex_);
    return slots_.at(position).cradle;
}

std::vector<UsbDeviceInfo> InProcessCradleBackend::ListDevices() {
    std::lock_guard lock(mutex_);
    listed_.clear();
    std::vector<UsbDeviceInfo> devices;
    for (std::size_t slot = 0; slot < slots_.size(); ++slot) {
        if (!slots_[slot].cradle->IsPresent())
            continue;
        listed_.push_back(slot);
        devices.push_back(
            {slots_[slot].deviceString, slots_[slot].description, "sim:" + std::to_string(slot)});
    }
    return devices;
}

UsbStatus InProcessCradleBackend::Open(std::uint32_t index, Handle& handle) {
    std::lock_guard lock(mutex_);
    if (index >= listed_.size())
        return usb_status::kDeviceNotFound;
    Slot& slot = slots_[listed_[index]];
    if (!slot.cradle->IsPresent())
        return usb_status::kDeviceNotFound;
    if (slot.open)
        return usb_status::kDeviceInUse;
    slot.open = true;
    auto session = std::make_shared<Session>();
    session->slot = listed_[index];
    session->cradle = slot.cradle;
    session->generation = slot.cradle->plugGeneration();
    handle = sessions_.Add(std::move(session));
    return usb_status::kSuccess;
}

void InProcessCradleBackend::Close(Handle handle) {
    std::lock_guard lock(mutex_);
    if (const std::shared_ptr<Session> session = sessions_.Take(handle))
        slots_[session->slot].open = false;
}

bool InProcessCradleBackend::Vanished(const Session& session) {
    return !session.cradle->IsPresent() || session.cradle->plugGeneration() != session.generation;
}

UsbStatus InProcessCradleBackend::Read(Handle handle, void* buffer, std::uint32_t wanted,
                                       std::uint32_t& read, std::uint32_t timeoutMs) {
    read = 0;
    const std::shared_ptr<Session> session = sessions_.Find(handle);
    if (!session)
        return usb_status::kInvalidHandle;
    std::lock_guard lock(session->mutex);
    if (Vanished(*session))
        return usb_status::kReadError;
    const LinkClock::Duration timeout = std::chrono::milliseconds(timeoutMs);
    if (!session->pending) {
        clock_->SleepFor(timeout);
        return usb_status::kReadTimedOut;
    }
    PendingReply& pending = *session->pending;
    const LinkClock::Duration wait = pending.readyAt - clock_->Now();
    if (wait > timeout) {
        clock_->SleepFor(timeout);
        return usb_status::kReadTimedOut;
    }
    clock_->SleepFor(wait);
    if (pending.reply.status != usb_status::kSuccess) {
        const UsbStatus status = pending.reply.status;
        session->pending.reset();
        return status;
    }
    // A read smaller than the reply leaves the rest for the next read, as a USB FIFO would.
    CradleReply& reply = pending.reply;
    read = std::min(wanted, reply.length);
    std::memcpy(buffer, reply.bytes.data(), read);
    std::copy(reply.bytes.begin() + read, reply.bytes.begin() + reply.length, reply.bytes.begin());
    reply.length -= read;
    if (reply.length == 0)
        session->pending.reset();
    return usb_status::kSuccess;
}

UsbStatus InProcessCradleBackend::Write(Handle handle, const void* buffer, std::uint32_t length,
                                        std::uint32_t& written, std::uint32_t /*timeoutMs*/) {
    written = 0;
    const std::shared_ptr<Session> session = sessions_.Find(handle);
    if (!session)
        return usb_status::kInvalidHandle;
    std::lock_guard lock(session->mutex);
    if (Vanished(*session))
        return usb_status::kWriteError;
    CradleExchange exchange =
        session->cradle->HandleRequest(static_cast<const std::uint8_t*>(buffer), length);
    written = exchange.accepted;
    if (exchange.requestStatus != usb_status::kSuccess)
        return exchange.requestStatus;
    // A new request replaces a reply nobody read: the protocol never reads past a failure.
    session->pending.reset();
    if (exchange.reply)
        session->pending = PendingReply{*exchange.reply, clock_->Now() + exchange.reply->delay};
    return usb_status::kSuccess;
}

std::unique_ptr<UsbDeviceLayer> MakeLayerOver(std::shared_ptr<InProcessCradleBackend> backend) {
    return std::make_unique<UsbDeviceLayer>(
        std::vector<std::shared_ptr<UsbBackend>>{std::move(backend)});
}
