#include "ProgrammingTestSupport.h"

#include "image/ImageCodec.h"
#include "link/CradleProtocol.h"
#include "programming/ProgrammingTexts.h"
#include "programming/TransferWorkers.h"

#include <algorithm>
#include <ranges>

namespace {

std::string MessageCall(const MessageRequest& request) {
    constexpr const char* kIconNames[] = {"none", "information", "stop"};
    return "message:" + request.text + "|" + request.caption + "|" +
           kIconNames[static_cast<int>(request.icon)] + "|" +
           (request.buttons == MessageButtons::Ok ? "ok" : "ok-cancel");
}

// A fixed encode time keeps images comparable between runs.
constexpr LocalDateTime kEncodeTime{2024, 5, 17, 9, 30};

} // namespace

std::vector<std::string> RecordingHost::Outline() const {
    std::vector<std::string> outline;
    // A plain loop: clang 14, which builds the fuzz targets, cannot compile range views over
    // libstdc++ 12.
    for (const Call& call : calls) {
        if (call.what != "step") {
            outline.push_back(call.what);
        }
    }
    return outline;
}

std::vector<std::string> RecordingHost::Messages() const {
    std::vector<std::string> messages;
    for (const std::string& call : Outline()) {
        if (call.starts_with("message:")) {
            messages.push_back(call);
        }
    }
    return messages;
}

int RecordingHost::Count(const std::string& what) const {
    return static_cast<int>(std::ranges::count(calls, what, &Call::what));
}

void RecordingHost::Record(std::string what) {
    calls.push_back({std::move(what), context_.state.busy.load()});
    if (onCall) {
        onCall(calls.back());
    }
}

std::string RecordingHost::WithMode(const std::string& what) const {
    return what + (context_.state.programmingMode.load() == Generation::V1 ? ":V1" : ":V2");
}

MessageAnswer RecordingHost::ShowMessage(const MessageRequest& request) {
    Record(MessageCall(request));
    if (request.buttons == MessageButtons::Ok || answers.empty()) {
        return MessageAnswer::Ok;
    }
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

void RecordingHost::DecodeImage() {
    Record(WithMode("decode"));
    ::DecodeImage(context_.image, context_.state.programmingMode.load(), context_.settings);
}

void RecordingHost::GatherPages() {
    Record("gather");
    ::EncodeImage(context_.settings, context_.state.programmingMode.load(), kEncodeTime,
                  context_.image);
}

std::string StopMessage(const std::string& text, const std::string& caption) {
    return MessageCall({text, caption, MessageIcon::Stop, MessageButtons::Ok});
}

std::string UsbErrorMessage() {
    return StopMessage(kUsbErrorText, "V2 Pager Programmer");
}

std::string Padded(int leading, const std::string& text, int trailing) {
    return std::string(leading, ' ') + text + std::string(trailing, ' ');
}

ProgrammingRig::ProgrammingRig(const PagerImage& pagerMemory)
    : cradle(std::make_shared<CradleSimulator>(pagerMemory)) {
    backend->AddCradle(cradle);
    context.usb = MakeLayerOver(backend);
    context.channel = std::make_unique<CC8051f320Usb>(*context.usb);
    context.channel->Open(kCradleDeviceString);
}

TransferOutcome ProgrammingRig::Read() {
    context.state.busy = true;
    return RunReadWorker(context, host, sleeper);
}

TransferOutcome ProgrammingRig::Write() {
    context.state.busy = true;
    return RunWriteWorker(context, host, sleeper);
}

bool ProgrammingRig::Replug() {
    if (!cradle->IsPresent()) {
        cradle->Plug();
    }
    return context.channel->IsOpen() || context.channel->Open(kCradleDeviceString);
}

std::vector<std::string> BlinkCalls(const std::string& text) {
    std::vector<std::string> calls;
    for (int blink = 0; blink < 6; ++blink) {
        calls.push_back("status:" + text);
        calls.emplace_back("status:");
    }
    return calls;
}

std::vector<std::string> Concat(std::vector<std::string> first,
                                const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

PagerImage AsRead(const PagerImage& pagerMemory) {
    PagerImage image{};
    std::copy(pagerMemory.begin(), pagerMemory.begin() + 320, image.begin());
    std::copy(pagerMemory.begin() + 1024, pagerMemory.begin() + 5120, image.begin() + 1024);
    return image;
}

PagerSettings WritableSettings() {
    PagerSettings settings;
    settings.capcodes = {1234567, 1234575, 0, 0, 0, 0, 0, 0};
    settings.capcodeEnabled = {1, 1, 0, 0, 0, 0, 0, 0};
    settings.serialNumber = "SN-0001";
    return settings;
}

PagerImage PatternImage(std::uint8_t seed) {
    PagerImage image{};
    for (std::size_t address = 0; address < image.size(); ++address) {
        image[address] = static_cast<std::uint8_t>(seed + address * 7 + (address >> 8));
    }
    return image;
}
