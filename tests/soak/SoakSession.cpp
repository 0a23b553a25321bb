#include "SoakSession.h"

#include "image/ImageCodec.h"
#include "link/CradleProtocol.h"
#include "link/sim/FactoryPagers.h"
#include "programming/ProgrammingTexts.h"
#include "programming/TransferWorkers.h"
#include "programming/transfer/BlockRegions.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

// Exchanges of a session without faults: two passes of 138 blocks; the identity check, the
// blocks and the final identity check.
constexpr std::uint64_t kReadExchanges = 276;
std::uint64_t WriteExchanges(bool withSerial) {
    return 2 + (withSerial ? kSettingsBlocksWithSerial : kSettingsBlocks) +
           kIncrementStepRegion.blocks + kCannedTextRegion.blocks;
}

// In the order of SoakFault.
constexpr const char* kFaultNames[kSoakFaultKinds] = {
    "none",
    "unplug",
    "short reply",
    "bad request status",
    "bad reply status",
    "no reply",
    "late reply",
    "corrupted reply byte",
    "flaky memory byte",
    "latency within timeout",
};

// The simulator's fault for each fault of an exchange.
std::optional<CradleFault> ExchangeFault(SoakFault fault) {
    switch (fault) {
    case SoakFault::Unplug:
        return CradleFault::Unplug;
    case SoakFault::ShortReply:
        return CradleFault::ShortReply;
    case SoakFault::RequestStatus:
        return CradleFault::RequestRejected;
    case SoakFault::ReplyStatus:
        return CradleFault::ReplyError;
    case SoakFault::NoReply:
        return CradleFault::NoReply;
    case SoakFault::LateReply:
        return CradleFault::LateReply;
    case SoakFault::CorruptEcho:
        return CradleFault::CorruptReplyByte;
    default:
        return std::nullopt;
    }
}

bool IsLinkFailure(SoakFault fault) {
    const auto exchangeFault = ExchangeFault(fault);
    return exchangeFault &&
           std::ranges::find(kLinkFailures, *exchangeFault) != std::end(kLinkFailures);
}

// Addresses a write sends: the settings blocks, the block at 288 and the canned texts.
bool Written(std::uint32_t address, bool withSerial) {
    const std::uint32_t settingsEnd =
        (withSerial ? kSettingsBlocksWithSerial : kSettingsBlocks) * kBlockSize;
    return address < settingsEnd ||
           (address >= kIncrementStepRegion.start &&
            address < kIncrementStepRegion.start + kBlockSize) ||
           (address >= kCannedTextRegion.start &&
            address < kCannedTextRegion.start + kCannedTextRegion.blocks * kBlockSize);
}

} // namespace

bool IsFinalCheckLinkFailure(const std::vector<std::string>& messages) {
    return messages.size() == 2 && messages[0] == UsbErrorMessage() &&
           (messages[1] == StopMessage(kFinalSendErrorText, kWriteCaption) ||
            messages[1] == StopMessage(kFinalReplyErrorText, kWriteCaption));
}

std::string SoakFaultName(SoakFault fault) {
    return kFaultNames[static_cast<int>(fault)];
}

std::string SoakOutcomeName(SoakOutcome outcome) {
    // In the order of SoakOutcome.
    constexpr const char* kNames[] = {
        "read ok",           "read switched mode", "read error", "write ok",
        "write block error", "write final error",  "usb error",  "other"};
    return kNames[static_cast<int>(outcome)];
}

// A worker that has not finished after this long is taken as hung.
constexpr auto kHangLimit = std::chrono::seconds(30);

SoakRunner::SoakRunner(std::uint64_t seed)
    : random_(seed), rig_(MakeFactoryPager(FactoryPager::V2)), watchdog_(kHangLimit) {}

SoakRunner::Plan SoakRunner::DrawPlan() {
    Plan plan;
    plan.write = random_() % 2 == 1;
    // A fault-free session one time in five, the faults evenly otherwise.
    plan.fault = random_() % 5 == 0 ? SoakFault::None
                                    : static_cast<SoakFault>(1 + random_() % (kSoakFaultKinds - 1));
    if (plan.write) {
        PrepareWrite();
    }
    const std::uint64_t exchanges =
        plan.write ? WriteExchanges(rig_.context.state.serialWriteEnabled.load()) : kReadExchanges;
    plan.atExchange = random_() % exchanges;
    return plan;
}

