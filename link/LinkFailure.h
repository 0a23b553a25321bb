#pragma once

#include "link/UsbXpressLibrary.h"

#include <cstdint>
#include <string>

// A status of the USB library in words, e.g. "the read timed out (status 0x0D)".
std::string DescribeUsbStatus(UsbStatus status);

// "block 0x0120 (288)"
std::string DescribeBlock(std::uint32_t address);

// One failed exchange with the cradle: which request, which half of it, and why.
struct LinkFailure {
    enum class Step { Request, Reply };
    enum class Exchange { Read, Write };

    Step step = Step::Request;
    Exchange exchange = Exchange::Read;
    std::uint32_t address = 0;
    // The library's status; success with a short count means a partial frame.
    UsbStatus status = 0;
    std::uint32_t transferred = 0;

    // "Sending the request to write block 0x0400 (1024) failed: <reason>." or "The reply to
    // the request to read block ... failed: <reason>."
    std::string Describe() const;
};
