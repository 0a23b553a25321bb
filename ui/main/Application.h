#pragma once

#include "programming/ProgrammerContext.h"
#include "ui/controls/MessageBoxService.h"
#include "ui/main/FileChooserService.h"

#include <memory>

class UsbXpressLibrary;

// The application: owns the one set of program-wide objects (image, settings, program state,
// transfer frames, the USB library and, through the window, the cradle channel) for the
// program's life and runs the main window modally.
class CTarnwick4730NewApp {
public:
    explicit CTarnwick4730NewApp(std::unique_ptr<UsbXpressLibrary> usb);

    // Builds the main window, runs it until it is closed, destroys it. Returns the exit code.
    // With PAGER_EXIT_AFTER_SHOW=1 in the environment the window prints "shown" and closes as
    // soon as it is on screen (for start-up measurements).
    int Run();

    ProgrammerContext& context() { return context_; }

private:
    ProgrammerContext context_;
    QtMessageBoxService messages_;
    QtFileChooserService files_;
};
