#include "programming/transfer/PagerTransfer.h"

#include "programming/transfer/BlockRegions.h"
#include "programming/transfer/TransferDetails.h"

#include <algorithm>
#include <memory>

namespace {

TransferOutcome LinkFailed(const CradleProtocol& link, std::uint32_t address) {
    TransferOutcome outcome{TransferResult::LinkFailed, link.failureDetails(), address};
    outcome.linkFailure = link.failure();
    return outcome;
}

TransferOutcome Stopped(std::optional<std::uint32_t> address = std::nullopt) {
    return TransferOutcome{TransferResult::Stopped, {}, address};
}

// Records the identity bytes of a block-0 reply and the generation they name.
void NoteIdentity(TransferOutcome& outcome, const std::uint8_t* fourBytes) {
    std::array<std::uint8_t, 4> bytes{};
    std::copy(fourBytes, fourBytes + 4, bytes.begin());
    outcome.identityBytes = bytes;
    outcome.identity = GenerationOfIdentity(fourBytes);
}

TransferOutcome ReadPass(CradleProtocol& link, PagerImage& pass, const TransferControl& control) {
    for (const BlockRegion& region : kReadRegions) {
        for (std::uint32_t block = 0; block < region.blocks; ++block) {
            const std::uint32_t address = region.start + block * kBlockSize;
            if (control.StopRequested()) {
                return Stopped(address);
            }
            if (!link.ReadBlock(address)) {
                return LinkFailed(link, address);
            }
            std::copy(link.ReplyData(), link.ReplyData() + kBlockSize, pass.begin() + address);
            if (control.onBlock) {
                control.onBlock();
            }
        }
    }
    if (control.onPassDone) {
        control.onPassDone();
    }
    return TransferOutcome{};
}

// Block 0 again after the last block: the pager must still answer with an identity.
TransferOutcome FinalIdentityCheck(CradleProtocol& link, TransferOutcome outcome) {
    link.SetHeader(CradleProtocol::kRead, 0);
    const bool sent = link.SendRequest();
    if (sent) {
        link.ClearReply();
    }
    if (!sent || !link.ReceiveReply()) {
        outcome.result = TransferResult::FinalCheckFailed;
        outcome.details = "The identity check after the last block: " + link.failureDetails();
        outcome.address = 0;
        outcome.linkFailure = link.failure();
        return outcome;
    }
    NoteIdentity(outcome, link.ReplyData());
    if (!outcome.identity) {
        outcome.result = TransferResult::FinalCheckFailed;
        outcome.details = "The identity check after the last block found no pager. " +
                          IdentityText(link.ReplyData());
        outcome.address = 0;
    }
    return outcome;
}

} // namespace

std::uint32_t WriteBlockCount(bool withSerialNumber) {
    return BlockCount(WrittenRegions(withSerialNumber));
}

TransferOutcome IdentifyPager(CradleProtocol& link, const TransferControl& control) {
    if (control.StopRequested()) {
        return Stopped(0);
    }
    std::optional<Generation> identity;
    if (!link.Identify(identity)) {
        return LinkFailed(link, 0);
    }
    TransferOutcome outcome;
    NoteIdentity(outcome, link.ReplyData());
    if (!outcome.identity) {
        outcome.result = TransferResult::NoPager;
        outcome.details = IdentityText(link.ReplyData());
    }
    return outcome;
}

TransferOutcome ReadPagerOnce(CradleProtocol& link, PagerImage& memory,
                              const TransferControl& control) {
    memory.fill(0);
    return ReadPass(link, memory, control);
}

TransferOutcome ReadPagerMemory(CradleProtocol& link, PagerImage& memory,
                                const TransferControl& control) {
    // Both passes start zeroed, so the unread addresses are zero in the accepted data.
    auto first = std::make_unique<PagerImage>();
    auto second = std::make_unique<PagerImage>();
    first->fill(0);
    second->fill(0);
    for (PagerImage* pass : {first.get(), second.get()}) {
        TransferOutcome outcome = ReadPass(link, *pass, control);
        if (!outcome.ok()) {
            return outcome;
        }
    }
    TransferOutcome outcome;
    outcome.differences = FindDifferences(*first, *second, kReadRegions);
    if (outcome.differences.total != 0) {
        outcome.result = TransferResult::PassesDiffer;
        outcome.details =
            "The two passes disagree: " +
            DifferencesText(outcome.differences, "in the first pass", "in the second");
        return outcome;
    }
    if (control.StopRequested()) {
        return Stopped();
    }
    memory = *second;
    NoteIdentity(outcome, memory.data());
    if (!outcome.identity) {
        outcome.result = TransferResult::NoPager;
        outcome.details = IdentityText(memory.data());
    }
    return outcome;
}

TransferOutcome WriteImage(CradleProtocol& link, const PagerImage& image, bool withSerialNumber,
                           const TransferControl& control) {
    TransferOutcome outcome;
    for (const BlockRegion& region : WrittenRegions(withSerialNumber)) {
        for (std::uint32_t block = 0; block < region.blocks; ++block) {
            const std::uint32_t address = region.start + block * kBlockSize;
            if (control.StopRequested()) {
                outcome.result = TransferResult::Stopped;
                outcome.address = address;
                return outcome;
            }
            bool verified = false;
            if (!link.WriteBlock(address, image.data() + address, verified)) {
                TransferOutcome failed = LinkFailed(link, address);
                failed.blocksWritten = outcome.blocksWritten;
                return failed;
            }
            if (control.onBlock) {
                control.onBlock();
            }
            if (!verified) {
                outcome.result = TransferResult::BlockMismatch;
                outcome.mismatch =
                    FindEchoMismatch(address, image.data() + address, link.ReplyData());
                outcome.details = EchoMismatchText(*outcome.mismatch);
                outcome.address = address;
                return outcome;
            }
            ++outcome.blocksWritten;
        }
    }
    if (control.StopRequested()) {
        outcome.result = TransferResult::Stopped;
        return outcome;
    }
    return FinalIdentityCheck(link, std::move(outcome));
}

TransferOutcome IdentifyAndWrite(CradleProtocol& link, const PagerImage& image, Generation expected,
                                 bool withSerialNumber, const TransferControl& control) {
    TransferOutcome identified = IdentifyPager(link, control);
    if (!identified.ok()) {
        return identified;
    }
    if (*identified.identity != expected) {
        identified.result = TransferResult::OtherGeneration;
        identified.details = OtherGenerationText(*identified.identity, expected);
        return identified;
    }
    return WriteImage(link, image, withSerialNumber, control);
}

TransferOutcome ReadBackAndCompare(CradleProtocol& link, const PagerImage& written,
                                   bool withSerialNumber, PagerImage& memory,
                                   const TransferControl& control) {
    TransferOutcome outcome = ReadPagerOnce(link, memory, control);
    if (!outcome.ok()) {
        return outcome;
    }
    const auto regions = WrittenRegions(withSerialNumber);
    outcome.differences = FindDifferences(written, memory, regions);
    if (outcome.differences.total != 0) {
        outcome.result = TransferResult::ReadBackDiffers;
        outcome.details = "The pager does not hold what was written: " +
                          DifferencesText(outcome.differences, "sent", "read back");
    }
    return outcome;
}
