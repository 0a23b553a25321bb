#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

// How a read or write ended, for callers that act on it (the command line, batches). The
// window shows the same facts in its message boxes and needs nothing of this.
enum class TransferResult {
    Done,             // read accepted, or write echoed block for block and identity checked
    Stopped,          // the program is shutting down or the user interrupted
    LinkFailed,       // a send or receive failed; the channel is closed
    PassesDiffer,     // read: the two passes disagree; the image is unchanged
    NoPager,          // the identity names no pager (a read leaves the data in the image)
    OtherGeneration,  // write: the pager belongs to the other generation; nothing written
    CapcodeRefused,   // write: a capcode below 8; nothing written
    BlockMismatch,    // write: a block came back different
    FinalCheckFailed, // write: the identity check after the last block failed
    ReadBackDiffers,  // write: reading the written regions back found other data
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

    bool ok() const { return result == TransferResult::Done; }
};
