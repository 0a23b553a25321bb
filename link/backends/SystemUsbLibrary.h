#pragma once

#include "link/UsbDeviceLayer.h"

#include <memory>

// The USB library the program uses: real cradles through libusb first, then the virtual
// cradles of the current user. Setting PAGER_NO_LIBUSB=1 in the environment leaves out the
// real USB bus (tests and demos that must not touch attached hardware).
//
// The layer is returned as itself so the window can ask TakeAccessProblem(); it converts to
// std::unique_ptr<UsbXpressLibrary> wherever only the library is needed.
std::unique_ptr<UsbDeviceLayer> CreateSystemUsbLibrary();

// The same, showing only the cradle at one location ("usb:3-1.4", "virtual:NAME"). Each call
// makes backends of its own, so several such libraries can drive their cradles on threads of
// their own.
std::unique_ptr<UsbDeviceLayer> CreateSystemUsbLibrary(const std::string& cradleLocation);
