#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

// What can go wrong in one exchange (one request frame and its reply).
enum class CradleFault : std::uint8_t {
    None,
    RequestRejected,  // the host's write of the request fails with a non-zero status
    ReplyError,       // the host's read of the reply fails with a non-zero status
    ShortReply,       // the reply carries 35 bytes with status 0
    NoReply,          // the request is taken but never answered: the read times out
    LateReply,        // the reply comes CradleFaultPlan::lateReplyDelay late (past the timeout)
    CorruptReplyByte, // the last data byte of the reply is off by one bit; memory is unharmed
    Unplug,           // the request is taken, then the cradle vanishes before it replies
};

// The faults that make a send or receive fail, i.e. everything but CorruptReplyByte.
inline constexpr CradleFault kLinkFailures[] = {
    CradleFault::RequestRejected, CradleFault::ReplyError, CradleFault::ShortReply,
    CradleFault::NoReply,         CradleFault::LateReply,  CradleFault::Unplug,
};

std::string_view CradleFaultName(CradleFault fault);
std::optional<CradleFault> CradleFaultFromName(std::string_view name);

// Faults drawn at random, reproducibly from the seed.
struct RandomCradleFaults {
    std::uint64_t seed = 0;
    std::uint32_t perMillion = 0;   // chance that an exchange gets a fault
    std::vector<CradleFault> kinds; // drawn uniformly; empty means kLinkFailures
};

// Everything that should go wrong, by exchange number. Exchanges are numbered from 0 in the
// order the cradle receives requests (a rejected request still uses up its number).
struct CradleFaultPlan {
    // Every reply becomes available this long after its request.
    std::chrono::microseconds replyDelay{0};
    std::chrono::microseconds lateReplyDelay{std::chrono::milliseconds(1500)};
    // After this many exchanges the cradle vanishes: the next request and every later call
    // fail, and the device leaves the device list until it is plugged in again.
    std::optional<std::uint64_t> unplugAfter;
    std::map<std::uint64_t, CradleFault> atExchange;
    // This memory byte reads correctly, then inverted, then correctly... on successive reads.
    std::optional<std::uint16_t> flakyAddress;
    // Fixed reply bytes 0..3 instead of the echoed request header.
    std::optional<std::array<std::uint8_t, 4>> replyHeader;
    std::optional<RandomCradleFaults> random;
};
