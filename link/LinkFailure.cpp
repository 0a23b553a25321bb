#include "link/LinkFailure.h"

#include "link/TransferState.h"

#include <cstdio>

namespace {

struct StatusText {
    UsbStatus status;
    const char* text;
};

constexpr StatusText kStatusTexts[] = {
    {usb_status::kSuccess, "no error was reported"},
    {usb_status::kInvalidHandle, "the cradle was no longer open"},
    {usb_status::kReadError, "the read failed (the cradle may have been unplugged)"},
    {usb_status::kWriteError, "the write failed (the cradle may have been unplugged)"},
    {usb_status::kInvalidParameter, "the USB library refused the call"},
    {usb_status::kSystemError, "the operating system reported an error"},
    {usb_status::kReadTimedOut, "the reply did not arrive in time"},
    {usb_status::kWriteTimedOut, "the request could not be sent in time"},
    {usb_status::kDeviceNotFound, "the cradle is gone"},
    {usb_status::kDeviceInUse, "another program holds the cradle"},
};

} // namespace

std::string DescribeUsbStatus(UsbStatus status) {
    const char* what = "the USB library reported a failure";
    for (const StatusText& entry : kStatusTexts) {
        if (entry.status == status) {
            what = entry.text;
        }
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

std::string LinkFailure::Describe() const {
    const std::string request = std::string("the request to ") +
                                (exchange == Exchange::Write ? "write " : "read ") +
                                DescribeBlock(address);
    const std::string reason = status == usb_status::kSuccess
                                   ? std::to_string(transferred) + " of " +
                                         std::to_string(kFrameSize) + " bytes were " +
                                         (step == Step::Request ? "sent" : "received")
                                   : DescribeUsbStatus(status);
    return step == Step::Request ? "Sending " + request + " failed: " + reason + "."
                                 : "The reply to " + request + " failed: " + reason + ".";
}
