#pragma once

#include "image/Generation.h"
#include "link/LinkFailure.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// How a transfer ended, as data: the result, and the facts behind it that a caller words for
// its user (the window's details area, a command's message, a batch's journal).
enum class TransferResult {
    Done,             // read accepted, or write echoed block for block and identity checked
    Stopped,          // the program is shutting down or the user interrupted
    LinkFailed,       // a send or receive failed; the channel is closed
    PassesDiffer,     // read: the two passes disagree
    NoPager,          // the identity names no pager
    OtherGeneration,  // write: the pager belongs to the other generation; nothing written
    CapcodeRefused,   // write: a capcode below 8; nothing written
    BlockMismatch,    // write: a block came back different
    FinalCheckFailed, // write: the identity check after the last block failed
    ReadBackDiffers,  // write: reading the written regions back found other data
};

// One byte that differs between two memories.
struct ByteDifference {
    std::uint32_t address = 0;
    std::uint8_t first = 0;
    std::uint8_t second = 0;
    bool operator==(const ByteDifference&) const = default;
};

// The first few differing bytes within some regions, and how many differ in all.
struct MemoryDifferences {
    std::vector<ByteDifference> first;
    std::uint32_t total = 0;
};

// The first byte of a written block that the cradle echoed differently.
struct EchoMismatch {
    std::uint32_t block = 0;
    std::uint32_t byte = 0;
    std::uint8_t sent = 0;
    std::uint8_t echoed = 0;
};

struct TransferOutcome {
    TransferOutcome() = default;
    explicit TransferOutcome(TransferResult result, std::string details = {},
                             std::optional<std::uint32_t> address = std::nullopt)
        : result(result), details(std::move(details)), address(address) {}

    TransferResult result = TransferResult::Done;
    // What happened, in words: the exchange and reason of a link failure, the differing
    // addresses of a read, the block and byte of a write error. Empty on success.
    std::string details;
    // The block a failure happened at, when it happened at one.
    std::optional<std::uint32_t> address;
    // Write: blocks the cradle echoed correctly before the write ended.
    std::uint32_t blocksWritten = 0;

    // The identity bytes of block 0 as last read (identify, read, the write's final check),
    // and the generation they name.
    std::optional<std::array<std::uint8_t, 4>> identityBytes;
    std::optional<Generation> identity;
    // The failed exchange, for LinkFailed (and FinalCheckFailed when the link failed there).
    std::optional<LinkFailure> linkFailure;
    // PassesDiffer: first pass against second; ReadBackDiffers: sent against read back.
    MemoryDifferences differences;
    // BlockMismatch.
    std::optional<EchoMismatch> mismatch;

    bool ok() const { return result == TransferResult::Done; }
};
