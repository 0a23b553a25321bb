#pragma once

#include "programming/MessageRequest.h"

#include <string>

// What the window does for its read and write procedures. The window runs each call on the
// user-interface thread, blocking, in the order the procedure made them; the tests use a
// recording implementation.
class ProgrammingHost {
public:
    virtual ~ProgrammingHost() = default;

    // Enables or disables the Read and Write buttons together.
    virtual void EnableTransferButtons(bool enabled) = 0;
    virtual MessageAnswer ShowMessage(const MessageRequest& request) = 0;
    virtual void SetStatusText(const std::string& text) = 0;

    virtual void SetProgressRange(int minimum, int maximum) = 0;
    virtual void SetProgressStep(int step) = 0;
    virtual void SetProgressPosition(int position) = 0;
    virtual void StepProgress() = 0;

    // Image to settings, then the working file.
    virtual void DecodeImage() = 0;
    virtual void RebuildTabs() = 0;
    virtual void ShowSettings() = 0;
    // Pages to settings to image, then the working file.
    virtual void GatherPages() = 0;
    // Pages to settings only: what the technician typed reaches the settings, so that reloading
    // the pages (ShowSettings) shows it again. No encode, no working file.
    virtual void StorePages() = 0;

    // Operations of the General page.
    virtual void LoadGeneralPage() = 0;
    virtual void IncrementCapcodes() = 0;
};
