#include "link/backends/VirtualCradleWire.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

namespace {

using Clock = std::chrono::steady_clock;

void PutWord(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t GetWord(std::span<const std::uint8_t> bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | bytes[at + static_cast<std::size_t>(i)];
    return value;
}

bool IsKnownKind(std::uint8_t kind) {
    return kind >= static_cast<std::uint8_t>(WireKind::Open) &&
           kind <= static_cast<std::uint8_t>(WireKind::Reply);
}

// Milliseconds for poll(): -1 without a deadline, 0 once it has passed.
int PollTimeout(std::optional<Clock::time_point> deadline) {
    if (!deadline)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits for the events; false when the deadline passes first. Errors and hang-ups count as
// ready, so the following call reports them.
bool WaitFor(int fd, short events, std::optional<Clock::time_point> deadline) {
    pollfd entry{fd, events, 0};
    for (;;) {
        const int ready = poll(&entry, 1, PollTimeout(deadline));
        if (ready > 0)
            return true;
        if (ready == 0)
            return false;
        if (errno != EINTR)
            return true;
    }
}

} // namespace

std::vector<std::uint8_t> EncodeWirePacket(const WirePacket& packet) {
    std::vector<std::uint8_t> out;
    out.reserve(kWireHeaderSize + packet.payload.size());
    out.push_back(static_cast<std::uint8_t>(packet.kind));
    PutWord(out, packet.sequence);
    PutWord(out, packet.status);
    PutWord(out, packet.count);
    out.insert(out.end(), packet.payload.begin(), packet.payload.end());
    return out;
}

std::optional<WirePacket> DecodeWirePacket(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kWireHeaderSize || bytes.size() > kWireHeaderSize + kMaxWirePayload ||
        !IsKnownKind(bytes[0]))
        return std::nullopt;
    WirePacket packet;
    packet.kind = static_cast<WireKind>(bytes[0]);
    packet.sequence = GetWord(bytes, 1);
    packet.status = GetWord(bytes, 5);
    packet.count = GetWord(bytes, 9);
    packet.payload.assign(bytes.begin() + kWireHeaderSize, bytes.end());
    return packet;
}

std::optional<Clock::time_point> WireDeadline(std::uint32_t timeoutMs) {
    if (timeoutMs == 0)
        return std::nullopt;
    return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

WireSend SendWirePacket(int fd, const WirePacket& packet,
                        std::optional<Clock::time_point> deadline) {
    const std::vector<std::uint8_t> bytes = EncodeWirePacket(packet);
    for (;;) {
        if (send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT) >= 0)
            return WireSend::Sent;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return WireSend::Closed;
        if (!WaitFor(fd, POLLOUT, deadline))
            return WireSend::Timeout;
    }
}

WireWait ReceiveWaitingWirePacket(int fd, WirePacket& packet) {
    std::uint8_t buffer[kWireHeaderSize + kMaxWirePayload];
    for (;;) {
        const ssize_t size = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT | MSG_TRUNC);
        if (size > 0 && static_cast<std::size_t>(size) <= sizeof buffer) {
            if (std::optional<WirePacket> decoded =
                    DecodeWirePacket({buffer, static_cast<std::size_t>(size)})) {
                packet = std::move(*decoded);
                return WireWait::Packet;
            }
            continue; // malformed or oversized: skip it
        }
        if (size > 0)
            continue;
        if (size == 0)
            return WireWait::Closed;
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? WireWait::Timeout : WireWait::Closed;
    }
}

WireWait ReceiveWirePacket(int fd, std::optional<Clock::time_point> deadline, WirePacket& packet) {
    for (;;) {
        const WireWait got = ReceiveWaitingWirePacket(fd, packet);
        if (got != WireWait::Timeout)
            return got;
        if (!WaitFor(fd, POLLIN, deadline))
            return WireWait::Timeout;
    }
}
