#pragma once

#include "image/PagerImage.h"
#include "image/PagerSettings.h"
#include "image/ProgramState.h"
#include "link/C8051f320Usb.h"
#include "link/TransferState.h"

#include <memory>

// The program-wide objects: the image, the decoded settings, the program state, the transfer
// frames and the cradle channel. The application owns exactly one; tests build their own.
struct ProgrammerContext {
    PagerImage image{};
    PagerSettings settings;
    ProgramState state;
    TransferState transfer;
    std::unique_ptr<UsbXpressLibrary> usb;
    std::unique_ptr<CC8051f320Usb> channel;
};