void SoakRunner::ArmFault(const Plan& plan) {
    CradleFaultPlan cradlePlan;
    if (plan.fault == SoakFault::FlakyByte) {
        // Anywhere in the memory the tool reads.
        const std::uint32_t offset = random_() % (320 + 4096);
        cradlePlan.flakyAddress = static_cast<std::uint16_t>(offset < 320 ? offset : offset + 704);
    }
    if (plan.fault == SoakFault::Latency) {
        cradlePlan.replyDelay = std::chrono::milliseconds(1 + random_() % 990);
    }
    rig_.cradle->SetFaults(cradlePlan);
    if (const auto exchangeFault = ExchangeFault(plan.fault)) {
        rig_.cradle->InjectAt(rig_.cradle->exchangeCount() + plan.atExchange, *exchangeFault);
    }
}

// New settings for each write, so that the pager's memory changes from one write to the next.
void SoakRunner::PrepareWrite() {
    PagerSettings& settings = rig_.context.settings;
    settings = WritableSettings();
    for (int row = 0; row < 2; ++row) {
        settings.capcodes[row] = 8 + static_cast<std::uint32_t>(random_() % 2097144);
    }
    settings.serialNumber = "SN" + std::to_string(random_() % 100000);
    settings.startupText = "SOAK " + std::to_string(random_() % 1000);
    for (auto& text : settings.cannedMessages) {
        text.fill(0);
        const std::string message = "message " + std::to_string(random_());
        std::copy(message.begin(), message.end(), text.begin());
    }
    rig_.context.state.serialWriteEnabled = random_() % 2 == 0;
    rig_.context.state.serialAutoIncrement = random_() % 2 == 0;
    rig_.context.state.tabLockState =
        random_() % 2 == 0 ? TabLockState::Unlocked : TabLockState::Locked;
}

HangWatchdog::HangWatchdog(std::chrono::seconds limit)
    : limit_(limit), thread_([this] { Watch(); }) {}

HangWatchdog::~HangWatchdog() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void HangWatchdog::Arm(std::string what) {
    std::lock_guard lock(mutex_);
    what_ = std::move(what);
    deadline_ = std::chrono::steady_clock::now() + limit_;
}

void HangWatchdog::Disarm() {
    std::lock_guard lock(mutex_);
    deadline_.reset();
}

void HangWatchdog::Watch() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        wake_.wait_for(lock, std::chrono::milliseconds(100));
        if (deadline_ && std::chrono::steady_clock::now() > *deadline_) {
            // The hung worker still uses the rig, so nothing can be unwound: leave at once.
            std::printf("%s did not finish within %lld s\n", what_.c_str(),
                        static_cast<long long>(limit_.count()));
            std::fflush(stdout);
            std::_Exit(EXIT_FAILURE);
        }
    }
}

bool SoakRunner::RunWorker(bool write, RecordingHost& host) {
    const Sleeper noSleep = [](std::chrono::milliseconds) {};
    TransferWorkers workers(rig_.context, host, noSleep);
    watchdog_.Arm(write ? "a write worker" : "a read worker");
    if (!(write ? workers.StartWrite() : workers.StartRead())) {
        watchdog_.Disarm();
        return false;
    }
    workers.Wait();
    watchdog_.Disarm();
    return true;
}

SoakOutcome SoakRunner::Classify(const Plan& plan, const RecordingHost& host) const {
    const auto messages = host.Messages();
    if (std::ranges::find(messages, UsbErrorMessage()) != messages.end()) {
        return SoakOutcome::UsbError;
    }
    if (!plan.write) {
        if (host.Count("status:" + std::string(kReadOkText)) > 0) {
            return SoakOutcome::ReadOk;
        }
        if (messages == std::vector{StopMessage(kReadErrorText, kReadCaption)}) {
            return SoakOutcome::ReadError;
        }
        return host.Count("rebuild:V1") + host.Count("rebuild:V2") > 0 ? SoakOutcome::ReadModeSwitch
                                                                       : SoakOutcome::Other;
    }
    if (host.Count("status:" + std::string(kWriteOkText)) > 0) {
        return SoakOutcome::WriteOk;
    }
    if (messages == std::vector{StopMessage(kBlockMismatchText, kWriteCaption)}) {
        return SoakOutcome::WriteBlockError;
    }
    if (messages == std::vector{StopMessage(kFinalReplyErrorText, kWriteCaption)}) {
        return SoakOutcome::WriteFinalError;
    }
    return SoakOutcome::Other;
}

