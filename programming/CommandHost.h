#pragma once

#include "programming/ProgrammerContext.h"
#include "programming/ProgrammingHost.h"

#include <functional>
#include <vector>

// The host of the command line and of batch sites: no window, no pages. The settings stand in
// for the pages, so decoding fills them and gathering leaves the image as the caller put it.
// Questions are answered Cancel: a command never switches the generation it was given.
// Messages are kept for the caller, which words its own report from the outcome.
class CommandHost : public ProgrammingHost {
public:
    explicit CommandHost(ProgrammerContext& context) : context_(context) {}

    // Called after every block the running procedure has moved.
    std::function<void()> onBlock;

    const std::vector<MessageRequest>& messages() const { return messages_; }

    void EnableTransferButtons(bool) override {}
    MessageAnswer ShowMessage(const MessageRequest& request) override;
    void SetStatusText(const std::string&) override {}
    void SetProgressRange(int, int) override {}
    void SetProgressStep(int) override {}
    void SetProgressPosition(int) override {}
    void StepProgress() override;
    void DecodeImage() override;
    void RebuildTabs() override {}
    void ShowSettings() override {}
    void GatherPages() override {}
    void LoadGeneralPage() override {}
    void IncrementCapcodes() override {}

private:
    ProgrammerContext& context_;
    std::vector<MessageRequest> messages_;
};
