#pragma once

#include "link/UsbXpressLibrary.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Packets between the virtual-cradle backend (host) and a simulator serving the cradle. One
// packet per SOCK_SEQPACKET message: a 13-byte little-endian header, then the payload.
enum class WireKind : std::uint8_t {
    Open = 1,       // host: open the device
    OpenResult = 2, // cradle: status of the open
    Data = 3,       // host: one write call; payload = the bytes
    DataResult = 4, // cradle: status and count of that write call (same sequence number)
    Reply = 5,      // cradle: bytes for the host's reads, or a status its next read fails with
};

struct WirePacket {
    WireKind kind = WireKind::Open;
    std::uint32_t sequence = 0;
    UsbStatus status = usb_status::kSuccess;
    std::uint32_t count = 0;
    std::vector<std::uint8_t> payload;
};

inline constexpr std::size_t kWireHeaderSize = 13;
inline constexpr std::size_t kMaxWirePayload = 4096;

std::vector<std::uint8_t> EncodeWirePacket(const WirePacket& packet);
// Nothing for a packet that is too short, too long or of an unknown kind.
std::optional<WirePacket> DecodeWirePacket(std::span<const std::uint8_t> bytes);

// Socket helpers for non-blocking SOCK_SEQPACKET sockets.
enum class WireWait { Packet, Timeout, Closed };
enum class WireSend { Sent, Timeout, Closed };

// Sends one packet, waiting until the deadline (none: no limit) for room in the socket.
WireSend SendWirePacket(int fd, const WirePacket& packet,
                        std::optional<std::chrono::steady_clock::time_point> deadline);
// Waits until the deadline (none: no limit) for the next packet. Malformed packets are skipped.
WireWait ReceiveWirePacket(int fd, std::optional<std::chrono::steady_clock::time_point> deadline,
                           WirePacket& packet);
// Receives a packet that is already waiting; Timeout when there is none.
WireWait ReceiveWaitingWirePacket(int fd, WirePacket& packet);

// A deadline timeoutMs from now; 0 means no limit.
std::optional<std::chrono::steady_clock::time_point> WireDeadline(std::uint32_t timeoutMs);
