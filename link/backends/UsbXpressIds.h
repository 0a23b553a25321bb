#pragma once

#include <cstdint>
#include <string>

// Vendor and product ids of the cradles this program drives. The cradle runs USBXpress firmware
// with the default ids; another firmware build would add a row here.
struct UsbId {
    std::uint16_t vendor;
    std::uint16_t product;
};

inline constexpr UsbId kCradleUsbIds[] = {
    {0x10C4, 0xEA61},
};

bool IsCradleUsbId(std::uint16_t vendor, std::uint16_t product);

// The udev rule line that lets the user at the seat open a cradle with these ids.
std::string UdevRuleFor(const UsbId& id);

// Name of the rule file this program installs.
inline constexpr const char* kUdevRuleFileName = "70-pager-cradle.rules";
