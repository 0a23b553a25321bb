#include "link/backends/VirtualCradleConnection.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

std::unique_ptr<VirtualCradleConnection>
VirtualCradleConnection::Open(const std::filesystem::path& socketPath, std::uint32_t timeoutMs,
                              UsbStatus& status) {
    status = usb_status::kDeviceNotFound;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string& path = socketPath.native();
    if (path.size() >= sizeof address.sun_path)
        return nullptr;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        status = usb_status::kSystemError;
        return nullptr;
    }
    std::unique_ptr<VirtualCradleConnection> connection(new VirtualCradleConnection(fd));
    // A stale socket file refuses at once; a live one accepts into its backlog immediately.
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return nullptr;

    const auto deadline = WireDeadline(timeoutMs);
    // A cradle another host holds answers at once and hangs up, perhaps before our request
    // got there; its answer is still waiting to be read.
    if (SendWirePacket(fd, {WireKind::Open, 0, 0, 0, {}}, deadline) == WireSend::Timeout)
        return nullptr;
    WirePacket answer;
    while (ReceiveWirePacket(fd, deadline, answer) == WireWait::Packet) {
        if (answer.kind != WireKind::OpenResult)
            continue;
        status = answer.status;
        return status == usb_status::kSuccess ? std::move(connection) : nullptr;
    }
    return nullptr;
}

VirtualCradleConnection::VirtualCradleConnection(int fd) : fd_(fd) {}

VirtualCradleConnection::~VirtualCradleConnection() {
    close(fd_);
}

void VirtualCradleConnection::Shutdown() {
    shutdown(fd_, SHUT_RDWR);
}

bool VirtualCradleConnection::TakeReply(void* buffer, std::uint32_t wanted, std::uint32_t& read,
                                        UsbStatus& status) {
    WirePacket& reply = replies_.front();
    if (reply.status != usb_status::kSuccess) {
        status = reply.status;
        replies_.pop_front();
        return true;
    }
    if (reply.payload.empty()) {
        replies_.pop_front();
        return false;
    }
    // Bytes beyond what the reader wanted stay for the next read.
    read = std::min<std::uint32_t>(wanted, static_cast<std::uint32_t>(reply.payload.size()));
    std::memcpy(buffer, reply.payload.data(), read);
    reply.payload.erase(reply.payload.begin(), reply.payload.begin() + read);
    if (reply.payload.empty())
        replies_.pop_front();
    status = usb_status::kSuccess;
    return true;
}

UsbStatus VirtualCradleConnection::Read(void* buffer, std::uint32_t wanted, std::uint32_t& read,
                                        std::uint32_t timeoutMs) {
    std::lock_guard lock(mutex_);
    read = 0;
    if (wanted == 0)
        return usb_status::kSuccess;
    UsbStatus status = usb_status::kSuccess;
    while (!replies_.empty()) {
        if (TakeReply(buffer, wanted, read, status))
            return status;
    }
    if (gone_)
        return usb_status::kReadError;

    const auto deadline = WireDeadline(timeoutMs);
    WirePacket packet;
    for (;;) {
        switch (ReceiveWirePacket(fd_, deadline, packet)) {
        case WireWait::Timeout:
            return usb_status::kReadTimedOut;
        case WireWait::Closed:
            gone_ = true;
            return usb_status::kReadError;
        case WireWait::Packet:
            break;
        }
        if (packet.kind != WireKind::Reply)
            continue; // the answer to a write that timed out earlier
        replies_.push_back(std::move(packet));
        if (TakeReply(buffer, wanted, read, status))
            return status;
    }
}

UsbStatus VirtualCradleConnection::Write(const void* buffer, std::uint32_t length,
                                         std::uint32_t& written, std::uint32_t timeoutMs) {
    std::lock_guard lock(mutex_);
    written = 0;
    if (gone_)
        return usb_status::kWriteError;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    const std::uint32_t sent = std::min<std::uint32_t>(length, kMaxWirePayload);
    const std::uint32_t sequence = ++sequence_;
    const auto deadline = WireDeadline(timeoutMs);
    switch (
        SendWirePacket(fd_, {WireKind::Data, sequence, 0, sent, {bytes, bytes + sent}}, deadline)) {
    case WireSend::Timeout:
        return usb_status::kWriteTimedOut;
    case WireSend::Closed:
        gone_ = true;
        return usb_status::kWriteError;
    case WireSend::Sent:
        break;
    }
    WirePacket packet;
    for (;;) {
        switch (ReceiveWirePacket(fd_, deadline, packet)) {
        case WireWait::Timeout:
            return usb_status::kWriteTimedOut;
        case WireWait::Closed:
            gone_ = true;
            return usb_status::kWriteError;
        case WireWait::Packet:
            break;
        }
        if (packet.kind == WireKind::Reply) {
            replies_.push_back(std::move(packet));
        } else if (packet.kind == WireKind::DataResult && packet.sequence == sequence) {
            written = std::min(packet.count, sent);
            return packet.status;
        }
    }
}
