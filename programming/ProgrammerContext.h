#pragma once

#include "image/PagerImage.h"
#include "image/PagerSettings.h"
#include "link/C8051f320Usb.h"
#include "link/TransferState.h"
#include "programming/ProgramState.h"

#include <atomic>
#include <memory>
#include <mutex>

// The program-wide objects: the image, the decoded settings, the program state, the transfer
// frames and the cradle channel. The application owns exactly one; tests build their own.
//
// Sharing between the user-interface thread and a read or write worker:
// - The transfer frames and the channel belong to the running worker alone; the window only
//   reopens the channel while no worker runs.
// - `image` and `settings` are touched by the worker directly in a few short places only: the
//   accepted read is copied into the image in one piece, a write sends from a private snapshot
//   of the image taken just before its first block, and the capcode check, the "Message number
//   order" shift and the serial-number advance read or change the settings. The worker holds
//   `dataMutex` for each of these and never while it waits for the window. Everything else the
//   worker needs from them happens inside host calls, which run on the user-interface thread
//   while the worker waits. So the window locks `dataMutex` only where it touches the image or
//   the settings outside a host call while a worker may run (Load, Save, the repair request).
// - `stopRequested` is set once the program begins to shut down: no worker starts any more, and
//   a running one stops before its next use of the channel, the frames or the image.
struct ProgrammerContext {
    PagerImage image{};
    PagerSettings settings;
    ProgramState state;
    TransferState transfer;
    std::unique_ptr<UsbXpressLibrary> usb;
    std::unique_ptr<CC8051f320Usb> channel;
    std::mutex dataMutex;
    std::atomic<bool> stopRequested{false};
};
