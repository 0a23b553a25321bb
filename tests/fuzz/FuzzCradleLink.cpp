// Runs one read or one write through the real channel, protocol and procedures against a USB
// library whose every answer comes from the input: device lists, open results, statuses,
// counts and reply bytes. Whatever the link does, the tool must not crash or hang, must show
// one message for a failure, must clear the busy flag, must leave the channel closed exactly
// when it reported a USB error, must not change the image on a failed read, and must not say
// "WRITE OK !" unless the pager holds what was written.
#include "FuzzCheck.h"
#include "FuzzedUsbLibrary.h"

#include "../programming/ProgrammingTestSupport.h"

#include "image/ImageCodec.h"
#include "link/CradleProtocol.h"
#include "link/sim/FactoryPagers.h"
#include "programming/ProgrammingTexts.h"
#include "programming/TransferWorkers.h"
#include "programming/transfer/BlockRegions.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

namespace {

// The first two input bytes set the scene; the rest drives the link.
struct Scene {
    bool write;
    Generation mode;
    bool serialWriteEnabled;
    bool repair;
    bool serialAutoIncrement;
    bool unlocked;
    FactoryPager pager;
    std::uint8_t capcodeRow;
    std::uint8_t capcodeCase;
    bool cancelQuestions;
};

Scene ReadScene(std::uint8_t a, std::uint8_t b) {
    constexpr FactoryPager kPagers[] = {FactoryPager::V2, FactoryPager::V1, FactoryPager::None,
                                        FactoryPager::V2};
    return {(a & 1) != 0,
            (a & 2) != 0 ? Generation::V1 : Generation::V2,
            (a & 4) != 0,
            (a & 8) != 0,
            (a & 16) != 0,
            (a & 32) != 0,
            kPagers[a >> 6],
            static_cast<std::uint8_t>(b & 7),
            static_cast<std::uint8_t>((b >> 3) & 3),
            (b & 0x80) != 0};
}

// Row capcode cases: a valid one, 0 in an enabled row, 5 in a disabled row, 0 unused.
void ApplyCapcodeCase(PagerSettings& settings, std::uint8_t row, std::uint8_t capcodeCase) {
    constexpr std::uint32_t kCapcodes[] = {1234583, 0, 5, 0};
    constexpr std::uint8_t kEnabled[] = {1, 1, 0, 0};
    settings.capcodes[row] = kCapcodes[capcodeCase];
    settings.capcodeEnabled[row] = kEnabled[capcodeCase];
}

bool InRegions(std::uint32_t address, std::uint32_t settingsBlocks) {
    const BlockRegion regions[] = {{0, settingsBlocks}, kIncrementStepRegion, kCannedTextRegion};
    return std::ranges::any_of(regions, [address](const BlockRegion& region) {
        return address >= region.start && address < region.start + region.blocks * kBlockSize;
    });
}

bool Contains(const std::vector<std::string>& calls, const std::string& call) {
    return std::ranges::find(calls, call) != calls.end();
}

void CheckRead(const ProgrammerContext& context, const RecordingHost& host,
               const PagerImage& imageBefore) {
    const auto messages = host.Messages();
    const bool readOk = host.Count("status:" + std::string(kReadOkText)) > 0;
    const bool decoded = host.Count("decode:V1") + host.Count("decode:V2") > 0;
    if (readOk || decoded) {
        FuzzCheck(messages.empty(), "a successful read showed a message");
        FuzzCheck(GenerationOfImage(context.image).has_value(),
                  "a read accepted a pager without identity");
        FuzzCheck(std::all_of(context.image.begin() + 320, context.image.begin() + 1024,
                              [](std::uint8_t b) { return b == 0; }) &&
                      std::all_of(context.image.begin() + 5120, context.image.end(),
                                  [](std::uint8_t b) { return b == 0; }),
                  "a read left bytes outside the read regions");
        return;
    }
    FuzzCheck(messages.size() == 1,
              "a failed read showed " + std::to_string(messages.size()) + " messages");
    // Only a read whose passes agreed on a pager without identity keeps what it read.
    const bool keptInvalid = messages[0] == StopMessage(kReadErrorText, kReadCaption) &&
                             !GenerationOfImage(context.image);
    FuzzCheck(context.image == imageBefore || keptInvalid, "a failed read changed the image");
}

void CheckWrite(const ProgrammerContext& context, const RecordingHost& host,
                const FuzzedUsbLibrary& usb, std::uint32_t settingsBlocks) {
    const auto messages = host.Messages();
    const bool writeOk = host.Count("status:" + std::string(kWriteOkText)) > 0;
    if (writeOk) {
        FuzzCheck(messages.empty(), "a successful write showed a message");
        FuzzCheck(usb.verifiedWrites() ==
                      static_cast<int>(settingsBlocks + kIncrementStepRegion.blocks +
                                       kCannedTextRegion.blocks),
                  "WRITE OK ! without every block echoed");
        for (std::uint32_t address = 0; address < kImageSize; ++address) {
            if (InRegions(address, settingsBlocks) &&
                usb.memory()[address] != context.image[address]) {
                FuzzFailure("WRITE OK ! but the pager differs at " + std::to_string(address));
            }
        }
        return;
    }
    // A link failure in the final identity check is reported twice: the USB error, then the
    // write error of the step that failed.
    const bool finalCheckLinkFailure =
        messages.size() == 2 && messages[0] == UsbErrorMessage() &&
        (messages[1] == StopMessage(kFinalSendErrorText, kWriteCaption) ||
         messages[1] == StopMessage(kFinalReplyErrorText, kWriteCaption));
    FuzzCheck(messages.size() == 1 || finalCheckLinkFailure,
              "a failed write showed " + std::to_string(messages.size()) + " messages");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const Scene scene = ReadScene(data[0], data[1]);
    FuzzedUsbLibrary* usb = nullptr;
    ProgrammerContext context;
    {
        auto library =
            std::make_unique<FuzzedUsbLibrary>(data + 2, size - 2, MakeFactoryPager(scene.pager));
        usb = library.get();
        context.usb = std::move(library);
    }
    context.channel = std::make_unique<CC8051f320Usb>(*context.usb);
    const bool opened = context.channel->Open(kCradleDeviceString);
    FuzzCheck(opened == context.channel->IsOpen(), "Open's result and the channel disagree");
    if (opened) {
        FuzzCheck(static_cast<long>(context.channel->deviceIndex()) == usb->firstCradle(),
                  "opened a device other than the first cradle");
    }
    if (!opened) {
        FuzzCheck(!usb->IsOpen(), "a failed open left a device open");
        return 0;
    }

    context.state.programmingMode = scene.mode;
    context.state.serialWriteEnabled = scene.serialWriteEnabled;
    context.state.serialAutoIncrement = scene.serialAutoIncrement;
    context.state.tabLockState = scene.unlocked ? TabLockState::Unlocked : TabLockState::Locked;
    context.state.repairWriteRequest = scene.repair ? kRepairUnderWay : kRepairIdle;
    context.settings = WritableSettings();
    ApplyCapcodeCase(context.settings, scene.capcodeRow, scene.capcodeCase);
    EncodeImage(context.settings, scene.mode, std::nullopt, context.image);
    const PagerImage imageBefore = context.image;

    RecordingHost host(context);
    if (scene.cancelQuestions) {
        host.answers.assign(4, MessageAnswer::Cancel);
    }
    const Sleeper noSleep = [](std::chrono::milliseconds) {};
    context.state.busy = true;
    if (scene.write) {
        RunWriteWorker(context, host, noSleep);
    } else {
        RunReadWorker(context, host, noSleep);
    }

    FuzzCheck(!context.state.busy.load(), "the busy flag is still set");
    const bool usbError = Contains(host.Messages(), UsbErrorMessage());
    FuzzCheck(usbError == !context.channel->IsOpen(),
              "the channel is closed without a USB error, or open after one");
    FuzzCheck(usbError == (host.Count("buttons:off") == 1),
              "Read and Write not disabled exactly once with the USB error");
    FuzzCheck(context.channel->IsOpen() == usb->IsOpen(), "channel and library disagree");
    if (scene.write) {
        CheckWrite(context, host, *usb,
                   scene.serialWriteEnabled ? kSettingsBlocksWithSerial : kSettingsBlocks);
    } else {
        CheckRead(context, host, imageBefore);
    }
    return 0;
}
