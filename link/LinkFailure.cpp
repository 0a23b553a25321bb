#include "link/LinkFailure.h"

#include <cstdio>

std::string DescribeUsbStatus(UsbStatus status) {
    const char* what = "the USB library reported a failure";
    switch (status) {
    case usb_status::kSuccess:
        what = "no error was reported";
        break;
    case usb_status::kInvalidHandle:
        what = "the cradle was no longer open";
        break;
    case usb_status::kReadError:
        what = "the read failed (the cradle may have been unplugged)";
        break;
    case usb_status::kWriteError:
        what = "the write failed (the cradle may have been unplugged)";
        break;
    case usb_status::kInvalidParameter:
        what = "the USB library refused the call";
        break;
    case usb_status::kSystemError:
        what = "the operating system reported an error";
        break;
    case usb_status::kReadTimedOut:
        what = "the reply did not arrive in time";
        break;
    case usb_status::kWriteTimedOut:
        what = "the request could not be sent in time";
        break;
    case usb_status::kDeviceNotFound:
        what = "the cradle is gone";
        break;
    case usb_status::kDeviceInUse:
        what = "another program holds the cradle";
        break;
    default:
        break;
    }
    char code[24];
    std::snprintf(code, sizeof code, " (status 0x%02X)", static_cast<unsigned>(status));
    return what + std::string(code);
}

std::string DescribeBlock(std::uint32_t address) {
    char text[32];
    std::snprintf(text, sizeof text, "block 0x%04X (%u)", static_cast<unsigned>(address),
                  static_cast<unsigned>(address));
    return text;
}
