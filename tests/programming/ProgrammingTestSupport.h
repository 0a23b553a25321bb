#pragma once

#include "programming/ProgrammerContext.h"
#include "programming/ProgrammingHost.h"
#include "programming/Sleeper.h"
#include "programming/transfer/TransferOutcome.h"

#include "link/sim/InProcessCradleBackend.h"

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Stands in for the window: keeps every call in order as a short text, with the busy flag as
// it was during the call. DecodeImage and GatherPages run the real codec on the context, with
// the settings themselves standing in for the pages.
class RecordingHost : public ProgrammingHost {
public:
    struct Call {
        std::string what;
        bool busy = false;
        bool operator==(const Call&) const = default;
    };

    explicit RecordingHost(ProgrammerContext& context) : context_(context) {}

    // Answers for OK/Cancel questions, first in first out; OK when none are left.
    std::deque<MessageAnswer> answers;
    std::vector<Call> calls;
    // Runs after each call is recorded, on the worker's thread, e.g. to act like the user.
    std::function<void(const Call&)> onCall;

    // The calls without the progress bar's steps and the status blinks, which tests count
    // separately.
    std::vector<std::string> Outline() const;
    std::vector<std::string> Messages() const;
    int Count(const std::string& what) const;

    void EnableTransferButtons(bool enabled) override {
        Record(enabled ? "buttons:on" : "buttons:off");
    }
    MessageAnswer ShowMessage(const MessageRequest& request) override;
    void SetStatusText(const std::string& text) override { Record("status:" + text); }
    void SetProgressRange(int minimum, int maximum) override {
        Record("range:" + std::to_string(minimum) + ".." + std::to_string(maximum));
    }
    void SetProgressStep(int step) override { Record("step-size:" + std::to_string(step)); }
    void SetProgressPosition(int position) override {
        Record("position:" + std::to_string(position));
    }
    void StepProgress() override { Record("step"); }
    void DecodeImage() override;
    void RebuildTabs() override { Record(WithMode("rebuild")); }
    void ShowSettings() override { Record(WithMode("show")); }
    void GatherPages() override;
    // Storing the pages leaves the settings as they are: they stand in for the pages. Not
    // part of the outline, which tests compare whole.
    void StorePages() override { ++pagesStored; }
    int pagesStored = 0;
    void LoadGeneralPage() override { Record("load-general:" + context_.settings.serialNumber); }
    void IncrementCapcodes() override { Record("increment"); }

private:
    void Record(std::string what);
    // Decode, rebuild and show are recorded with the mode they ran in, e.g. "decode:V1".
    std::string WithMode(const std::string& what) const;

    ProgrammerContext& context_;
};

// Message boxes as recorded: "message:<text>|<caption>|<icon>|<buttons>".
std::string StopMessage(const std::string& text, const std::string& caption);
std::string UsbErrorMessage();
// A text with the given blanks around it, so that the expected texts do not depend on
// counting blanks inside string literals.
std::string Padded(int leading, const std::string& text, int trailing);

// The programming context wired to one simulated cradle through the real USB layer and
// channel, on a virtual clock, with a sleeper that only records.
class ProgrammingRig {
public:
    explicit ProgrammingRig(const PagerImage& pagerMemory);

    TransferOutcome Read();
    TransferOutcome Write();
    // Puts the cradle back and reopens the channel, as the window's timer does.
    bool Replug();

    std::shared_ptr<VirtualLinkClock> clock = std::make_shared<VirtualLinkClock>();
    std::shared_ptr<CradleSimulator> cradle;
    std::shared_ptr<InProcessCradleBackend> backend =
        std::make_shared<InProcessCradleBackend>(clock);
    ProgrammerContext context;
    RecordingHost host{context};
    std::vector<std::chrono::milliseconds> sleeps;
    Sleeper sleeper = [this](std::chrono::milliseconds duration) { sleeps.push_back(duration); };
};

// The status calls of six blinks.
std::vector<std::string> BlinkCalls(const std::string& text);
std::vector<std::string> Concat(std::vector<std::string> first,
                                const std::vector<std::string>& second);

// What a read of this pager memory leaves in the image: the unread areas are zero.
PagerImage AsRead(const PagerImage& pagerMemory);

// Settings a gather could produce: valid capcodes in rows 1 and 2, the rest unused.
PagerSettings WritableSettings();

// A recognisable image for the canned-message region and the reserved areas.
PagerImage PatternImage(std::uint8_t seed);