void SoakRunner::Check(const Plan& plan, const RecordingHost& host, const PagerImage& imageBefore,
                       const PagerImage& memoryBefore, SoakOutcome outcome,
                       std::vector<std::string>& broken) {
    const auto fail = [&](const std::string& what) { broken.push_back(what); };
    const ProgrammerContext& context = rig_.context;
    const auto messages = host.Messages();
    const bool succeeded = outcome == SoakOutcome::ReadOk || outcome == SoakOutcome::WriteOk;

    if (context.state.busy.load()) {
        fail("busy flag still set");
    }
    if (outcome == SoakOutcome::Other) {
        fail("unexpected ending with " + std::to_string(messages.size()) + " messages");
    }
    if (succeeded && !messages.empty()) {
        fail("a successful session showed a message");
    }
    if (!succeeded && messages.size() != 1 && !IsFinalCheckLinkFailure(messages)) {
        fail("a failure showed " + std::to_string(messages.size()) + " messages");
    }
    const bool usbError = outcome == SoakOutcome::UsbError;
    if (usbError == context.channel->IsOpen()) {
        fail(usbError ? "channel open after a USB error" : "channel closed without a USB error");
    }
    if ((plan.fault == SoakFault::None || plan.fault == SoakFault::Latency) && !succeeded) {
        fail("a session without a link fault failed");
    }
    if (IsLinkFailure(plan.fault) && !usbError) {
        fail("a link failure went unreported");
    }

    const PagerImage memory = rig_.cradle->Memory();
    if (!plan.write) {
        if (outcome == SoakOutcome::ReadOk && context.image != AsRead(memory)) {
            fail("read ok, but the image differs from the pager");
        }
        if (!succeeded && context.image != imageBefore) {
            fail("a failed read changed the image");
        }
        if (memory != memoryBefore) {
            fail("a read changed the pager");
        }
        return;
    }
    const bool withSerial = context.state.serialWriteEnabled.load();
    for (std::uint32_t address = 0; address < kImageSize; ++address) {
        if (!Written(address, withSerial) && memory[address] != memoryBefore[address]) {
            fail("the write changed pager address " + std::to_string(address));
            break;
        }
        if (outcome == SoakOutcome::WriteOk && Written(address, withSerial) &&
            memory[address] != context.image[address]) {
            fail("WRITE OK !, but pager address " + std::to_string(address) + " differs");
            break;
        }
    }
}

bool SoakRunner::Reconnect() {
    rig_.cradle->SetFaults({});
    return rig_.Replug();
}

std::vector<std::string> SoakRunner::RunSession() {
    const Plan plan = DrawPlan();
    ++faults[plan.fault];
    ++(plan.write ? writes : reads);
    ArmFault(plan);
    const PagerImage imageBefore = rig_.context.image;
    const PagerImage memoryBefore = rig_.cradle->Memory();

    RecordingHost host(rig_.context);
    std::vector<std::string> broken;
    if (!RunWorker(plan.write, host)) {
        broken.emplace_back("the worker did not start");
        return broken;
    }
    const SoakOutcome outcome = Classify(plan, host);
    ++outcomes[outcome];
    Check(plan, host, imageBefore, memoryBefore, outcome, broken);
    if (!Reconnect()) {
        broken.emplace_back("the cradle could not be opened again");
    }
    const std::string session = SoakFaultName(plan.fault) + (plan.write ? " write" : " read") +
                                " at exchange " + std::to_string(plan.atExchange) + ": ";
    for (std::string& what : broken) {
        what.insert(0, session);
    }
    return broken;
}
