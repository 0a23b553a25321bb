#pragma once

#include "image/PagerImage.h"
#include "programming/ProgrammerContext.h"
#include "programming/ProgrammingHost.h"
#include "programming/TransferOutcome.h"

#include <cstdint>
#include <optional>
#include <string>

// The pager operations of the command line and of batches, over one cradle's context: the
// window's own read and write procedures, run on the calling thread with the caller's host,
// and the read-back check after a write. No status blinking: the host shows no status box.

// Reads the pager, both passes compared, into the context's image; a pager of either
// generation sets the mode and is decoded into the context's settings. An identity that names
// no pager ends in NoPager with the data read left in the image.
TransferOutcome ReadPager(ProgrammerContext& context, ProgrammingHost& host);

struct WriteJob {
    // Written as it is; bytes 0..3 should name the generation.
    PagerImage image{};
    // The generation the pager in the cradle must have (kModeV1 or kModeV2).
    std::uint8_t mode = 0;
    // Also write the serial-number block (256..287).
    bool writeSerialNumber = false;
    // Write whatever the pager's identity says, as the repair action does: no identity check,
    // no capcode check.
    bool repair = false;
};

// Writes the image with the window's write procedure. The settings of the context are the
// image decoded, so the capcode check sees what is written.
TransferOutcome WritePager(ProgrammerContext& context, ProgrammingHost& host, const WriteJob& job);

// Reads the regions the job wrote back and compares them with what was sent; a difference
// ends in ReadBackDiffers, naming the first differing addresses.
TransferOutcome VerifyWritten(ProgrammerContext& context, ProgrammingHost& host,
                              const WriteJob& job);

// Blocks each operation moves, for progress reports.
inline constexpr std::uint32_t kReadPassBlocks = 138;
std::uint32_t WriteBlockCount(bool writeSerialNumber);

// Whether the pager memory agrees with an image over the regions a write covers; otherwise the
// first differences in words.
std::optional<std::string> WrittenRegionsDiffer(const PagerImage& image, const PagerImage& memory,
                                                bool withSerialNumber);
