#include "programming/PagerJobs.h"

#include "image/ImageCodec.h"
#include "programming/BlockRegions.h"
#include "programming/TransferDetails.h"
#include "programming/TransferWorkers.h"

#include <memory>

namespace {

// The blinks of "Read OK !" and "WRITE OK !" go to a status box nobody sees.
void NoPause(std::chrono::milliseconds) {}

} // namespace

std::uint32_t WriteBlockCount(bool writeSerialNumber) {
    return BlockCount(WrittenRegions(writeSerialNumber));
}

std::optional<std::string> WrittenRegionsDiffer(const PagerImage& image, const PagerImage& memory,
                                                bool withSerialNumber) {
    const auto regions = WrittenRegions(withSerialNumber);
    std::string text = MemoryDifferenceText(image, memory, regions, "sent", "read back");
    if (text.empty()) {
        return std::nullopt;
    }
    return text;
}

TransferOutcome ReadPager(ProgrammerContext& context, ProgrammingHost& host) {
    context.state.busy.store(true);
    return RunReadWorker(context, host, NoPause);
}

TransferOutcome WritePager(ProgrammerContext& context, ProgrammingHost& host, const WriteJob& job) {
    {
        std::lock_guard lock(context.dataMutex);
        context.image = job.image;
        DecodeImage(context.image, job.mode, context.settings);
    }
    ProgramState& state = context.state;
    state.programmingMode.store(job.mode);
    state.serialWriteEnabled.store(job.writeSerialNumber);
    // A command prepares no next pager: the serial number stays, whatever a batch does later.
    state.serialAutoIncrement.store(false);
    state.repairWriteRequest.store(job.repair ? kRepairUnderWay : kRepairIdle);
    state.busy.store(true);
    TransferOutcome outcome = RunWriteWorker(context, host, NoPause);
    state.repairWriteRequest.store(kRepairIdle);
    return outcome;
}

TransferOutcome VerifyWritten(ProgrammerContext& context, ProgrammingHost& host,
                              const WriteJob& job) {
    auto memory = std::make_unique<PagerImage>();
    TransferOutcome outcome = ReadBackPager(context, host, *memory);
    if (!outcome.ok()) {
        return outcome;
    }
    if (auto difference = WrittenRegionsDiffer(job.image, *memory, job.writeSerialNumber)) {
        outcome.result = TransferResult::ReadBackDiffers;
        outcome.details = "The pager does not hold what was written: " + *difference;
    }
    return outcome;
}
