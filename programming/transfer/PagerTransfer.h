#pragma once

#include "image/PagerImage.h"
#include "link/CradleProtocol.h"
#include "programming/transfer/TransferOutcome.h"

#include <atomic>
#include <cstdint>
#include <functional>

// The transfers with a pager in a cradle. Each function drives one cradle's link and returns
// what happened as data; none knows who asked or what the user is told. A failed exchange
// ends the transfer at once with LinkFailed (the link has closed the channel).

struct TransferControl {
    // Checked before every exchange: once set, the transfer ends Stopped.
    const std::atomic<bool>* stopRequested = nullptr;
    // After every block moved, including a written block whose echo differs.
    std::function<void()> onBlock;
    // After each complete pass of a read.
    std::function<void()> onPassDone;

    bool StopRequested() const { return stopRequested != nullptr && stopRequested->load(); }
};

// Reads block 0: Done with the generation the seated pager names, or NoPager with the bytes
// found. The identity bytes are in the outcome either way.
TransferOutcome IdentifyPager(CradleProtocol& link, const TransferControl& control = {});

// One pass over the regions a read covers into memory, zero elsewhere.
TransferOutcome ReadPagerOnce(CradleProtocol& link, PagerImage& memory,
                              const TransferControl& control = {});

// The read: two passes, accepted only when they agree (PassesDiffer otherwise, memory left
// alone). An accepted read is in memory; it ends NoPager when its identity names no pager.
TransferOutcome ReadPagerMemory(CradleProtocol& link, PagerImage& memory,
                                const TransferControl& control = {});

// The write: the settings blocks (with the serial-number block when asked), the block at
// 288, then the canned-message texts, each block checked against the cradle's echo, then
// block 0 read again, which must name a pager. Ends at the first failure: LinkFailed,
// BlockMismatch, or FinalCheckFailed (with linkFailure when the link failed there).
TransferOutcome WriteImage(CradleProtocol& link, const PagerImage& image, bool withSerialNumber,
                           const TransferControl& control = {});

// The write as the command line and batches make it: block 0 first, which must name the
// expected generation (NoPager or OtherGeneration otherwise, nothing written), then WriteImage.
TransferOutcome IdentifyAndWrite(CradleProtocol& link, const PagerImage& image, Generation expected,
                                 bool withSerialNumber, const TransferControl& control = {});

// Reads the pager once and compares the regions a write of the image covers: Done when they
// hold the image, ReadBackDiffers otherwise (differences: sent against read back).
TransferOutcome ReadBackAndCompare(CradleProtocol& link, const PagerImage& written,
                                   bool withSerialNumber, PagerImage& memory,
                                   const TransferControl& control = {});

// Blocks each transfer moves, for progress reports.
inline constexpr std::uint32_t kReadPassBlocks = 138;
std::uint32_t WriteBlockCount(bool withSerialNumber);
