#pragma once

#include "link/UsbXpressLibrary.h"

#include <cstdint>
#include <string>

// A status of the USB library in words, e.g. "the read timed out (status 0x0D)".
std::string DescribeUsbStatus(UsbStatus status);

// "block 0x0120 (288)"
std::string DescribeBlock(std::uint32_t address);
